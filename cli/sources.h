#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "options.h"
#include "partsource.h"
#include "sourcesession.h"

namespace kolvane::cli {

// "standard input" for "-", else the name as given.
std::string sourceName(const std::string& source);
// The bytes of a source as the command line names it: "-" is standard input.
Expected<std::unique_ptr<ByteSource>> openNamed(const std::string& source,
                                                const StopAsked& stopAsked = {});
// Up to `most` bytes from `source`, all it gives until then; `ended` says
// whether that was all of it.
Expected<std::string> readAhead(ByteSource& source, const std::string& name, std::size_t most,
                                bool& ended, const StopAsked& stopAsked = {});

// One source of a run, ready to rip: with a header its first record is read
// already, to name the fields, and is given again to the rip only where it
// is ripped.
struct OpenedSource {
    std::unique_ptr<ByteSource> bytes;
    std::int64_t linesBefore = 0;      // lines taken off before the first ripped one
    bool refused = false;              // the file opened is one the run may not read
    std::optional<std::string> usage;  // why the options cannot rip the sources: rip nothing
};

// Opens the sources of one run in order, as the options say, and keeps what
// the run's session learns of the first one's start: its header record and
// names (every later source's header must name the same fields), and the
// first records it reads, for the warning when every result is empty. With
// --auto the first source's start is guessed first, and the guess fills in
// what the options leave open.
class SourceOpener {
  public:
    // `admit` is asked of every file opened before anything of it is read:
    // false refuses it, as the output of the run.
    using Admit = std::function<bool(const std::optional<FileIdentity>&)>;
    SourceOpener(const Options& options, StopAsked stopAsked, Admit admit);

    // Opens source `i`; the first one first. With --part, only its share of
    // the part.
    Expected<OpenedSource> open(std::size_t i);
    // With --part, makes the line `error` names, counted in source `i`'s
    // share, count from the file's start.
    void countFromFileStart(std::size_t i, Error& error) const;

    // The settings a rip takes: the options', with --auto's guess under them.
    const Settings& settings() const { return settings_; }
    Options::Header header() const { return header_; }
    // The guess --auto made, as --guess prints it; empty without --auto.
    const std::string& guessed() const { return guessed_; }
    // The first source's start and header, as the session reads them.
    SourceSession& session();
    // The first source's header's names and record (with a header option).
    const std::vector<std::string>& names() const;
    std::string_view headerRecord() const;

  private:
    Expected<std::unique_ptr<ByteSource>> openText(const std::string& source);
    Expected<std::unique_ptr<ByteSource>> guessThenOpen(std::unique_ptr<ByteSource> raw,
                                                        const std::string& source);
    Expected<OpenedSource> openFrom(std::size_t i, std::unique_ptr<ByteSource> text);
    Expected<OpenedSource> openShare(std::size_t i);
    Expected<OpenedSource> planShares();
    std::optional<Error> checkHeader(const std::string& source,
                                     const std::vector<std::string>& names) const;

    const Options& options_;
    StopAsked stopAsked_;
    Admit admit_;
    bool refused_ = false;
    Settings settings_;
    Options::Header header_;
    std::string encoding_;
    std::string guessed_;
    SourceSession session_;
    std::vector<SourcePart> shares_;  // with --part, each source's share of it
};

}  // namespace kolvane::cli
