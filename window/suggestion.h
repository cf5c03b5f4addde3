#pragma once

#include <QString>
#include <optional>
#include <string>
#include <string_view>

#include "formatguess.h"
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
    // Why it is offered again after an earlier offer was answered; empty
    // for the offer a load makes.
    std::string why;

    bool any() const { return split || quoted || header; }
    bool operator==(const Suggestion&) const = default;
};

// The start of the source at `path` as a rip reads it (unpacked, decoded), up
// to one byte more than a guess takes. A source that can be read only once (a
// FIFO, a device) is not read again: `previewed`, what the preview read of it,
// stands in, as it does when the file cannot be read.
std::string guessSample(const std::string& path, std::string_view previewed);

// What the guess made of a loaded source, and the start it read.
struct SourceGuess {
    std::optional<FormatGuess> format;  // none: nothing read, or no text
    std::string sample;
};

// Guesses the format of `sample`, the start of a source as guessSample()
// reads it: the whole source when it is no longer than a guess takes.
SourceGuess guessFrom(std::string sample);

// What a load offers against the settings in use and whether names are on.
// A split string is offered only when the one in use occurs in none of the
// first lines and one of , ; tab | : splits them consistently; quotes and
// names only for the split string the rip would then use.
Suggestion suggestFor(const SourceGuess& guess, const Settings& now, bool namesOn);

// The fix offered again, whatever became of the load's offer, when the
// settings in use meet quoted values with quoted mode off or a split string
// that occurs in none of the first lines: `why` says which. Nothing otherwise.
Suggestion offerAgain(const SourceGuess& guess, const Settings& now, bool namesOn);

// "Fields seem to be split by ';' and quoted: use these settings?", with
// " (or by '|')" after the split string when another one is close, and
// after the reason when it is offered again.
QString suggestionText(const Suggestion& suggestion);

}  // namespace kolvane
