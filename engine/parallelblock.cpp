#include "parallelblock.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>

namespace kolvane {

bool RipBlock::reserve(std::size_t bytes) {
    if (bytes <= capacity) return true;
    void* bigger = std::realloc(data, bytes + LineIndex::kPadding);
    if (bigger == nullptr) return false;
    data = static_cast<char*>(bigger);
    capacity = bytes;
    std::memset(data + capacity, 0, LineIndex::kPadding);
    return true;
}

void RipBlock::reset() {
    size = 0;
    output.clear();
    ends.clear();
    lines = 0;
    outOfMemory.reset();
    tooLong.reset();
    failure.reset();
    sawLine = false;
}

std::size_t BlockRipper::lineEnd(const RipBlock& b, std::size_t pos) {
    constexpr std::size_t kWindow = std::size_t{256} << 10;
    for (std::size_t from = pos;; from = indexed) {
        if (from >= indexed && indexed < b.size) {
            index.restart(indexed);
            const std::size_t to = std::min(b.size, indexed + kWindow);
            index.index(b.data, indexed, to);
            indexed = to;
        }
        const std::size_t eolAt = index.nextEnd(from, indexed);
        if (eolAt < indexed || indexed == b.size) return eolAt;
    }
}

void BlockRipper::rip(RipBlock& b, bool skipEmpty, const std::string& eol, std::size_t lineLimit) {
    indexed = 0;
    std::size_t pos = 0;
    while (pos < b.size) {
        const std::size_t eolAt = lineEnd(b, pos);
        const std::string_view line(b.data + pos, eolAt - pos);
        const SeparatorBits bits = index.separators(pos);
        pos = eolAt < b.size ? terminatorEnd(b.data, eolAt, b.size) : b.size;
        if (line.size() > lineLimit) {
            b.failure = lineTooLong(lineLimit);  // as a sequential read stops there
            return;
        }
        ++b.lines;
        if (line.empty()) continue;
        b.sawLine = true;
        const std::size_t start = b.output.size();
        try {
            // A long line is mostly copied: room for it at once, not by doubling.
            if (line.size() > b.output.capacity() - start) {
                b.output.reserve(start + line.size() + 64);
            }
            const bool complete = ripper.rip(line, b.output, bits);
            if (ripper.tooLong()) {
                b.tooLong = b.lines;
                return;
            }
            if (!complete && skipEmpty) {
                b.output.resize(start);
                continue;
            }
            b.output.append(eol);
            b.ends.push_back({b.output.size(), b.lines});
        } catch (const std::bad_alloc&) {
            b.output.resize(std::min(start, b.output.size()));
            b.outOfMemory = b.lines;
            return;
        }
    }
}

}  // namespace kolvane
