#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>

#include "error.h"

namespace kolvane {

// Reads single lines of a source file for the preview box, with the rip's own
// line rules. Every answer is what reading the file from its first line would
// give; but while the file is unchanged it remembers where the line it last
// read ends, so stepping to the next line deep into a large file reads one
// line, not all before it.
class SourcePreview {
  public:
    // Line `number` (1-based) of the file at `path`: nullopt when the file has
    // fewer lines, an Error when it cannot be opened or read.
    Expected<std::optional<std::string>> line(const std::string& path, std::int64_t number);

  private:
    // What identifies one version of a file. Size and modification time alone
    // miss a same-size rewrite within one timestamp tick, or one that puts the
    // old time back; the change time moves on every write and cannot be set,
    // and the inode tells a file renamed over the old one.
    struct Identity {
        std::string path;
        dev_t device = 0;
        ino_t inode = 0;
        std::uint64_t size = 0;
        std::int64_t mtimeSec = 0;
        std::int64_t mtimeNsec = 0;
        std::int64_t ctimeSec = 0;
        std::int64_t ctimeNsec = 0;

        bool operator==(const Identity&) const = default;
    };
    // The file as it is now; nullopt (with errno set) when it cannot be looked
    // at, and for anything but a regular file, whose offsets mean nothing.
    static std::optional<Identity> identify(const std::string& path, bool& regular);

    struct Mark {
        Identity file;
        std::int64_t line = 0;     // lines read up to offset
        std::uint64_t offset = 0;  // just past that line's terminator
    };
    std::optional<Mark> mark_;
};

}  // namespace kolvane
