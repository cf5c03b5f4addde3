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

// Whether both paths name one file that exists, through links of either kind.
bool sameFile(const std::string& a, const std::string& b);

}  // namespace kolvane
