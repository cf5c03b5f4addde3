#include "headerline.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "lineend.h"
#include "lineripper.h"
#include "parallelblock.h"
#include "quotedvalue.h"
#include "quotemask.h"

namespace kolvane {

IoResult PrefixedSource::read(std::span<char> buf) {
    if (given_ == prefix_.size()) return inner_->read(buf);
    const std::size_t n = std::min(buf.size(), prefix_.size() - given_);
    std::memcpy(buf.data(), prefix_.data() + given_, n);
    given_ += n;
    if (given_ == prefix_.size()) std::string().swap(prefix_), given_ = 0;
    return IoResult{n, 0, {}};
}

Expected<FirstLine> readFirstLine(ByteSource& source, const std::string& sourceName,
                                  const std::function<bool()>& keepGoing) {
    constexpr std::size_t kChunk = std::size_t{64} << 10;
    FirstLine first;
    const std::size_t limit = defaultLineLimit();
    for (std::size_t searched = 0;;) {
        const std::size_t had = first.bytes.size();
        first.bytes.resize(had + kChunk);
        IoResult r = source.read(std::span<char>(first.bytes.data() + had, kChunk));
        first.bytes.resize(had + r.bytes);
        if (r.failed()) return readError(sourceName, r, 1);
        const bool ended = r.bytes == 0 && !r.noDataYet;
        if (const auto brk =
                findLineBreak(first.bytes.data(), searched, first.bytes.size(), ended)) {
            first.end = brk->eol;
            first.after = brk->next;
            return first;
        }
        if (ended) {
            first.end = first.after = first.bytes.size();
            return first;
        }
        if (first.bytes.size() > limit) return readError(sourceName, lineTooLong(limit), 1);
        searched = first.bytes.empty() ? 0 : first.bytes.size() - 1;
        if (r.noDataYet) {
            if (!keepGoing()) return first;
            std::this_thread::yield();
        }
    }
}

std::vector<std::string> headerNames(std::string_view line, std::string_view split, bool quoted) {
    std::vector<std::string> names;
    if (!quoted) {
        for (const std::string_view field : cutFields(line, split, 32767))
            names.emplace_back(field);
        return names;
    }
    std::size_t start = 0;
    auto name = [&](std::size_t end) {
        appendUnquoted(names.emplace_back(), line.substr(start, end - start));
    };
    forEachQuotedStop(line, split, [&](std::size_t at) {
        name(at);
        start = at + split.size();
    });
    name(line.size());
    return names;
}

}  // namespace kolvane
