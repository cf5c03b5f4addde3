#pragma once

#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fieldselect.h"
#include "partsource.h"
#include "sourcesession.h"

namespace kolvane::cli {

// Everything one call of kolvane-rip needs, checked.
struct Options {
    Settings settings;  // split, join, skip rule, template
    // The plain mode's list, read by the strict grammar; its names, if any,
    // are resolved by the header. None with a template.
    std::optional<FieldEntries> fields;
    enum class Header { none, keep, skip } header = Header::none;  // the first line holds names
    std::vector<std::string> sources;   // in order; "-" is standard input
    std::optional<std::string> append;  // -a FILE; none: standard output
    std::string eol = "\n";
    bool count = false;
    unsigned threads = 1;    // threads the block rip runs on
    std::string encoding;    // the sources' declared encoding; empty: marks or bytes as they are
    bool guess = false;      // --guess: print the options that rip sources[0], rip nothing
    bool autoGuess = false;  // --auto: guess what the options leave open from sources[0]'s start
    bool verbose = false;    // say what --auto guessed
    std::optional<PartNumber> part;  // --part K/N: only the records of that part
    // Which of the options --auto may fill were given.
    struct Given {
        bool split = false, join = false, quoted = false, header = false, encoding = false;
    } given;
};

// A call that ends before any rip: the help or the version (code 0, text for
// standard output), or a usage error (code 2, text for standard error).
struct Exit {
    int code = 0;
    std::string text;
};

std::variant<Options, Exit> parseCommandLine(int argc, const char* const* argv);
// A usage error: `problem`, and where to find the options.
Exit usage(const std::string& problem);
// An error that ends the run: its message on `err`, and the status, 1.
int failed(std::ostream& err, const Error& error);

}  // namespace kolvane::cli
