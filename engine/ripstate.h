#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kolvane {

// The state a window's procedures share; it lives as long as the window (or one
// CLI run). Settings are not copied here: they are read from their source.
struct RipState {
    // Field numbers of the last parsed field list, in list order. Signed 16-bit:
    // an entry that does not fit reads as 0, which matches no field.
    std::vector<std::int16_t> Fieldnum;
    // One value slot per field-list entry, refilled for every line; a view into
    // the line being ripped and so only meaningful while that line is.
    std::vector<std::string_view> Fieldval;
    std::int64_t Previewline = 0;  // 1-based number of the line the preview shows
    std::int64_t Fieldcount = 0;   // entries of the field list
    std::string Outfile;           // output file of file-to-file mode
    std::string Startdir;          // current directory when the window loaded
    std::int64_t Ripcount = 0;     // result lines emitted in the current run
};

// Non-overlapping occurrences of `separator` in `text`, searched left to right.
// An empty separator occurs nowhere, so a line split by it is one field.
std::int64_t Countvalue(std::string_view text, std::string_view separator);

// Parses a field list such as "2,4" into Fieldcount, Fieldnum and fresh
// Fieldval slots. A blank list (spaces only) changes nothing, so a rip with an
// empty box reuses the last parse.
void Setfields(RipState& state, std::string_view ripFields);

// Reads one field-list entry as a signed 16-bit number: surrounding spaces and a
// leading sign allowed, a decimal fraction rounded half to even; 0 when the entry
// does not convert or does not fit.
std::int16_t fieldNumber(std::string_view entry);

// True when nothing but space characters remains (tabs count as content).
inline bool isBlank(std::string_view value) {
    return value.find_first_not_of(' ') == std::string_view::npos;
}

// Drops leading and trailing space characters (only the space itself).
inline std::string_view trimSpaces(std::string_view value) {
    auto first = value.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    auto last = value.find_last_not_of(' ');
    return value.substr(first, last - first + 1);
}

}  // namespace kolvane
