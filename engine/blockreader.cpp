#include "blockreader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <thread>

#include "bitwalk.h"
#include "lineend.h"

namespace kolvane {

namespace {

std::string sizeText(std::size_t bytes) {
    return bytes >= (std::size_t{1} << 20) ? std::to_string(bytes >> 20) + " MiB"
                                           : std::to_string(bytes) + " bytes";
}

// How much of one long record is read between two questions to keepGoing(),
// so a stop or the window's events never wait for a record of gigabytes.
constexpr std::size_t kAskEvery = std::size_t{4} << 20;

// Bytes of a grown block scanned at a time: its maps stay small (a few
// 64ths of a window) whatever the record's size.
constexpr std::size_t kScanWindow = std::size_t{64} << 10;

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
    void* bigger = std::realloc(data, bytes + kPadding);
    if (bigger == nullptr) return false;
    data = static_cast<char*>(bigger);
    capacity = bytes;
    std::memset(data + capacity, 0, kPadding);
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
    maps.bytes = 0;
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
    if (ended_ && carry_.empty() && !pendingFailure_) return false;
    block.reset(blockSize_);
    try {
        return fill(block);
    } catch (const std::bad_alloc&) {
        // No room to carry a record over to the next block: rip the ones before it.
        block.failure = noMemoryForLine(block.size);
        block.size = lastRecordEnd(block, false);
        carry_.clear();
        ended_ = true;
        return true;
    }
}

void BlockReader::giveBack(RipBlock& block, std::size_t from) {
    // A quote left open, or a failure, came after these bytes: they are read
    // again first, then the open record, and the failure again after them.
    carry_.insert(0, unclosed_);
    unclosed_.clear();
    carry_.insert(0, block.data + from, block.size - from);
    block.size = from;
    if (block.failure) pendingFailure_ = std::move(block.failure);
    block.failure.reset();
    block.unclosedQuote = false;
}

bool BlockReader::cutAt(RipBlock& block, std::size_t cut) {
    carry_.assign(block.data + cut, block.size - cut);
    block.size = cut;
    return true;
}

bool BlockReader::fill(RipBlock& block) {
    if (!block.reserve(std::max(blockSize_, carry_.size()))) {
        block.failure = noMemoryForLine(carry_.size());
        carry_.clear();
        ended_ = true;
        return true;
    }
    std::memcpy(block.data, carry_.data(), carry_.size());
    block.size = carry_.size();
    carry_.clear();
    searched_ = scanned_ = recordEnd_ = 0;  // a block starts at a record
    scanState_ = {};
    std::size_t unasked = 0;  // bytes of one record read since keepGoing() was asked
    while (!pendingFailure_ && !ended_) {
        if (block.size == block.capacity) {
            if (const std::size_t cut = lastRecordEnd(block, false)) return cutAt(block, cut);
            if (!grow(block)) break;
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
            // at the last record end read.
            if (!keepGoing_()) return stop(block);
            // Records that have come are ripped now, not when a block is full.
            if (const std::size_t cut = lastRecordEnd(block, false)) return cutAt(block, cut);
            std::this_thread::yield();
            continue;
        }
        ended_ = r.bytes == 0;
        block.size += r.bytes;
        if (ended_ || block.capacity <= blockSize_) continue;
        // A block grown for a long record ends as soon as a record ends, so
        // what it carries over stays within one read.
        if (const std::size_t cut = lastRecordEnd(block, false)) return cutAt(block, cut);
        unasked += r.bytes;
        if (unasked >= kAskEvery) {
            unasked = 0;
            if (!keepGoing_()) return stop(block);
        }
    }
    return finish(block);
}

bool BlockReader::grow(RipBlock& block) {
    // One record fills the block: the block grows with it, to just past the limit.
    if (block.capacity <= blockSize_ && longLine_) longLine_();
    const std::size_t most = std::max(lineLimit_, lineLimit_ + blockSize_);
    if (block.size <= lineLimit_ && block.reserve(std::min(block.capacity * 2, most))) return true;
    block.failure = block.size > lineLimit_ ? lineTooLong(lineLimit_) : noMemoryForLine(block.size);
    return false;
}

bool BlockReader::finish(RipBlock& block) {
    if (pendingFailure_ && !block.failure) block.failure = std::exchange(pendingFailure_, {});
    if (block.failure) {
        // Reading failed: only the records that surely ended are ripped.
        block.size = lastRecordEnd(block, false);
        ended_ = true;
        return true;
    }
    // The source's end. A quote still open there never closes: the records
    // before it are ripped, and that is an error.
    if (dialect_.quoted && block.size > 0) {
        const std::size_t end = lastRecordEnd(block, true);
        if (endState_.at == QuoteState::quoted) {
            unclosed_.assign(block.data + end, block.size - end);
            block.size = end;
            block.unclosedQuote = true;
            return true;
        }
    }
    return block.size > 0;
}

std::size_t BlockReader::lastRecordEnd(RipBlock& block, bool final) {
    if (dialect_.quoted) return lastQuotedEnd(block, final);
    const std::size_t cut = lastLineEnd(block.data, searched_, block.size);
    if (cut == 0 && block.size > 0) searched_ = block.size - 1;  // a CR may yet end a line
    return cut;
}

// The maps made as the index makes them, quotes and all, and the last line
// end they leave standing is the last record end. Whole words are scanned
// once; the bytes after the last whole word are scanned again when more
// come, from the state the whole words left. A block of its nominal size
// keeps its maps for the ripper; one grown for a long record is scanned a
// window at a time, so its maps never grow with it.
std::size_t BlockReader::lastQuotedEnd(RipBlock& block, bool final) {
    const char* const data = block.data;
    const std::size_t size = block.size;
    const std::string_view split = dialect_.split;
    // A split string running past what was read may yet turn out whole.
    const std::size_t settled =
        final ? size : size - std::min(size, split.size() > 1 ? split.size() - 1 : 0);
    // The word holding the last byte is read again with the next bytes, for
    // a CR there that a LF may follow.
    const std::size_t whole = (final || settled == 0 ? settled : settled - 1) / 64 * 64;
    const bool keep = block.capacity <= blockSize_;
    endState_ = scanState_;
    while (scanned_ < size) {
        const std::size_t from = scanned_;
        const std::size_t to = keep ? size : std::min(size, from + kScanWindow);
        const std::size_t base = keep ? 0 : from;
        QuotedMaps& m = keep ? block.maps : window_;
        m.grow((to - base + 63) / 64);
        const std::size_t commit = std::max(from, std::min(to, whole));
        const QuotedMapWords words = m.words();
        scanState_ = scanQuoted(data + base, from - base, commit - base, size - base, split, words,
                                scanState_);
        endState_ = scanQuoted(data + base, commit - base, to - base, size - base, split, words,
                               scanState_);
        scanned_ = commit;
        takeLastRecordEnd(m.ends.data(), base, std::max(searched_, from), std::min(to, settled),
                          data, size, final);
        if (keep) {
            m.bytes = size;
            m.dialect = dialect_;
        }
        if (to == size) break;
    }
    searched_ = std::max(
        searched_, settled - (settled > 0 && !final && settled == size && data[size - 1] == '\r'));
    return recordEnd_;
}

void BlockReader::takeLastRecordEnd(const std::uint64_t* ends, std::size_t base, std::size_t from,
                                    std::size_t to, const char* data, std::size_t size,
                                    bool final) {
    for (std::size_t end = to; from < end;) {
        const std::size_t at = base + lastBit(ends, from - base, end - base);
        if (at >= end) return;
        if (surelyEndsLine(data, at, size, final)) {
            recordEnd_ = at + 1;
            return;
        }
        end = at;
    }
}

bool BlockReader::stop(RipBlock& block) {
    stopped_ = true;
    block.size = lastRecordEnd(block, false);
    carry_.clear();
    ended_ = true;
    return block.size > 0;
}

}  // namespace kolvane
