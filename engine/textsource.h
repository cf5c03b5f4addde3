#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "io.h"

namespace kolvane {

// The bytes a rip, a preview or a guess reads from `raw`: what a compressed
// source holds, converted to UTF-8 when it is marked or declared to be in
// another encoding, and without a UTF-8 byte-order mark. Everything is
// decided from the source's own first bytes, never from its name, and
// lazily, at the first read, so a source with nothing yet never waits here.
// `encoding` is the one the user declared; empty: as the source's first bytes
// mark it, or else the bytes exactly as they are.
std::unique_ptr<ByteSource> readAsText(std::unique_ptr<ByteSource> raw,
                                       const std::string& encoding = {});

// Whether `name` is an encoding sources can be read in.
bool knownEncoding(const std::string& name);

// A source that gives `prefix` first and then what `inner` gives: bytes read
// ahead (to find a header, or for a preview) go to the rip after all.
class PrefixedSource : public SourceOver {
  public:
    PrefixedSource(std::string prefix, std::unique_ptr<ByteSource> inner)
        : SourceOver(std::move(inner)), prefix_(std::move(prefix)) {}

    IoResult read(std::span<char> buf) override;

  private:
    std::string prefix_;
    std::size_t given_ = 0;
};

}  // namespace kolvane
