#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "error.h"

namespace kolvane {

// What a source's first bytes say about how to rip it.
struct FormatGuess {
    // The string between fields; empty when the source is one column, so
    // nothing splits its records.
    std::string split;
    bool quoted = false;  // some values are enclosed in double quotes
    bool header = false;  // the first line holds field names
    // Empty when the text is UTF-8 (ASCII included); else the legacy code page
    // it most likely is, by a name iconv knows, such as "cp1252".
    std::string encoding;
    // Comment or title lines above the table itself; when there are any, the
    // first line is one of them and `header` says whether the line after them
    // holds names.
    std::size_t titleLines = 0;
    std::size_t columns = 1;  // fields in most records
    // A split string that reads the sample nearly as well as `split`, when
    // one does: the guess is then less sure.
    std::optional<std::string> alsoPossible;

    bool oneColumn() const { return split.empty(); }
    // Whether the first line holds the names: --header takes the first line,
    // and above title lines it would take a title.
    bool headerFirst() const { return header && titleLines == 0; }
};

// How much of a source a guess reads: its start, up to this many bytes, as
// text (after readAsText()). It weighs the first 64 KiB record by record, up
// to kGuessSampleRecords, and looks through all of it for quoted values and
// for the encoding, which a few values far down may be the only ones to show.
inline constexpr std::size_t kGuessSampleBytes = 256 * 1024;
inline constexpr std::size_t kGuessSampleRecords = 1000;

// Guesses the format of the text `sample` holds, the start of a source;
// `whole` says it is the entire source, so its last line is complete. Fails,
// with the cause, on a sample that is empty or holds binary data. The file
// name is left for the caller to fill in.
Expected<FormatGuess> guessFormat(std::string_view sample, bool whole);

// Whether `split` occurs in the first `lines` lines of `sample`: a split
// string that never does is worth a word to the user, whatever the guess.
bool splitOccurs(std::string_view sample, std::string_view split, std::size_t lines);

}  // namespace kolvane
