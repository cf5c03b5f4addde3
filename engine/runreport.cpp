#include "runreport.h"

#include <cerrno>

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
    if (block.unclosedQuote) {
        return Error{"Cannot rip", sourceName,
                     "a quote opened at line " + std::to_string(next) + " is never closed", 0, 0};
    }
    return std::nullopt;
}

}  // namespace kolvane
