#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "io.h"
#include "linesink.h"
#include "quotescan.h"

namespace kolvane {

// Why a line could not be read whole: longer than `limit` bytes, or no memory
// for `bytes` of it.
IoResult lineTooLong(std::size_t limit);
IoResult noMemoryForLine(std::size_t bytes);

// The longest line read by default: a quarter of the machine's memory, so a
// line that could never be held stops the run with an error instead of
// taking the machine down with it.
std::size_t defaultLineLimit();

// Source bytes that end at a record's end (or the source's end), and what
// ripping them gave. Owned by the reading thread except while queued for a
// worker.
struct RipBlock {
    char* data = nullptr;  // malloc'd with kPadding bytes behind it
    std::size_t capacity = 0;
    std::size_t size = 0;
    std::string output;
    std::vector<LineEnd> ends;                // source lines counted from the block's start
    std::int64_t lines = 0;                   // lines ripped so far, empty ones too
    std::optional<std::int64_t> outOfMemory;  // the line that could not be ripped
    std::optional<std::int64_t> tooLong;      // the line whose result passed the bound
    std::optional<IoResult> failure;          // why reading stopped after this block
    bool unclosedQuote = false;               // the source ends in a quote never closed
    QuotedMaps maps;                          // in quoted mode, made while reading
    bool sawLine = false;
    bool ripped = false;  // guarded by the ripper's mutex while queued

    // Readable bytes behind the data, for loads that read a word or a
    // vector past a record's end.
    static constexpr std::size_t kPadding = 64;

    RipBlock() = default;
    RipBlock(const RipBlock&) = delete;
    RipBlock& operator=(const RipBlock&) = delete;
    ~RipBlock() { std::free(data); }
    // Room for `bytes` of source; false when the memory is not there.
    bool reserve(std::size_t bytes);
    // Empty again, for the next block read into it; a block a long line grew
    // gives its memory back.
    void reset(std::size_t nominal);
    // What a long line grew goes back once the block is done with, so the
    // blocks in flight hold one long line at a time, not one each.
    void release(std::size_t nominal);
    // Whether ripping stopped on something the block holds.
    bool failed() const { return outOfMemory || tooLong; }
};

// Reads a source in blocks cut after a record's end, so that each block can
// be ripped on its own. A record longer than a block makes its block grow,
// up to the line limit. `keepGoing` is asked while a read waits for input and
// every few MiB of one long line; false stops reading at the last record end
// read. In quoted mode a block of its nominal size keeps the maps its records
// were found by, for the ripper to take over.
class BlockReader {
  public:
    BlockReader(ByteSource& source, std::size_t blockSize, std::size_t lineLimit,
                std::function<bool()> keepGoing);

    // How records are told apart from now on: blocks are cut only where a
    // record ends, never at a line end inside quotes.
    void setDialect(const Dialect& dialect) { dialect_ = dialect; }
    const Dialect& dialect() const { return dialect_; }

    // Fills `block` with the next bytes; false when nothing is left. When the
    // source has nothing more for now, a block holding whole records is given
    // at once, so records from a pipe are ripped as they come.
    bool read(RipBlock& block);
    // Takes back the bytes of `block` from `from` on (a record start), to be
    // read again into the next block: what was read under a dialect that has
    // changed is cut again under the new one.
    void giveBack(RipBlock& block, std::size_t from);
    // Reading stopped because keepGoing() said so.
    bool stopped() const { return stopped_; }
    // Called once a block must grow past its size for one long record, before
    // it does: a caller with other blocks and results in flight lets them go
    // first, so that one long record at a time is held, not one per block.
    void onLongLine(std::function<void()> before) { longLine_ = std::move(before); }

  private:
    bool fill(RipBlock& block);
    // Grows a block that one record fills; false, with the block's failure,
    // past the line limit or the memory.
    bool grow(RipBlock& block);
    // Ends a block that reading ended: at a failure, or at the source's end.
    bool finish(RipBlock& block);
    // Ends the block at `cut`, carrying the rest over to the next.
    bool cutAt(RipBlock& block, std::size_t cut);
    // Ends reading at the block's last whole record, as asked.
    bool stop(RipBlock& block);
    // Just past the last record end in the block that surely is one; 0 when
    // there is none yet. `final`: no more bytes will come.
    std::size_t lastRecordEnd(RipBlock& block, bool final);
    std::size_t lastQuotedEnd(RipBlock& block, bool final);
    // Moves recordEnd_ past the last line end in [from, to) that surely ends
    // a record, by the ends map whose word 0 holds byte `base`.
    void takeLastRecordEnd(const std::uint64_t* ends, std::size_t base, std::size_t from,
                           std::size_t to, const char* data, std::size_t size, bool final);

    ByteSource& source_;
    std::size_t blockSize_;
    std::size_t lineLimit_;
    std::function<bool()> keepGoing_;
    std::function<void()> longLine_;
    Dialect dialect_{"", false};
    // How far the block was searched for its last record end: before
    // `searched_` nothing is left to find; the scan of quoted text stands at
    // `scanned_` (a word's start) in `scanState_`; `recordEnd_` is the last
    // record end found.
    std::size_t searched_ = 0;
    std::size_t scanned_ = 0;
    QuoteState scanState_;
    QuoteState endState_;  // after the last byte scanned
    std::size_t recordEnd_ = 0;
    QuotedMaps window_;                       // a grown block's maps, a window at a time
    std::string carry_;                       // the bytes read after the last whole record
    std::string unclosed_;                    // the record a quote left open at the source's end
    std::optional<IoResult> pendingFailure_;  // a failure after bytes given back
    bool ended_ = false;
    bool stopped_ = false;
};

}  // namespace kolvane
