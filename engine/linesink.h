#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "error.h"

namespace kolvane {

// A finished result line: `end` is the offset just past it (and its line
// end, where the sink has one) in the bytes it came in, `sourceLine` the
// source line it came from.
struct LineEnd {
    std::size_t end;
    std::int64_t sourceLine;
};

// Where result lines go: the window's list, an output file, standard output.
// A rip hands over many lines at once; the sink counts what it delivered, so
// that the count a user sees is what reached the destination, whatever
// failed after.
class LineSink {
  public:
    virtual ~LineSink() = default;

    // What follows every result line in the bytes handed over.
    virtual const std::string& eol() const = 0;
    // Takes the lines in `bytes`, each ending where `lines` says, their source
    // lines counted from `lineBase`. May take over `bytes` without a copy,
    // leaving it an empty buffer to reuse.
    virtual std::optional<Error> commitLines(std::string& bytes, std::span<const LineEnd> lines,
                                             std::int64_t lineBase) = 0;
    // Delivers everything committed.
    virtual std::optional<Error> flush() { return std::nullopt; }
    // Delivers everything committed and lets the destination go.
    virtual std::optional<Error> close() { return flush(); }
    // Lines committed that reached, or are on their way to, the destination:
    // a failure takes back those it kept from it.
    virtual std::int64_t delivered() const = 0;
};

}  // namespace kolvane
