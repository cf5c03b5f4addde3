#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "columnsample.h"

namespace kolvane {

// The start of a source read as records with one split string, as a format
// guess weighs it: where each record and each of its fields lie.
struct SampleReading {
    std::string split;
    bool quotes = false;    // read with quoted values respected
    bool comments = false;  // lines starting with '#' left out, the first line kept
    std::vector<FieldSpan> cells;
    std::vector<std::uint32_t> firstCell;  // per record, its first cell; one more at the end
    std::vector<FieldSpan> records;        // each record's extent, without its line end
    std::size_t commentsAbove = 0;         // comment lines left out above the first record
    std::size_t end = 0;                   // where the reading stopped

    std::size_t size() const { return records.size(); }
    std::size_t count(std::size_t r) const { return firstCell[r + 1] - firstCell[r]; }
    std::string_view cell(std::string_view text, std::size_t r, std::size_t c) const {
        const FieldSpan f = cells[firstCell[r] + c];
        return text.substr(f.begin, f.end - f.begin);
    }
};

// Reads up to kGuessSampleRecords non-empty records of `text` into `reading`
// with its split string, quotes and comments as it says. With quotes, false
// when they cannot be what the file means: a quote that swallows many lines
// is more likely an ordinary byte than a value; a shorter one still open at
// the end is a value the sample or the file was cut inside.
bool readSample(std::string_view text, bool whole, SampleReading& reading);

// Where the line after the one at `pos` starts.
std::size_t afterLine(std::string_view text, std::size_t pos);

// Comment lines start with '#' (shell, R, Python) or '%' (ARFF, MATLAB) and
// a space, a line end or the mark again: "#17763#open" is a record whose
// first field is empty, "#id,name" names a table.
bool commentStart(std::string_view text, std::size_t pos);

// Whether the line at `pos` is a comment the reading leaves out. The first
// line is kept when a record follows it: "#id,name" above data names it.
bool skipped(std::string_view text, std::size_t pos, const SampleReading& reading);

}  // namespace kolvane
