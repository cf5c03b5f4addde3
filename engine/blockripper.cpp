#include "blockripper.h"

#include <algorithm>
#include <new>

#include "lineend.h"

namespace kolvane {

static_assert(RipBlock::kPadding >= LineIndex::kPadding);

namespace {

// Bytes of a block indexed at a time: the maps stay small (a 64th of it) and
// warm, whatever the block's size.
constexpr std::size_t kIndexWindow = std::size_t{256} << 10;

}  // namespace

void BlockRipper::configure(const RipPlan& plan, const std::string& eol) {
    plan_ = &plan;
    ripper_.configure(plan);
    copying_ = FieldCopier::takes(plan);
    if (copying_) copier_.configure(plan, eol);
    eol_ = eol;
    index_.setDialect(plan.dialect());
    indexed_ = indexedFrom_ = 0;  // indexed again for the new dialect
}

void BlockRipper::indexFrom(const RipBlock& b, std::size_t from) {
    index_.restart(from);
    const std::size_t to = std::min(b.size, from + kIndexWindow);
    index_.index(b.data, from, to, b.size);
    indexedFrom_ = from;
    indexed_ = to;
}

std::size_t BlockRipper::recordEnd(const RipBlock& b, std::size_t pos) {
    for (std::size_t from = pos;; from = indexed_) {
        if (from >= indexed_ && indexed_ < b.size) indexFrom(b, indexed_);
        const std::size_t eolAt = index_.nextEnd(from, indexed_);
        if (eolAt < indexed_ || indexed_ == b.size) return eolAt;
    }
}

std::size_t BlockRipper::rip(RipBlock& b, std::size_t from, std::size_t until,
                             std::size_t lineLimit) {
    std::size_t pos = from;
    OutputRoom room(b.output);
    FieldCopier::Target target{room, b.ends, b.lines, b.sawLine, lineLimit, ripper_.maxResult()};
    if (from == 0 && plan_->quoted() && b.size > 0 && b.maps.bytes >= b.size &&
        b.maps.dialect == plan_->dialect()) {
        // The reader scanned the block to cut it: its maps are taken over.
        index_.adopt(b.maps);
        indexedFrom_ = 0;
        indexed_ = b.size;
    } else if (from == 0 || from < indexedFrom_ || from > indexed_) {
        // A new block, or a place the maps do not hold: index from here,
        // where a record starts.
        index_.atRecordStart();
        indexFrom(b, from);
    }
    until = std::min(until, b.size);
    while (pos < until) {
        try {
            if (copying_) {
                // The copier takes the records it can; the rest come here one by one.
                if (pos >= indexed_) indexFrom(b, pos);
                pos = copier_.ripLines(b.data, pos, until, indexed_, b.size, index_, target);
                if (pos >= until) break;
            }
            const std::size_t eolAt = recordEnd(b, pos);
            const std::string_view record(b.data + pos, eolAt - pos);
            const SeparatorBits bits = index_.separators(pos, record.size());
            if (record.size() > lineLimit) {
                b.failure = lineTooLong(lineLimit);  // as reading stops there
                return pos;
            }
            const std::size_t next = eolAt < b.size ? terminatorEnd(b.data, eolAt, b.size) : b.size;
            if (!record.empty()) {
                b.sawLine = true;
                room.settle();
                if (!ripOne(b, record, bits)) return pos;
                room.resume();
            }
            // A quoted record may hold line ends: it counts its source lines.
            b.lines += 1 + (plan_->quoted() ? lineEndsIn(record) : 0);
            pos = next;
        } catch (const std::bad_alloc&) {
            b.outOfMemory = b.lines + 1;  // the record at pos, not yet counted
            return pos;
        }
    }
    return pos;
}

bool BlockRipper::ripOne(RipBlock& b, std::string_view record, const SeparatorBits& bits) {
    std::string& output = b.output;
    const std::size_t start = output.size();
    try {
        const bool complete = ripper_.rip(record, output, bits);
        if (ripper_.tooLong()) {
            b.tooLong = b.lines + 1;
            return false;
        }
        // Committed as the copier commits: the skip rule drops the result,
        // or the line end closes it and it is recorded with its source line.
        if (complete || !plan_->checksBlank()) {
            output.append(eol_);
            b.ends.push_back({output.size(), b.lines + 1});
        } else {
            output.resize(start);
        }
        return true;
    } catch (const std::bad_alloc&) {
        output.resize(std::min(start, output.size()));
        b.outOfMemory = b.lines + 1;
        return false;
    }
}

}  // namespace kolvane
