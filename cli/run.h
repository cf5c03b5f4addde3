#pragma once

#include <ostream>

#include "options.h"

namespace kolvane::cli {

// Opens /dev/null, read-only, on any of descriptors 0 to 2 that is closed, so
// that no file opened later takes its place: an output file on 2 would receive
// the error messages, and writing to a closed standard output still fails.
void openStandardDescriptors();

// Rips every source in order into one output and returns the exit code;
// messages go to `err`. Nothing is read before the output is open and known
// not to be one of the sources.
int run(const Options& options, std::ostream& err);

}  // namespace kolvane::cli
