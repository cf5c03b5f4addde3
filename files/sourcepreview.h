#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "error.h"

namespace kolvane {

// Reads single lines of a source file for the preview box, with the rip's own
// line rules. Every answer is what reading the file from its first line would
// give; but while the file is unchanged (same path, size and modification
// time) it remembers where the line it last read ends, so stepping to the next
// line deep into a large file reads one line, not all before it.
class SourcePreview {
  public:
    // Line `number` (1-based) of the file at `path`: nullopt when the file has
    // fewer lines, an Error when it cannot be opened or read.
    Expected<std::optional<std::string>> line(const std::string& path, std::int64_t number);

    // Forget the remembered place, e.g. after a new load.
    void forget() { mark_.reset(); }

  private:
    struct Mark {
        std::string path;
        std::uint64_t size = 0;
        std::int64_t mtimeSec = 0;
        std::int64_t mtimeNsec = 0;
        std::int64_t line = 0;     // lines read up to offset
        std::uint64_t offset = 0;  // just past that line's terminator
    };
    std::optional<Mark> mark_;
};

}  // namespace kolvane
