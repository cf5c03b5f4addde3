#pragma once

#include <memory>
#include <string>

#include "io.h"

namespace kolvane {

// How the bytes of a source are read as text.
struct ReadOptions {
    // The encoding the user declared; empty: as the source's first bytes mark
    // it, or else the bytes exactly as they are.
    std::string encoding;
};

// The bytes a rip, a preview or a guess reads from `raw`: what a compressed
// source holds, converted to UTF-8 when it is marked or declared to be in
// another encoding, and without a UTF-8 byte-order mark. Everything is
// decided from the source's own first bytes, never from its name, and
// lazily, at the first read, so a source with nothing yet never waits here.
std::unique_ptr<ByteSource> readAsText(std::unique_ptr<ByteSource> raw,
                                       const ReadOptions& options = {});

}  // namespace kolvane
