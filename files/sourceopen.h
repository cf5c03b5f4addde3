#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "error.h"
#include "io.h"

namespace kolvane {

// Opens the source at `path` so that no read of it keeps the caller waiting
// longer than `wait`: a FIFO without data, a stalled network file or a slow
// device answers "nothing yet" instead. A FIFO is opened on the reading
// thread, since opening it waits for its writer; anything else is opened
// here, so that a mistyped path fails at once.
Expected<std::unique_ptr<ByteSource>> openWithoutBlocking(const std::string& path,
                                                          std::chrono::milliseconds wait);

// Opens the source of a rip, which reads on a thread of its own. A regular
// file on a local file system is read there directly: its reads never stall,
// and a reading thread would only copy every byte once more. Anything else is
// opened as openWithoutBlocking() opens it, so that a stop never waits for a
// read.
Expected<std::unique_ptr<ByteSource>> openForRip(const std::string& path,
                                                 std::chrono::milliseconds wait);

// Opens `path` to look at its first lines (a sample, a guess) as a rip would
// read them. Only a regular file: reading a FIFO or a device here would take
// its lines from the rip.
Expected<std::unique_ptr<ByteSource>> openForLook(const std::string& path);

}  // namespace kolvane
