#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "error.h"
#include "io.h"
#include "lineripper.h"
#include "outputfile.h"
#include "resultstore.h"
#include "ripstate.h"

namespace kolvane {

// How far a rip has got, for the status line and a progress bar.
struct Progress {
    std::int64_t ripcount = 0;
    bool sawLine = false;  // a non-empty line was seen, so the count may be shown
    std::uint64_t bytesRead = 0;
    std::optional<std::uint64_t> totalBytes;
};

// The side of a rip that is not the engine's: the window over its controls,
// the CLI over its options.
class RipHost {
  public:
    virtual ~RipHost() = default;
    // The settings as they are now.
    virtual Settings settings() = 0;
    // Lets pending events run. Called between two lines, at most every
    // pumpInterval(); settings are read again after it. False stops the rip
    // after the line before (the window is closing, or the user asked).
    virtual bool pump(const Progress& progress) = 0;
    // Zero: never call pump().
    virtual std::chrono::milliseconds pumpInterval() const = 0;
};

struct RunResult {
    std::optional<Error> error;  // set when the rip stopped on a failure
    bool stopped = false;        // the host asked to stop
    bool sawLine = false;        // a non-empty line was seen
    std::int64_t lines = 0;      // source lines ripped (empty ones included)
};

// "12 values ripped"
std::string statusText(std::int64_t ripcount);

// Runs rips for one window or one CLI call. Results go into `store` or, in
// file-to-file mode, to state.Outfile through `opener`.
class Ripper {
  public:
    Ripper(RipState& state, ResultStore& store, OutputOpener& opener, std::string eol = "\r\n");

    // The start of a rip, before its source is opened: clears the result list,
    // parses the field list in plain mode, and sets Ripcount to 0.
    void prepare(const Settings& settings);

    // Reads every line of `source` and rips it. `sourceName` names the source in
    // error messages. Output is flushed before this returns, also after an error.
    RunResult run(ByteSource& source, const std::string& sourceName, RipHost& host);

    // One source line with the settings last given to configure(): emits its
    // result line unless it is empty or skipped.
    std::optional<Error> splitline(std::string_view line, std::int64_t lineNumber);

    // Takes new settings, and state.Outfile as it is now; fails only when
    // flushing the previous output file does.
    std::optional<Error> configure(const Settings& settings);

    // Pumps the host before every line instead of on its interval. Slow, but it
    // lets a test act between two chosen lines of a file of a few lines.
    void setPumpEveryLine(bool on) { pumpEveryLine_ = on; }

  private:
    // Flushes and closes the output file, keeping Ripcount true to the file.
    std::optional<Error> closeOutput();

    RipState& state_;
    ResultStore& store_;
    OutputOpener& opener_;
    std::string eol_;
    LineRipper ripper_;
    Settings settings_;
    std::optional<OutputFile> out_;
    bool sawLine_ = false;
    bool pumpEveryLine_ = false;
    std::string result_;
};

}  // namespace kolvane
