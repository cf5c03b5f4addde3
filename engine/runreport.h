#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "blockreader.h"
#include "error.h"
#include "linesink.h"
#include "ripplan.h"

namespace kolvane {

// What a run reports, and what it asks of whoever runs it: the window over
// its controls, the CLI over its options.

// How far a rip has got, for the status line and a progress bar.
struct Progress {
    std::int64_t ripcount = 0;
    bool sawLine = false;  // a non-empty line was seen, so the count may be shown
    std::uint64_t bytesRead = 0;
    std::optional<std::uint64_t> totalBytes;
};

// The side of a rip that is not the engine's.
class RipHost {
  public:
    virtual ~RipHost() = default;
    // The settings as they are now; read at the start and after every pump().
    virtual Settings settings() = 0;
    // Lets pending events run, when the pump policy says. False stops the rip
    // after the record before (the window is closing, or the user asked).
    virtual bool pump(const Progress& progress) = 0;
    // Lets events run while the rip is busy between two passes (a long line,
    // a slow write), every few milliseconds; settings changed meanwhile wait
    // for the next pass. False asks the rip to stop at its next pass.
    virtual bool idle() { return true; }
};

struct RunResult {
    std::optional<Error> error;  // set when the rip stopped on a failure
    bool stopped = false;        // the host asked to stop
    bool sawLine = false;        // a non-empty line was seen
    bool sawValue = false;       // a result line held a value, not only the join's text
};

// "12 values ripped"
std::string statusText(std::int64_t ripcount);

// Hands what `block` has ripped so far to `sink`, its source lines counted
// after `linesBefore`: both runners commit blocks this way.
std::optional<Error> deliverBlock(RipBlock& block, LineSink& sink, std::int64_t linesBefore);

// What stopped the rip inside `block`, if anything, naming the source line
// counted from the source's start (`linesBefore` lines came before the
// block): the one mapping of a block's failures to errors.
std::optional<Error> blockError(const RipBlock& block, const std::string& sourceName,
                                std::int64_t linesBefore, std::size_t maxResult);

// "Cannot rip FILE: a quote opened at line N is never closed": the source
// ends inside the quoted value of the record that starts on line N.
Error unclosedQuote(const std::string& sourceName, std::int64_t line);

// Moves the source line that `error` names on by `lines`, for a rip that read
// a source from after its first `lines` lines.
void shiftLines(Error& error, std::int64_t lines);

}  // namespace kolvane
