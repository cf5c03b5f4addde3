#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "error.h"
#include "fieldlist.h"
#include "io.h"
#include "lineripper.h"
#include "linesink.h"
#include "outputfile.h"
#include "ripplan.h"
#include "runreport.h"

namespace kolvane {

// When a rip stops between two lines to let its host run events: once
// `strideBytes` of input have passed since the last stop, and then only when
// `interval` has passed too. The clock is read once per stride, not per line.
// {0 ms, 0}: before every line; a negative interval: never. A stride is
// ripped in one call, which costs a little each time; at a hundred megabytes
// a second it still takes under 3 ms.
struct PumpPolicy {
    std::chrono::milliseconds interval{15};
    std::uint64_t strideBytes = std::uint64_t{256} << 10;
    std::function<std::chrono::steady_clock::time_point()> now = [] {
        return std::chrono::steady_clock::now();
    };
};

class BlockRipper;
struct RipBlock;

// Where the window's results go: into its list, or appended to a file.
struct ResultsTo {
    bool file = false;
    std::string path;

    bool operator==(const ResultsTo&) const = default;
};

// The window's side of a rip: its settings, and where its results go now;
// both are read at the start and after every pass.
class WindowHost : public RipHost {
  public:
    virtual ResultsTo resultsTo() = 0;
};

// Runs the window's rips: result lines go to `list`, or in file-to-file mode
// to the file the host names, opened through `opener`. Between two event passes
// the records are ripped by the same plan and copier as the command line's;
// settings are taken afresh at every pass and apply from the next record,
// the way records are told apart (the split string, quotes) included.
//
// The rip runs on a thread of its own, so that no read, write or long line
// holds the caller's events: at each pass it hands its list lines over and
// waits while the caller's thread, which alone touches `list` and the host,
// lets events run and takes the settings.
class WindowRipper {
  public:
    // `maxResult`: the longest result line built, beyond the line's own size.
    WindowRipper(LineSink& list, OutputOpener& opener, PumpPolicy policy = {},
                 std::string eol = "\r\n", std::size_t maxResult = LineRipper::kMaxResultBytes);
    ~WindowRipper();

    // The start of a rip, before its source is opened: parses the field list
    // in plain mode (a blank one keeps the last parse) and sets the count to 0.
    void prepare(const Settings& settings);
    // The start of a plain rip whose field list the caller has read and checked
    // itself, as the command line does with its stricter rules and ranges.
    void prepare(FieldList fields);

    // Reads every line of `source` and rips it. `sourceName` names the source in
    // error messages. Output is flushed before this returns, also after an error.
    RunResult run(ByteSource& source, const std::string& sourceName, WindowHost& host);

    // Result lines of the current or last rip that reached their destination.
    std::int64_t ripcount() const;
    // The field list a plain rip uses: the last non-blank one parsed.
    const FieldList& fields() const { return fields_; }

  private:
    class Relay;
    // The rip itself, on the rip's thread, with `relay` as host and list.
    RunResult ripAll(ByteSource& source, const std::string& sourceName, Relay& relay);
    // Takes new settings: a new plan, and the sink the host names; fails only
    // when flushing an output file that is no longer wanted does.
    std::optional<Error> configure(const Settings& settings, const ResultsTo& to);
    // Hands what the block has ripped so far to the sink.
    std::optional<Error> deliver(RipBlock& block);
    // Lets the host run events and takes its settings; false ends the run.
    bool pumpHost(Relay& host, const Progress& progress, RunResult& result);
    std::optional<Error> closeFile();

    LineSink& list_;
    OutputOpener& opener_;
    PumpPolicy policy_;
    std::string eol_;
    std::size_t maxResult_;
    FieldList fields_;
    Settings settings_;
    ResultsTo to_;
    std::unique_ptr<RipPlan> plan_;
    std::unique_ptr<BlockRipper> ripper_;
    std::optional<OutputFile> file_;   // file-to-file mode's output, opened at its first line
    LineSink* sink_ = nullptr;         // where the next lines go
    LineSink* listSide_ = nullptr;     // the list, as the rip's thread reaches it
    std::int64_t listLines_ = 0;       // lines handed to the list in this rip
    std::int64_t filesDelivered_ = 0;  // lines the output files closed in this rip took
    std::int64_t linesBefore_ = 0;     // source lines in the blocks before the one ripped
    std::string sourceName_;           // of the run under way, for error messages
    std::optional<FileIdentity> sourceIdentity_;  // an output must never be it
};

}  // namespace kolvane
