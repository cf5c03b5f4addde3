#include "runreport.h"

#include <cerrno>
#include <charconv>
#include <string_view>

namespace kolvane {

std::string statusText(std::int64_t ripcount) {
    return std::to_string(ripcount) + " values ripped";
}

std::optional<Error> deliverBlock(RipBlock& block, LineSink& sink, std::int64_t linesBefore) {
    auto error = sink.commitLines(block.output, block.ends, linesBefore);
    block.output.clear();
    block.ends.clear();
    return error;
}

std::optional<Error> blockError(const RipBlock& block, const std::string& sourceName,
                                std::int64_t linesBefore, std::size_t maxResult) {
    if (block.outOfMemory) {
        return systemError("Cannot rip", sourceName, ENOMEM, linesBefore + *block.outOfMemory);
    }
    if (block.tooLong) {
        const std::string size = maxResult % (std::size_t{1} << 20) == 0
                                     ? std::to_string(maxResult >> 20) + " MiB"
                                     : std::to_string(maxResult) + " bytes";
        return Error{"Cannot rip", sourceName, "the result line would pass " + size,
                     linesBefore + *block.tooLong, 0};
    }
    const std::int64_t next = linesBefore + block.lines + 1;
    if (block.failure) return readError(sourceName, *block.failure, next);
    if (block.unclosedQuote) return unclosedQuote(sourceName, next);
    return std::nullopt;
}

constexpr std::string_view kQuoteOpened = "a quote opened at line ";

Error unclosedQuote(const std::string& sourceName, std::int64_t line) {
    return Error{"Cannot rip", sourceName,
                 std::string(kQuoteOpened) + std::to_string(line) + " is never closed", 0, 0};
}

void shiftLines(Error& error, std::int64_t lines) {
    if (error.line > 0) {
        error.line += lines;
        return;
    }
    // The one message that names its line in its cause.
    if (!error.cause.starts_with(kQuoteOpened)) return;
    std::int64_t line = 0;
    const char* const digits = error.cause.data() + kQuoteOpened.size();
    std::from_chars(digits, error.cause.data() + error.cause.size(), line);
    error = unclosedQuote(error.file, line + lines);
}

}  // namespace kolvane
