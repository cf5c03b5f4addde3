#pragma once

#include <ostream>

#include "options.h"
#include "textsource.h"

namespace kolvane::cli {

// Opens /dev/null, read-only, on any of descriptors 0 to 2 that is closed, so
// that no file opened later takes its place: an output file on 2 would receive
// the error messages, and writing to a closed standard output still fails.
void openStandardDescriptors();

// Makes SIGINT and SIGTERM ask the run to stop, and a closed pipe or a file
// size limit an ordinary write error.
void catchSignals();
// Whether SIGINT or SIGTERM asked the run to stop, for the I/O that may wait.
bool stopAsked();

// Rips every source in order into one output, opened with `opener` when the
// options name one, and returns the exit code; messages go to `err`. Nothing
// is read before the output is open and known not to be one of the named
// sources, and no source is read that is the output once it is opened.
int run(const Options& options, std::ostream& err, OutputOpener& opener);

}  // namespace kolvane::cli
