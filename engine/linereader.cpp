#include "linereader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

namespace kolvane {

namespace {

std::string sizeText(std::size_t bytes) {
    return bytes >= (std::size_t{1} << 20) ? std::to_string(bytes >> 20) + " MiB"
                                           : std::to_string(bytes) + " bytes";
}

}  // namespace

IoResult lineTooLong(std::size_t limit) {
    return IoResult{0, EFBIG,
                    "a line is longer than " + sizeText(limit) + ", the most one line may hold",
                    false};
}

IoResult noMemoryForLine(std::size_t bytes) {
    return IoResult{0, ENOMEM, "not enough memory for a line of " + sizeText(bytes), false};
}

std::size_t LineReader::defaultLineLimit() {
    const long pages = ::sysconf(_SC_PHYS_PAGES);
    const long pageSize = ::sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0) return std::size_t{1} << 30;
    return static_cast<std::size_t>(pages) / 4 * static_cast<std::size_t>(pageSize);
}

LineReader::LineReader(ByteSource& source, std::size_t blockSize, std::size_t lineLimit)
    : source_(source), blockSize_(std::max<std::size_t>(blockSize, 1)), lineLimit_(lineLimit) {}

LineReader::~LineReader() {
    std::free(buf_);
}

void LineReader::setSplit(std::string_view split) {
    const int byte = splitByte(split);
    if (byte == index_.split()) return;
    index_.setSplit(byte);
    // What is not consumed yet; the line last returned is cut by scanning.
    index_.restart(begin_);
    index_.index(buf_, begin_, end_);
}

bool LineReader::makeRoom() {
    try {
        if (begin_ > 0) {
            std::memmove(buf_, buf_ + begin_, end_ - begin_);
            base_ += begin_;
            end_ -= begin_;
            begin_ = 0;
        }
        if (end_ < capacity_) return true;
        // Doubling keeps refills few; realloc moves a large buffer by remapping
        // its pages, so old and new are never both in memory.
        const std::size_t grown = std::max(capacity_ * 2, blockSize_);
        void* bigger = std::realloc(buf_, grown + LineIndex::kPadding);
        if (bigger == nullptr) {
            failure_ = noMemoryForLine(grown);
            return false;
        }
        buf_ = static_cast<char*>(bigger);
        capacity_ = grown;
        std::memset(buf_ + capacity_, 0, LineIndex::kPadding);
        return true;
    } catch (const std::bad_alloc&) {
        failure_ = noMemoryForLine(capacity_);
        return false;
    }
}

void LineReader::refill() {
    if (!makeRoom()) return;
    // One block at a time, also into a large buffer: a long line then grows in
    // steps the caller sees, and a source that never ends is stopped at the limit.
    const std::size_t room = std::min(capacity_ - end_, blockSize_);
    IoResult r = source_.read(std::span<char>(buf_ + end_, room));
    try {
        // The maps start again where the search for a line end goes on (the
        // bytes may have moved), so they stay a block's size: the line in
        // hand, if it began before, is cut by scanning.
        index_.restart(begin_ + scanned_);
        index_.index(buf_, begin_ + scanned_, end_ + r.bytes);
    } catch (const std::bad_alloc&) {
        failure_ = noMemoryForLine(end_ + r.bytes - begin_);
        return;
    }
    end_ += r.bytes;
    if (r.failed()) {
        failure_ = std::move(r);
    } else if (r.bytes == 0 && !r.noDataYet) {
        eof_ = true;
    }
}

std::optional<std::string_view> LineReader::nextSlow() {
    if (failure_) return std::nullopt;
    for (bool didRead = false;; didRead = true) {
        const std::size_t eol = index_.nextEnd(begin_ + scanned_, end_);
        if (eol < end_) {
            if (eol - begin_ > lineLimit_) break;
            // A CR as the last byte read may be the first half of a CR LF.
            if (buf_[eol] != '\r' || eol + 1 < end_ || eof_) {
                return take(eol, terminatorEnd(buf_, eol, end_));
            }
            scanned_ = eol - begin_;
        } else {
            scanned_ = end_ - begin_;
            if (scanned_ > lineLimit_) break;
            if (eof_) {
                if (begin_ == end_) return std::nullopt;
                return take(end_, end_);
            }
        }
        if (didRead) {
            pending_ = true;
            return std::nullopt;
        }
        refill();
        if (failure_) return std::nullopt;
    }
    failure_ = lineTooLong(lineLimit_);
    return std::nullopt;
}

}  // namespace kolvane
