#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "io.h"

namespace kolvane {

// Splits a byte source into lines. A line ends at LF, CR LF or CR (CR LF is one
// terminator); a last line without terminator is still a line. The source is
// read in large blocks; the buffer grows only when one line outgrows it, so
// memory follows the longest line, not the file.
class LineReader {
  public:
    static constexpr std::size_t kBlockSize = std::size_t{256} << 10;

    explicit LineReader(ByteSource& source, std::size_t blockSize = kBlockSize);

    // The next line without its terminator, valid until the next call; nullopt at
    // the end of the source or on a read failure (then failure() says why).
    std::optional<std::string_view> next();

    const std::optional<IoResult>& failure() const { return failure_; }
    // Lines returned so far; the failing line is lineNumber() + 1.
    std::int64_t lineNumber() const { return lines_; }
    // Source offset just past the last line returned (and its terminator).
    std::uint64_t offset() const { return base_ + begin_; }
    // Source bytes read so far, for progress.
    std::uint64_t bytesRead() const { return base_ + end_; }

  private:
    // Reads more bytes behind the unconsumed ones; false at the end or on failure.
    bool refill();

    ByteSource& source_;
    std::vector<char> buf_;
    std::size_t begin_ = 0;    // first unconsumed byte
    std::size_t end_ = 0;      // one past the last byte read
    std::size_t scanned_ = 0;  // bytes after begin_ known to hold no terminator
    std::size_t nextCr_ = 0;   // first CR at or after the scan point, or end_ if none
    bool crValid_ = false;     // whether nextCr_ may be used
    bool eof_ = false;
    std::uint64_t base_ = 0;  // source offset of buf_[0]
    std::int64_t lines_ = 0;
    std::optional<IoResult> failure_;
};

}  // namespace kolvane
