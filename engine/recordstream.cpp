#include "recordstream.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "lineend.h"

namespace kolvane {

RecordStream::RecordStream(ByteSource& source, Dialect dialect, std::function<bool()> keepGoing,
                           std::size_t blockBytes)
    : source_(source),
      dialect_(std::move(dialect)),
      keepGoing_(std::move(keepGoing)),
      block_(std::max<std::size_t>(blockBytes, 1)) {}

bool RecordStream::fill(Outcome& outcome) {
    for (;;) {
        if (keepGoing_ && !keepGoing_()) {
            outcome = Outcome::stopped;
            return false;
        }
        IoResult r = source_.read(block_);
        if (r.failed()) {
            failure_ = std::move(r);
            outcome = Outcome::failed;
            return false;
        }
        if (r.noDataYet) {
            std::this_thread::yield();
            continue;
        }
        base_ += len_;
        pos_ = 0;
        len_ = r.bytes;
        eof_ = r.bytes == 0;
        faithful_ = faithful_ && source_.consumed() == base_ + len_;
        return true;
    }
}

RecordStream::Outcome RecordStream::next(std::string* kept, std::size_t keep, bool& cut,
                                         bool stopWhenKept) {
    cut = false;
    terminator_ = {};
    QuoteState state;
    started_ = false;
    bool crInside = false;   // the last byte inside quotes was a CR
    std::int64_t inner = 0;  // line ends inside quotes
    std::size_t taken = 0;   // bytes of the record kept
    Outcome why = Outcome::end;
    for (;;) {
        if (pos_ == len_) {
            if (eof_) break;
            if (!fill(why)) return why;
            continue;
        }
        const char* const data = block_.data();
        if (afterCr_) {
            afterCr_ = false;
            if (data[pos_] == '\n') {
                ++pos_;
                continue;
            }
        }
        // Where the record ends in this block, by the rules of its dialect.
        std::size_t eol = len_;
        if (!dialect_.quoted) {
            const auto brk = findLineBreak(data, pos_, len_, true);
            if (brk) eol = brk->eol;
        } else {
            for (std::size_t i = pos_; i < len_; ++i) {
                const QuoteByte kind = stepQuote(state, data, i, len_, dialect_.split);
                if (kind == QuoteByte::lineEnd) {
                    eol = i;
                    break;
                }
                const bool cr = data[i] == '\r';
                if (kind == QuoteByte::inside && (cr || (data[i] == '\n' && !crInside))) ++inner;
                crInside = kind == QuoteByte::inside && cr;
            }
        }
        const std::size_t room = keep - taken;
        const std::size_t take = std::min(eol - pos_, room);
        if (kept != nullptr) kept->append(data + pos_, take);
        taken += take;
        cut = cut || eol - pos_ > room;
        started_ = true;
        if (eol == len_) {
            pos_ = len_;
            if (stopWhenKept && kept != nullptr && taken == keep) break;
            continue;
        }
        pos_ = terminatorEnd(data, eol, len_);
        terminator_ = pos_ - eol == 2 ? "\r\n" : data[eol] == '\r' ? "\r" : "\n";
        // A CR that ends the block: the LF of a CR LF may start the next.
        if (data[eol] == '\r' && pos_ == len_ && !eof_) {
            afterCr_ = true;
            if (fill(why) && pos_ < len_ && block_[pos_] == '\n') {
                ++pos_;
                afterCr_ = false;
                terminator_ = "\r\n";
            }
        }
        break;
    }
    if (!started_) return Outcome::end;
    lines_ += 1 + inner;
    return Outcome::record;
}

std::string RecordStream::rest() const {
    return std::string(block_.data() + pos_, len_ - pos_);
}

}  // namespace kolvane
