#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "error.h"

namespace kolvane {

// Where result lines go: the window's list, an output file, standard output.
// A rip builds each line straight into buffer() and then commits it, or cuts
// it off again with buffer().resize(start) when the line is skipped.
class LineSink {
  public:
    virtual ~LineSink() = default;

    // Where the next line is built; its bytes start at the size it has now.
    // The same string for the sink's whole life, so a rip may keep it.
    virtual std::string& buffer() = 0;
    // Takes the bytes of buffer() from `start` on as one line. `sourceLine`
    // names the source line in an error message. A line that fails here is
    // not counted by the caller, nor by takeLinesLost().
    virtual std::optional<Error> commit(std::size_t start, std::int64_t sourceLine) = 0;
    // Delivers everything committed.
    virtual std::optional<Error> flush() { return std::nullopt; }
    // Delivers everything committed and lets the destination go.
    virtual std::optional<Error> close() { return flush(); }
    // Lines committed without an error that a later failure kept from their
    // destination, since the last call.
    virtual std::int64_t takeLinesLost() { return 0; }
};

}  // namespace kolvane
