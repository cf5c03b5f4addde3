#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fieldlist.h"
#include "fieldnames.h"
#include "lineripper.h"
#include "partsource.h"

namespace kolvane::cli {

// Everything one call of kolvane-rip needs, checked.
struct Options {
    Settings settings;                // split, join, skip rule, template
    std::optional<FieldList> fields;  // the plain mode's list; none with a template
    std::vector<FieldEntry> names;    // a list that names fields: the header resolves it
    enum class Header { none, keep, skip } header = Header::none;  // the first line holds names
    std::vector<std::string> sources;   // in order; "-" is standard input
    std::optional<std::string> append;  // -a FILE; none: standard output
    std::string eol = "\n";
    bool count = false;
    unsigned threads = 1;  // threads the block rip runs on
    std::string encoding;  // the sources' declared encoding; empty: marks or bytes as they are
    bool guess = false;    // --guess: print the options that rip sources[0], rip nothing
    std::optional<PartSpec> part;  // --part K/N: only the records of that part
};

// A call that ends before any rip: the help or the version (code 0, text for
// standard output), or a usage error (code 2, text for standard error).
struct Exit {
    int code = 0;
    std::string text;
};

std::variant<Options, Exit> parseCommandLine(int argc, const char* const* argv);

// The command line's field list: entries between commas, each a field number
// 1..32767 or a range N-M, N- or -M, with spaces around it; an empty entry
// gives an empty value. The message names the first entry that is none of these.
std::variant<FieldList, std::string> readFieldList(std::string_view text);

}  // namespace kolvane::cli
