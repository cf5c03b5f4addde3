#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "blockreader.h"
#include "fieldcopier.h"
#include "lineindex.h"
#include "lineripper.h"
#include "ripplan.h"

namespace kolvane {

// What one thread rips blocks with: its own ripper, copier and index, so
// threads share nothing while they rip.
class BlockRipper {
  public:
    explicit BlockRipper(std::size_t maxResult) : ripper_(maxResult) {}

    // The plan must outlive every rip() until the next configure(); every
    // result is followed by `eol`.
    void configure(const RipPlan& plan, const std::string& eol);

    // Rips the records of `b` that start in [from, until), appending to its
    // output and ends; returns where the next record starts, or where ripping
    // stopped on a failure the block records. A new block starts at 0.
    std::size_t rip(RipBlock& b, std::size_t from, std::size_t until, std::size_t lineLimit);

  private:
    // One record by the general path; false when the block must stop.
    bool ripOne(RipBlock& b, std::string_view record, const SeparatorBits& bits);
    // The end of the record at `pos`, indexing a window at a time, so the
    // maps stay small whatever the block's size.
    std::size_t recordEnd(const RipBlock& b, std::size_t pos);
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
