#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "lineindex.h"

namespace kolvane {

// Cuts lines into fields by a split string, reusing one array of slices for
// every line, so cutting allocates nothing once it has seen the widest line.
class FieldCutter {
  public:
    explicit FieldCutter(std::string split = "|");
    void setSplit(std::string_view split) {
        split_.assign(split);
        splitByte_ = splitByte(split);
    }

    // Cuts fields 1..want of `line`; returns how many the line has up to
    // `want`. An empty split string makes the whole line one field. `bits`,
    // when they mark this split byte, say where it stands, so the line's bytes
    // are not looked at again.
    std::size_t cut(std::string_view line, std::size_t want, const SeparatorBits& bits = {}) {
        // The rip's case, decided inline: the bits mark this split byte.
        if (bits.words != nullptr && static_cast<unsigned char>(bits.byte) == splitByte_ &&
            want != 0) {
            return cutAtBits(line, want, bits);
        }
        return cutOther(line, want);
    }

    // Field k (1-based) of the last cut; k must not pass what cut() returned.
    std::string_view field(std::size_t k) const { return fields_[k]; }
    // Whether the last field cut ran to the line's end (so the line has no more).
    bool reachedLineEnd() const { return reachedEnd_; }

  private:
    std::size_t cutOther(std::string_view line, std::size_t want);
    std::size_t cutAtByte(std::string_view line, std::size_t want);
    std::size_t cutAtBits(std::string_view line, std::size_t want, const SeparatorBits& bits);
    // Makes room for field `k`; grows with the fields lines really have, not
    // with a huge field number.
    void reserveField(std::size_t k) {
        if (k >= fields_.size()) fields_.resize(std::max<std::size_t>(16, fields_.size() * 2));
    }

    std::string split_;
    int splitByte_ = -1;                    // split_ when it is one byte
    std::vector<std::string_view> fields_;  // [0] unused: fields count from 1
    bool reachedEnd_ = true;
};

}  // namespace kolvane
