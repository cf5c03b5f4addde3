#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "io.h"
#include "quoterules.h"

namespace kolvane {

// Reads a source's records one after the other as a rip tells them apart, a
// block at a time, keeping only as much of each as its caller asks: the
// header, the column grid's sample and the preview read this way, and never
// hold a record of gigabytes. A CR that ends what has been read is decided
// as the rip decides it, by the byte after it.
class RecordStream {
  public:
    static constexpr std::size_t kBlockBytes = std::size_t{256} << 10;

    enum class Outcome { record, end, failed, stopped };

    // `keepGoing` is asked before every read; false stops reading.
    RecordStream(ByteSource& source, Dialect dialect, std::function<bool()> keepGoing = {},
                 std::size_t blockBytes = kBlockBytes);

    // Passes the next record: appends at most `keep` bytes of it (its line
    // end left out) to `kept` when given, and sets `cut` when it had more.
    // With `stopWhenKept`, a record is read no further once `keep` bytes are
    // kept, and the rest is left unread (the stream is then no use for more
    // records). A record is every line up to a line end outside quotes; a
    // source that ends inside quotes ends its last record.
    Outcome next(std::string* kept, std::size_t keep, bool& cut, bool stopWhenKept = false);

    // The line end of the record last passed ("" at the source's end).
    std::string_view terminator() const { return terminator_; }
    // Source lines passed, the ones inside quoted values counted.
    std::int64_t lines() const { return lines_; }
    // Bytes passed, up to just after the last record's line end.
    std::uint64_t consumed() const { return base_ + pos_; }
    // Bytes read from the source so far.
    std::uint64_t read() const { return base_ + len_; }
    // Whether the last next() passed a byte of a record, also one it did not end.
    bool started() const { return started_; }
    // Bytes read from the source and not passed yet, to hand on.
    std::string rest() const;
    const IoResult& failure() const { return failure_; }
    // Whether every byte passed was the source's own byte at the same offset
    // (nothing decompressed or converted), so that offsets are file offsets.
    bool faithful() const { return faithful_; }

  private:
    // Reads the next block; false, with the outcome, when none came.
    bool fill(Outcome& outcome);

    ByteSource& source_;
    Dialect dialect_;
    std::function<bool()> keepGoing_;
    std::vector<char> block_;
    std::size_t pos_ = 0;
    std::size_t len_ = 0;
    std::uint64_t base_ = 0;  // source bytes before block_
    bool eof_ = false;
    bool afterCr_ = false;  // a CR ended the last record: a LF next is its own
    bool faithful_ = true;
    std::string_view terminator_;
    std::int64_t lines_ = 0;
    bool started_ = false;
    IoResult failure_;
};

}  // namespace kolvane
