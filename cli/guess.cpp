#include "guess.h"

#include <string_view>

#include "frontrules.h"
#include "sources.h"
#include "textsource.h"

namespace kolvane::cli {

namespace {

// Single quotes, with a quote inside written '\''.
std::string shellQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) out += c == '\'' ? "'\\''" : std::string(1, c);
    return out + "'";
}

// The source's start, as a rip reads it: up to one byte more than a guess
// takes, which tells whether the sample is the whole source.
Expected<std::string> readSample(const std::string& source) {
    auto opened = openNamed(source);
    if (!opened) return opened.error();
    bool ended = false;
    return readAhead(*readAsText(std::move(*opened)), sourceName(source), kGuessSampleBytes + 1,
                     ended);
}

}  // namespace

std::string guessedOptions(const FormatGuess& guess) {
    std::string line = "-s " + shellQuoted(writeEscapes(guess.split));
    if (guess.quoted) line += " --quoted";
    if (guess.headerFirst()) line += " --header";
    // Encoding names are letters, digits and dashes: no quotes needed.
    if (!guess.encoding.empty()) line += " --encoding " + guess.encoding;
    return line;
}

int runGuess(const std::string& source, std::ostream& out, std::ostream& err) {
    Expected<std::string> sample = readSample(source);
    if (!sample) return failed(err, sample.error());
    Expected<FormatGuess> guess = guessFormat(*sample, sample->size() <= kGuessSampleBytes);
    if (!guess) {
        Error error = guess.error();
        error.file = sourceName(source);
        return failed(err, error);
    }
    out << guessedOptions(*guess) << '\n' << std::flush;
    // On standard error, after the options: $(kolvane-rip --guess f) must
    // still be the options alone.
    if (guess->alsoPossible) {
        err << "# also possible: -s " << shellQuoted(writeEscapes(*guess->alsoPossible)) << '\n';
    }
    if (!out) {
        err << "kolvane-rip: Cannot write standard output\n";
        return 1;
    }
    return 0;
}

}  // namespace kolvane::cli
