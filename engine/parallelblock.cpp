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

void BlockRipper::indexNext(const RipBlock& b) {
    constexpr std::size_t kWindow = std::size_t{256} << 10;
    index.restart(indexed);
    const std::size_t to = std::min(b.size, indexed + kWindow);
    index.index(b.data, indexed, to);
    indexed = to;
}

std::size_t BlockRipper::lineEnd(const RipBlock& b, std::size_t pos) {
    for (std::size_t from = pos;; from = indexed) {
        if (from >= indexed && indexed < b.size) indexNext(b);
        const std::size_t eolAt = index.nextEnd(from, indexed);
        if (eolAt < indexed || indexed == b.size) return eolAt;
    }
}

void BlockRipper::configure(const Settings& settings, const FieldList& fields,
                            const std::string& lineEnd) {
    ripper.configure(settings, fields);
    copying = copier.configure(settings, fields, lineEnd);
    skipEmpty = settings.skipEmpty;
    eol = lineEnd;
    index.setSplit(splitByte(settings.split));
}

void BlockRipper::rip(RipBlock& b, std::size_t lineLimit) {
    indexed = 0;
    std::size_t pos = 0;
    OutputRoom room(b.output);
    FieldCopier::Target target{room, b.ends, b.lines, b.sawLine, lineLimit, ripper.maxResult()};
    while (pos < b.size) {
        try {
            if (copying) {
                // The copier takes the lines it can; the rest come here one by one.
                if (pos >= indexed) indexNext(b);
                pos = copier.ripLines(b.data, pos, indexed, b.size, index, target);
                if (pos == b.size) break;
            }
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
            if (!ripWithRipper(b, room.settle(), line, bits)) return;
            room.resume();
        } catch (const std::bad_alloc&) {
            b.outOfMemory = b.lines + 1;  // the line at pos, not yet counted
            return;
        }
    }
}

bool BlockRipper::ripWithRipper(RipBlock& b, std::string& output, std::string_view line,
                                const SeparatorBits& bits) {
    const std::size_t start = output.size();
    try {
        // A long line is mostly copied: room for it at once, not by doubling.
        if (line.size() > output.capacity() - start) output.reserve(start + line.size() + 64);
        const bool complete = ripper.rip(line, output, bits);
        if (ripper.tooLong()) {
            b.tooLong = b.lines;
            return false;
        }
        if (complete || !skipEmpty) {
            output.append(eol);
            b.ends.push_back({output.size(), b.lines});
        } else {
            output.resize(start);
        }
        return true;
    } catch (const std::bad_alloc&) {
        output.resize(std::min(start, output.size()));
        b.outOfMemory = b.lines;
        return false;
    }
}

}  // namespace kolvane
