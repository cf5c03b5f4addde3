#include "linereader.h"

#include <cstring>

namespace kolvane {

LineReader::LineReader(ByteSource& source, std::size_t blockSize)
    : source_(source), buf_(blockSize) {}

bool LineReader::refill() {
    if (eof_ || failure_) return false;
    if (begin_ > 0) {
        std::memmove(buf_.data(), buf_.data() + begin_, end_ - begin_);
        base_ += begin_;
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buf_.size()) buf_.resize(buf_.size() * 2);
    // Indices moved and new bytes may hold a CR: find it again from the scan point.
    crValid_ = false;
    IoResult r = source_.read(std::span<char>(buf_.data() + end_, buf_.size() - end_));
    end_ += r.bytes;
    if (r.failed()) {
        failure_ = std::move(r);
        return false;
    }
    if (r.bytes == 0) eof_ = true;
    return r.bytes > 0;
}

std::optional<std::string_view> LineReader::next() {
    for (;;) {
        const char* data = buf_.data();
        std::size_t from = begin_ + scanned_;
        // Most files hold no CR at all: one memchr per block finds that out, and
        // from then on lines are found with a single memchr for LF.
        if (!crValid_ || nextCr_ < from) {
            const void* cr = std::memchr(data + from, '\r', end_ - from);
            nextCr_ = cr ? static_cast<std::size_t>(static_cast<const char*>(cr) - data) : end_;
            crValid_ = true;
        }
        const void* lf = std::memchr(data + from, '\n', nextCr_ - from);
        std::size_t eol =
            lf ? static_cast<std::size_t>(static_cast<const char*>(lf) - data) : nextCr_;

        if (eol < end_) {
            std::size_t after = eol + 1;
            if (data[eol] == '\r') {
                // A CR at the end of the buffer may be the first half of CR LF.
                if (after == end_ && !eof_) {
                    scanned_ = eol - begin_;
                    if (refill() || eof_) continue;
                    if (failure_) return std::nullopt;
                }
                if (after < end_ && buf_[after] == '\n') ++after;
            }
            std::string_view line(buf_.data() + begin_, eol - begin_);
            begin_ = after;
            scanned_ = 0;
            ++lines_;
            return line;
        }

        scanned_ = end_ - begin_;
        if (refill()) continue;
        if (failure_) return std::nullopt;
        if (begin_ == end_) return std::nullopt;
        std::string_view line(buf_.data() + begin_, end_ - begin_);
        begin_ = end_;
        scanned_ = 0;
        ++lines_;
        return line;
    }
}

}  // namespace kolvane
