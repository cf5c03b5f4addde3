#include "parallelblock.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <thread>

#include "lineend.h"

namespace kolvane {

namespace {

std::string sizeText(std::size_t bytes) {
    return bytes >= (std::size_t{1} << 20) ? std::to_string(bytes >> 20) + " MiB"
                                           : std::to_string(bytes) + " bytes";
}

// How much of one long line is read between two questions to keepGoing(),
// so a stop or the window's events never wait for a line of gigabytes.
constexpr std::size_t kAskEvery = std::size_t{4} << 20;

// Bytes of a block indexed at a time: the maps stay small (a 64th of it) and
// warm, whatever the block's size.
constexpr std::size_t kIndexWindow = std::size_t{256} << 10;

}  // namespace

IoResult lineTooLong(std::size_t limit) {
    return IoResult{0, EFBIG,
                    "a line is longer than " + sizeText(limit) + ", the most one line may hold",
                    false};
}

IoResult noMemoryForLine(std::size_t bytes) {
    // Short of a block, the line is not the trouble: the memory is.
    if (bytes < (std::size_t{1} << 20)) return IoResult{0, ENOMEM, std::strerror(ENOMEM), false};
    return IoResult{0, ENOMEM, "not enough memory for a line of " + sizeText(bytes), false};
}

std::size_t defaultLineLimit() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::size_t{1} << 30;
    return static_cast<std::size_t>(pages) / 4 * static_cast<std::size_t>(pageSize);
}

bool RipBlock::reserve(std::size_t bytes) {
    if (bytes <= capacity) return true;
    // realloc moves a large buffer by remapping its pages, so old and new
    // are never both in memory.
    void* bigger = std::realloc(data, bytes + LineIndex::kPadding);
    if (bigger == nullptr) return false;
    data = static_cast<char*>(bigger);
    capacity = bytes;
    std::memset(data + capacity, 0, LineIndex::kPadding);
    return true;
}

void RipBlock::reset(std::size_t nominal) {
    size = 0;
    lines = 0;
    outOfMemory.reset();
    tooLong.reset();
    failure.reset();
    unclosedQuote = false;
    sawLine = false;
    ends.clear();
    output.clear();
    release(nominal);
}

void RipBlock::release(std::size_t nominal) {
    if (capacity > 4 * nominal) {
        std::free(std::exchange(data, nullptr));
        capacity = 0;
        size = 0;
    }
    if (output.capacity() > 4 * nominal) std::string().swap(output);
}

BlockReader::BlockReader(ByteSource& source, std::size_t blockSize, std::size_t lineLimit,
                         std::function<bool()> keepGoing)
    : source_(source),
      blockSize_(std::max<std::size_t>(blockSize, 1)),
      lineLimit_(lineLimit),
      keepGoing_(std::move(keepGoing)) {}

bool BlockReader::read(RipBlock& block) {
    if (ended_) return false;
    block.reset(blockSize_);
    try {
        return fill(block);
    } catch (const std::bad_alloc&) {
        // No room to carry a line over to the next block: rip the lines before it.
        block.failure = noMemoryForLine(block.size);
        block.size = quoted_ ? lastRecordEnd(block, false) : lastLineEnd(block.data, 0, block.size);
        ended_ = true;
        return true;
    }
}

void BlockReader::cutAtLastEnd(RipBlock& block, std::size_t cut) {
    carry_.assign(block.data + cut, block.size - cut);
    block.size = cut;
}

bool BlockReader::fill(RipBlock& block) {
    if (!block.reserve(std::max(blockSize_, carry_.size()))) {
        block.failure = noMemoryForLine(carry_.size());
        ended_ = true;
        return true;
    }
    std::memcpy(block.data, carry_.data(), carry_.size());
    block.size = carry_.size();
    carry_.clear();
    std::size_t searched = 0;  // bytes before this hold no line end
    std::size_t unasked = 0;   // bytes of one line read since keepGoing() was asked
    quoteCarry_ = {};          // a block starts at a record
    quoteScanned_ = recordEnd_ = 0;
    crPending_ = false;
    block.maps.bytes = 0;
    // The last line end in what has not been searched yet, or 0.
    auto lastEnd = [&] {
        if (quoted_) return lastRecordEnd(block, false);
        const std::size_t cut = lastLineEnd(block.data, searched, block.size);
        if (cut == 0 && block.size > 0) searched = block.size - 1;  // a CR may yet end a line
        return cut;
    };
    for (;;) {
        if (block.size == block.capacity) {
            if (const std::size_t cut = lastEnd()) return cutAtLastEnd(block, cut), true;
            // One line fills the block: the block grows with it, to just past the limit.
            if (block.capacity <= blockSize_ && longLine_) longLine_();
            const std::size_t most = std::max(lineLimit_, lineLimit_ + blockSize_);
            if (block.size > lineLimit_ || !block.reserve(std::min(block.capacity * 2, most))) {
                block.failure =
                    block.size > lineLimit_ ? lineTooLong(lineLimit_) : noMemoryForLine(block.size);
                break;
            }
        }
        IoResult r = source_.read(std::span<char>(
            block.data + block.size, std::min(block.capacity - block.size, blockSize_)));
        if (r.failed()) {
            // What that read brought is not ripped, as in a sequential rip.
            block.failure = std::move(r);
            break;
        }
        if (r.noDataYet) {
            // A signal may have interrupted the read to stop the rip: it stops
            // at the last line end read.
            if (!keepGoing_()) return stop(block);
            // Lines that have come are ripped now, not when a block is full.
            if (const std::size_t cut = lastEnd()) return cutAtLastEnd(block, cut), true;
            std::this_thread::yield();
            continue;
        }
        if (r.bytes == 0) {
            ended_ = true;
            if (quoted_ && block.size > 0) {
                // A quote still open at the source's end never closes: the
                // records before it are ripped, and that is an error.
                lastRecordEnd(block, true);
                if (quoteCarry_.state == QuoteState::quoted) {
                    block.size = recordEnd_;
                    block.unclosedQuote = true;
                }
            }
            return block.size > 0 || block.unclosedQuote;
        }
        block.size += r.bytes;
        if (block.capacity <= blockSize_) continue;
        // A block grown for a long line ends as soon as a line ends, so what
        // it carries over stays within one read.
        if (const std::size_t cut = lastEnd()) return cutAtLastEnd(block, cut), true;
        unasked += r.bytes;
        if (unasked >= kAskEvery) {
            unasked = 0;
            if (!keepGoing_()) return stop(block);
        }
    }
    // Reading failed: only the lines that surely ended are ripped.
    block.size = quoted_ ? lastRecordEnd(block, false) : lastLineEnd(block.data, 0, block.size);
    ended_ = true;
    return true;
}

std::size_t BlockReader::lastRecordEnd(RipBlock& block, bool final) {
    if (quotedSplit_.size() == 1) return lastRecordEndByQuotes(block, final);
    for (; quoteScanned_ < block.size; ++quoteScanned_) {
        const std::size_t i = quoteScanned_;
        const char c = block.data[i];
        const bool ends = (c == '\n' || c == '\r') && quoteCarry_.state != QuoteState::quoted &&
                          quoteCarry_.splitLeft == 0;
        // A CR as the last byte read may be the first half of a CR LF.
        if (ends && c == '\r' && i + 1 == block.size && !final) break;
        stepQuote(quoteCarry_, block.data, i, block.size, quotedSplit_);
        if (ends && !(c == '\r' && i + 1 < block.size && block.data[i + 1] == '\n')) {
            recordEnd_ = i + 1;
        }
    }
    return recordEnd_;
}

// The same for a one-byte split string, 64 bytes a look: the maps made as
// the index makes them, quotes masked, and the last line end left standing
// is the last record end. A block of its nominal size keeps its maps, so the
// ripper need not make them again; one grown for a long line is masked a
// window at a time, so its maps never grow with it. A CR at the very end of
// what was read may be the first half of a CR LF: it is decided when the
// next byte is known.
std::size_t BlockReader::lastRecordEndByQuotes(RipBlock& block, bool final) {
    const char* const data = block.data;
    const std::size_t size = block.size;
    if (crPending_ && (final || size > crAt_ + 1)) {
        crPending_ = false;
        recordEnd_ = crAt_ + 1;  // an LF behind it is found below, and ends the record
    }
    QuotedMaps& kept = block.maps;
    const bool keep = block.capacity <= blockSize_ && kept.bytes == quoteScanned_;
    const std::size_t left = size - quoteScanned_;
    if (!keep && left > 0 && quoteCarry_.state != QuoteState::quoted &&
        std::memchr(data + quoteScanned_, '"', left) == nullptr) {
        // No quote in a block whose maps are not kept: its line ends end
        // records, as in plain text. (Maps that are kept cost the ripper
        // that much less: they are made even where no quote is.)
        block.maps.bytes = 0;  // and the ripper makes the maps
        if (const std::size_t end = lastLineEnd(data, quoteScanned_, size)) recordEnd_ = end;
        const char last = data[size - 1];
        if (last == '\r' && !final) {
            crPending_ = true;
            crAt_ = size - 1;
        } else if (last == '\r') {
            recordEnd_ = size;
        }
        quoteCarry_.state = last == '\r' || last == '\n' || last == quotedSplit_[0]
                                ? QuoteState::fieldStart
                                : QuoteState::unquoted;
        quoteScanned_ = size;
        return recordEnd_;
    }
    constexpr std::size_t kWords = 1024;  // a window of 64 KiB when the maps are not kept
    for (std::size_t from = quoteScanned_; from < size;) {
        const std::size_t to = keep ? size : std::min(size, from + kWords * 64);
        // Maps whose word 0 holds byte `base`.
        const std::size_t base = keep ? 0 : from / 64 * 64;
        QuotedMaps& m = keep ? kept : scratch_;
        m.grow((to - 1 - base) / 64 + 2);
        // Reads up to 63 bytes past the block's size, into its padding.
        quoteCarry_ = markQuotedMaps(data + base, from - base, to - base, size - base, quotedSplit_,
                                     m.words(), quoteCarry_);
        takeLastRecordEnd(m.ends.data(), base, from, to, data, size, final);
        from = to;
    }
    kept.bytes = keep ? size : 0;
    kept.split = static_cast<unsigned char>(quotedSplit_[0]);
    quoteScanned_ = size;
    return recordEnd_;
}

void BlockReader::takeLastRecordEnd(const std::uint64_t* ends, std::size_t base, std::size_t from,
                                    std::size_t to, const char* data, std::size_t size,
                                    bool final) {
    for (std::size_t w = (to - 1 - base) / 64 + 1; w-- > (from - base) / 64;) {
        std::uint64_t bits = ends[w];
        while (bits != 0) {
            const std::size_t at = base + w * 64 + 63 - std::size_t(__builtin_clzll(bits));
            if (at < from) return;
            if (at + 1 == size && data[at] == '\r' && !final) {
                crPending_ = true;
                crAt_ = at;
                bits &= ~(std::uint64_t{1} << (at - base) % 64);
                continue;
            }
            recordEnd_ = at + 1;
            return;
        }
    }
}

bool BlockReader::stop(RipBlock& block) {
    stopped_ = true;
    block.size = quoted_ ? lastRecordEnd(block, false) : lastLineEnd(block.data, 0, block.size);
    carry_.clear();
    ended_ = true;
    return block.size > 0;
}

void BlockRipper::configure(const RipPlan& plan, const std::string& eol) {
    plan_ = &plan;
    ripper_.configure(plan);
    copying_ = FieldCopier::takes(plan);
    if (copying_) copier_.configure(plan, eol);
    eol_ = eol;
    index_.setSplit(splitByte(plan.split()));
    index_.setQuoted(plan.quoted(), plan.split());
    indexed_ = indexedFrom_ = 0;  // indexed again with the new split byte
}

void BlockRipper::indexFrom(const RipBlock& b, std::size_t from) {
    index_.restart(from);
    const std::size_t to = std::min(b.size, from + kIndexWindow);
    index_.index(b.data, from, to);
    indexedFrom_ = from;
    indexed_ = to;
}

std::size_t BlockRipper::lineEnd(const RipBlock& b, std::size_t pos) {
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
    // A new block, or a place the maps do not hold: index from here, where
    // a record starts.
    if (from == 0 && b.size > 0 && b.maps.bytes >= b.size && b.maps.split == index_.split() &&
        plan_->quoted()) {
        // The reader masked the block to cut it: its maps are taken over.
        index_.adopt(b.maps);
        indexedFrom_ = 0;
        indexed_ = b.size;
    } else if (from == 0 || from < indexedFrom_ || from > indexed_) {
        index_.atRecordStart();
        indexFrom(b, from);
    }
    until = std::min(until, b.size);
    while (pos < until) {
        try {
            if (copying_) {
                // The copier takes the lines it can; the rest come here one by one.
                if (pos >= indexed_) indexFrom(b, pos);
                pos = copier_.ripLines(b.data, pos, until, indexed_, b.size, index_, target);
                if (pos >= until) break;
            }
            const std::size_t eolAt = lineEnd(b, pos);
            const std::string_view line(b.data + pos, eolAt - pos);
            const SeparatorBits bits = index_.separators(pos);
            if (line.size() > lineLimit) {
                b.failure = lineTooLong(lineLimit);  // as reading stops there
                return pos;
            }
            const std::size_t next = eolAt < b.size ? terminatorEnd(b.data, eolAt, b.size) : b.size;
            if (!line.empty()) {
                b.sawLine = true;
                room.settle();
                if (!ripOne(b, line, bits)) return pos;
                room.resume();
            }
            // A quoted record may hold line ends: it counts its source lines.
            b.lines += 1 + (plan_->quoted() ? lineEndsIn(line) : 0);
            pos = next;
        } catch (const std::bad_alloc&) {
            b.outOfMemory = b.lines + 1;  // the line at pos, not yet counted
            return pos;
        }
    }
    return pos;
}

bool BlockRipper::ripOne(RipBlock& b, std::string_view line, const SeparatorBits& bits) {
    std::string& output = b.output;
    const std::size_t start = output.size();
    try {
        const bool complete = ripper_.rip(line, output, bits);
        if (ripper_.tooLong()) {
            b.tooLong = b.lines + 1;
            return false;
        }
        // The one commit step: the skip rule drops the line, or the line end
        // closes it and it is recorded with its source line.
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
