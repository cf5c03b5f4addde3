#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "fieldcopier.h"
#include "io.h"
#include "lineindex.h"
#include "lineripper.h"
#include "linesink.h"
#include "quotemask.h"
#include "ripplan.h"

namespace kolvane {

// Why a line could not be read whole: longer than `limit` bytes, or no memory
// for `bytes` of it.
IoResult lineTooLong(std::size_t limit);
IoResult noMemoryForLine(std::size_t bytes);

// The longest line read by default: a quarter of the machine's memory, so a
// line that could never be held stops the run with an error instead of
// taking the machine down with it.
std::size_t defaultLineLimit();

// Source bytes that end at a line end (or the source's end), and what ripping
// them gave. Owned by the reading thread except while queued for a worker.
struct RipBlock {
    char* data = nullptr;  // malloc'd with LineIndex::kPadding bytes behind it
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

// Reads a source in blocks cut after a line end, so that each block can be
// ripped on its own. A line longer than a block makes its block grow, up to
// the line limit. `keepGoing` is asked while a read waits for input and every
// few MiB of one long line; false stops reading at the last line end read.
class BlockReader {
  public:
    BlockReader(ByteSource& source, std::size_t blockSize, std::size_t lineLimit,
                std::function<bool()> keepGoing);

    // Fills `block` with the next bytes; false when nothing is left. When the
    // source has nothing more for now, a block holding whole lines is given
    // at once, so lines from a pipe are ripped as they come.
    bool read(RipBlock& block);
    // Reading stopped because keepGoing() said so.
    bool stopped() const { return stopped_; }
    // Called once a block must grow past its size for one long line, before
    // it does: a caller with other blocks and results in flight lets them
    // go first, so that one long line at a time is held, not one per block.
    void onLongLine(std::function<void()> before) { longLine_ = std::move(before); }
    // Fields may be quoted: blocks are cut only where a record ends, never at
    // a line end inside quotes, so that every block starts at a record.
    void cutAtRecords(std::string split) {
        quoted_ = true;
        quotedSplit_ = std::move(split);
    }

  private:
    bool fill(RipBlock& block);
    // Ends the block at `cut`, carrying the rest over to the next.
    void cutAtLastEnd(RipBlock& block, std::size_t cut);
    // Ends reading at the block's last whole line, as asked.
    bool stop(RipBlock& block);

    ByteSource& source_;
    std::size_t blockSize_;
    std::size_t lineLimit_;
    std::function<bool()> keepGoing_;
    std::function<void()> longLine_;
    // Quoted mode: how far the block is read with quotes respected, the
    // state there, and just past the last record end found.
    std::size_t lastRecordEnd(RipBlock& block, bool final);
    std::size_t lastRecordEndByQuotes(RipBlock& block, bool final);
    // Moves recordEnd_ past the last line end in [from, to) that surely ends
    // a record, by masked line-end bits whose word 0 holds byte `base`.
    void takeLastRecordEnd(const std::uint64_t* ends, std::size_t base, std::size_t from,
                           std::size_t to, const char* data, std::size_t size, bool final);
    bool quoted_ = false;
    std::string quotedSplit_;
    QuoteCarry quoteCarry_;
    std::size_t quoteScanned_ = 0;
    std::size_t recordEnd_ = 0;
    bool crPending_ = false;  // the last byte read is a CR that may start a CR LF
    std::size_t crAt_ = 0;
    QuotedMaps scratch_;  // a grown block's maps, a window at a time
    std::string carry_;   // the bytes read after the last whole line
    bool ended_ = false;
    bool stopped_ = false;
};

// What one thread rips blocks with: its own ripper, copier and index, so
// threads share nothing while they rip.
class BlockRipper {
  public:
    explicit BlockRipper(std::size_t maxResult) : ripper_(maxResult) {}

    // The plan must outlive every rip() until the next configure(); every
    // result is followed by `eol`.
    void configure(const RipPlan& plan, const std::string& eol);

    // Rips the lines of `b` that start in [from, until), appending to its
    // output and ends; returns where the next line starts, or where ripping
    // stopped on a failure the block records. A new block starts at 0.
    std::size_t rip(RipBlock& b, std::size_t from, std::size_t until, std::size_t lineLimit);

  private:
    // One line by the general path; false when the block must stop.
    bool ripOne(RipBlock& b, std::string_view line, const SeparatorBits& bits);
    // The end of the line at `pos`, indexing a window at a time, so the maps
    // stay small whatever the block's size.
    std::size_t lineEnd(const RipBlock& b, std::size_t pos);
    void indexFrom(const RipBlock& b, std::size_t from);

    const RipPlan* plan_ = nullptr;
    LineRipper ripper_;
    FieldCopier copier_;
    bool copying_ = false;
    std::string eol_;
    LineIndex index_;
    std::size_t indexedFrom_ = 0;
    std::size_t indexed_ = 0;  // [indexedFrom_, indexed_) of the block is indexed
};

}  // namespace kolvane
