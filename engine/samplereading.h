#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "fieldcutter.h"

namespace kolvane {

using FieldExtent = FieldSpan;

// The start of a source read as records with one split string, as a format
// guess weighs it: where each record and each of its fields lie.
struct SampleReading {
    std::string split;
    bool quotes = false;    // read with quoted values respected
    bool comments = false;  // lines starting with '#' left out, the first line kept
    std::vector<FieldExtent> cells;
    std::vector<std::uint32_t> firstCell;  // per record, its first cell; one more at the end
    std::vector<FieldExtent> records;      // each record's extent, without its line end
    std::size_t commentsAbove = 0;         // comment lines left out above the first record
    std::size_t end = 0;                   // where the reading stopped

    std::size_t size() const { return records.size(); }
    std::size_t count(std::size_t r) const { return firstCell[r + 1] - firstCell[r]; }
    std::string_view cell(std::string_view text, std::size_t r, std::size_t c) const {
        const FieldExtent f = cells[firstCell[r] + c];
        return text.substr(f.begin, f.end - f.begin);
    }
};

}  // namespace kolvane
