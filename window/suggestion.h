#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "windowripper.h"

namespace kolvane {

// Settings a loaded source seems to want and the window does not have yet.
// Only offered: nothing changes until the user accepts.
struct Suggestion {
    std::optional<std::string> split;  // as the rip takes it (a tab is a tab)
    bool quoted = false;
    bool header = false;
    // A split string that reads the source nearly as well as `split`: the
    // text says so, and the offer stays `split`.
    std::optional<std::string> alsoSplit;

    bool any() const { return split || quoted || header; }
    bool operator==(const Suggestion&) const = default;
};

// The start of the source at `path` as a rip reads it (unpacked, decoded), up
// to one byte more than a guess takes. A source that can be read only once (a
// FIFO, a device) is not read again: `previewed`, what the preview read of it,
// stands in, as it does when the file cannot be read.
std::string guessSample(const std::string& path, std::string_view previewed);

// What to offer for a source starting with `sample` (`whole`: all of it),
// against the settings in use and whether names are on. A split string is
// offered only when the one in use occurs in none of the first lines and one
// of , ; tab | : splits them consistently; quotes and names only for the split
// string the rip would then use.
Suggestion suggestFor(std::string_view sample, bool whole, const Settings& now, bool namesOn);

// "Fields seem to be split by ';' and quoted: use these settings?", with
// " (or by '|')" after the split string when another one is close.
QString suggestionText(const Suggestion& suggestion);

// `split` as typed into the split string box, which reads \t and \\.
QString typedSplit(std::string_view split);

}  // namespace kolvane
