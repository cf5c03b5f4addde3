#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "fieldcopier.h"
#include "io.h"
#include "lineindex.h"
#include "linereader.h"
#include "lineripper.h"
#include "outputfile.h"

namespace kolvane {

// Source bytes that end at a line end (or the source's end), and what ripping
// them gave. Owned by the reading thread except while queued for a worker.
struct RipBlock {
    char* data = nullptr;  // malloc'd with LineIndex::kPadding bytes behind it
    std::size_t capacity = 0;
    std::size_t size = 0;
    std::string output;
    std::vector<OutputFile::LineEnd> ends;    // source lines counted from the block's start
    std::int64_t lines = 0;                   // lines in the block, empty ones too
    std::optional<std::int64_t> outOfMemory;  // the line that could not be ripped
    std::optional<std::int64_t> tooLong;      // the line whose result passed the bound
    std::optional<IoResult> failure;          // why reading stopped after this block
    bool sawLine = false;
    bool ripped = false;  // guarded by the ripper's mutex while queued

    RipBlock() = default;
    RipBlock(const RipBlock&) = delete;
    RipBlock& operator=(const RipBlock&) = delete;
    ~RipBlock() { std::free(data); }
    // Room for `bytes` of source; false when the memory is not there.
    bool reserve(std::size_t bytes);
    // Empty again, for the next block read into it.
    void reset();
};

// What one thread of a parallel rip rips blocks with: its own ripper and
// index, so threads share nothing while they rip.
struct BlockRipper {
    explicit BlockRipper(std::size_t maxResult) : ripper(maxResult) {}
    // Both configured with the run's settings; the copier rips what it takes.
    void configure(const Settings& settings, const FieldList& fields, const std::string& eol);
    LineRipper ripper;
    FieldCopier copier;
    bool copying = false;
    bool skipEmpty = false;
    std::string eol;  // after every result line
    LineIndex index;

    void rip(RipBlock& b, std::size_t lineLimit);
    // One line by the ripper into `output`; false when the block must stop.
    bool ripWithRipper(RipBlock& b, std::string& output, std::string_view line,
                       const SeparatorBits& bits);
    // The end of the line at `pos`, indexing a window at a time, so the maps
    // stay small whatever the block's size (a line across two windows is cut
    // by scanning).
    std::size_t lineEnd(const RipBlock& b, std::size_t pos);
    // Indexes the next window of the block, from `indexed` on.
    void indexNext(const RipBlock& b);

    std::size_t indexed = 0;  // of the block being ripped
};

}  // namespace kolvane
