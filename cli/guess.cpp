#include "guess.h"

#include <unistd.h>

#include <string_view>

#include "textsource.h"

namespace kolvane::cli {

namespace {

// Single quotes, with a quote inside written '\''.
std::string shellQuoted(std::string_view text) {
    std::string out = "'";
    for (char c : text) {
        if (c == '\'') {
            out += "'\\''";
        } else {
            out += c;
        }
    }
    return out + "'";
}

// As -s reads it back: a tab is \t and a backslash \\.
std::string escaped(std::string_view split) {
    std::string out;
    for (char c : split) {
        if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

// The source's start, as a rip reads it: up to one byte more than a guess
// takes, which tells whether the sample is the whole source.
Expected<std::string> readSample(const std::string& source, const std::string& name) {
    Expected<std::unique_ptr<ByteSource>> opened = [&]() -> Expected<std::unique_ptr<ByteSource>> {
        if (source == "-") return readAsText(FileSource::fromDescriptor(STDIN_FILENO));
        auto file = FileSource::open(source);
        if (!file) return file.error();
        return readAsText(std::move(*file));
    }();
    if (!opened) return opened.error();
    std::string sample(kGuessSampleBytes + 1, '\0');
    std::size_t filled = 0;
    while (filled < sample.size()) {
        const IoResult got = (*opened)->read(std::span(sample).subspan(filled));
        if (got.failed()) return readError(name, got, 1);
        if (got.bytes == 0 && !got.noDataYet) break;
        filled += got.bytes;
    }
    sample.resize(filled);
    return sample;
}

}  // namespace

std::string guessedOptions(const FormatGuess& guess) {
    std::string line = "-s " + shellQuoted(escaped(guess.split));
    if (guess.quoted) line += " --quoted";
    // --header takes the first line; above title lines it would take a title.
    if (guess.header && guess.titleLines == 0) line += " --header";
    // Encoding names are letters, digits and dashes: no quotes needed.
    if (!guess.encoding.empty()) line += " --encoding " + guess.encoding;
    return line;
}

int runGuess(const std::string& source, std::ostream& out, std::ostream& err) {
    const std::string name = source == "-" ? "standard input" : source;
    Expected<std::string> sample = readSample(source, name);
    if (!sample) {
        err << "kolvane-rip: " << sample.error().message() << '\n';
        return 1;
    }
    Expected<FormatGuess> guess = guessFormat(*sample, sample->size() <= kGuessSampleBytes);
    if (!guess) {
        Error error = guess.error();
        error.file = name;
        err << "kolvane-rip: " << error.message() << '\n';
        return 1;
    }
    out << guessedOptions(*guess) << '\n' << std::flush;
    // On standard error, after the options: $(kolvane-rip --guess f) must
    // still be the options alone.
    if (guess->alsoPossible) {
        err << "# also possible: -s " << shellQuoted(escaped(*guess->alsoPossible)) << '\n';
    }
    if (!out) {
        err << "kolvane-rip: Cannot write standard output\n";
        return 1;
    }
    return 0;
}

}  // namespace kolvane::cli
