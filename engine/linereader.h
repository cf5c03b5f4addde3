#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "io.h"
#include "lineindex.h"

namespace kolvane {

// Splits a byte source into lines. A line ends at LF, CR LF or CR (CR LF is one
// terminator); a last line without terminator is still a line. The source is
// read in large blocks; the buffer grows only when one line outgrows it, so
// memory follows the longest line, not the file, up to a limit.
//
// next() never waits for more than one read of the source: when that read
// brings no whole line (the source had nothing yet, or a long line grew but did
// not end), it returns nullopt with pending() set, and the caller may do other
// work before asking again.
// Why a line could not be read whole: longer than `limit` bytes, or no memory
// for `bytes` of it.
IoResult lineTooLong(std::size_t limit);
IoResult noMemoryForLine(std::size_t bytes);

class LineReader {
  public:
    static constexpr std::size_t kBlockSize = std::size_t{256} << 10;

    // The longest line read by default: a quarter of the machine's memory, so a
    // line that could never be held stops the run with an error instead of
    // taking the machine down with it.
    static std::size_t defaultLineLimit();

    explicit LineReader(ByteSource& source, std::size_t blockSize = kBlockSize,
                        std::size_t lineLimit = defaultLineLimit());
    ~LineReader();
    LineReader(const LineReader&) = delete;
    LineReader& operator=(const LineReader&) = delete;

    // Marks `split` in the same pass that finds line ends when it is one byte,
    // for separators(); from the next line on.
    void setSplit(std::string_view split);

    // The next line without its terminator, valid until the next call; nullopt
    // when none is available: see pending(), failure(), or else the end.
    // Inline for a line whose end is already in the buffer (all but one a
    // block): the call and the loop of the general case cost a tenth of the
    // reference job's instructions.
    std::optional<std::string_view> next() {
        pending_ = false;
        if (!failure_) {
            const std::size_t eol = index_.nextEnd(begin_ + scanned_, end_);
            // A CR as the last byte read may be the first half of a CR LF.
            if (eol < end_ && eol - begin_ <= lineLimit_ &&
                (buf_[eol] != '\r' || eol + 1 < end_ || eof_)) {
                return take(eol, terminatorEnd(buf_, eol, end_));
            }
        }
        return nextSlow();
    }

    // The last next() returned nullopt only because no whole line has arrived yet.
    bool pending() const { return pending_; }
    // Why reading stopped early: a read failure, or a line over the limit.
    const std::optional<IoResult>& failure() const { return failure_; }
    // Where the split byte stands in the line last returned; no words when the
    // split string is not one byte.
    SeparatorBits separators() const { return index_.separators(lineStart_); }
    // Lines returned so far; the failing line is lineNumber() + 1.
    std::int64_t lineNumber() const { return lines_; }
    // Source offset just past the last line returned (and its terminator).
    std::uint64_t offset() const { return base_ + begin_; }
    // Source bytes read so far, for progress.
    std::uint64_t bytesRead() const { return base_ + end_; }

  private:
    // One read behind the unconsumed bytes, making room first.
    void refill();
    bool makeRoom();
    std::optional<std::string_view> nextSlow();
    std::string_view take(std::size_t eol, std::size_t after) {
        std::string_view line(buf_ + begin_, eol - begin_);
        lineStart_ = begin_;
        begin_ = after;
        scanned_ = 0;
        ++lines_;
        return line;
    }

    ByteSource& source_;
    std::size_t blockSize_;
    std::size_t lineLimit_;
    char* buf_ = nullptr;  // malloc'd: growing a huge line remaps instead of copying
    std::size_t capacity_ = 0;
    LineIndex index_;
    std::size_t begin_ = 0;    // first unconsumed byte
    std::size_t end_ = 0;      // one past the last byte read
    std::size_t scanned_ = 0;  // bytes after begin_ known to hold no terminator
    std::size_t lineStart_ = 0;
    bool eof_ = false;
    bool pending_ = false;
    std::uint64_t base_ = 0;  // source offset of buf_[0]
    std::int64_t lines_ = 0;
    std::optional<IoResult> failure_;
};

}  // namespace kolvane
