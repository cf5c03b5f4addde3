#pragma once

#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "error.h"
#include "io.h"

namespace kolvane {

// The start of one source line, as much of it as the preview shows.
struct PreviewLine {
    std::string start;  // the line's first bytes, at most SourcePreview::kKeptBytes
    bool cut = false;   // the line goes on beyond `start`
};

// Reads single lines of a source file for the preview box, with the rip's own
// line rules. Every answer is what reading the file from its first line would
// give; but while the file is unchanged it remembers where the line it last
// read ends, so stepping to the next line deep into a large file reads one
// line, not all before it. Memory stays bounded whatever the line's length:
// a line is read to its end, but only its start is kept.
//
// A source that is no regular file (a FIFO, a device) can be read only once:
// what the preview reads of it is kept, with the source still open, and the
// rip takes both (takeSource()), so that no line is lost between the two.
class KeptSource;

class SourcePreview {
  public:
    // Bytes of a line kept for showing: many screens of text, a blink to scan.
    static constexpr std::size_t kKeptBytes = std::size_t{64} << 10;
    // Bytes read at a time.
    static constexpr std::size_t kBlockBytes = std::size_t{256} << 10;
    // How long a source that is no regular file (a FIFO, a device) may take to
    // give its line before the preview gives up: the window waits that long.
    static constexpr std::chrono::milliseconds kDeadline{250};
    // The most kept of a source that can be read only once. A line that ends
    // beyond it is not shown (an Error says why); the rip still gets every
    // byte, the kept ones first.
    static constexpr std::size_t kKeptOnceBytes = std::size_t{64} << 20;

    explicit SourcePreview(std::chrono::milliseconds deadline = kDeadline,
                           std::size_t keptOnce = kKeptOnceBytes);
    ~SourcePreview();

    // Line `number` (1-based) of the file at `path`: nullopt when the file has
    // fewer lines, an Error when it cannot be opened or read, or when a source
    // that is no regular file has not given the line within the deadline.
    // Setting `cancel` makes it give up within one block with an Error.
    Expected<std::optional<PreviewLine>> line(const std::string& path, std::int64_t number,
                                              const std::atomic<bool>* cancel = nullptr);

    // The source at `path` from its first byte, when the preview holds it open
    // because it cannot be read again: what was kept, then the rest. nullptr
    // when it holds no such source for `path`, which is then opened afresh.
    std::unique_ptr<ByteSource> takeSource(const std::string& path);

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
        // A regular file, the only kind whose offsets mean something and
        // whose reads never wait for a writer.
        bool regular = false;

        bool operator==(const Identity&) const = default;
    };
    // The file as it is now; nullopt (with errno set) when it cannot be looked
    // at.
    static std::optional<Identity> identify(const std::string& path);

    struct Mark {
        Identity file;
        std::int64_t line = 0;     // lines read up to offset
        std::uint64_t offset = 0;  // just past that line's terminator
    };
    // Opens the source at `path` that is no regular file, or goes on with
    // the one kept open for it, from its first byte.
    Expected<ByteSource*> once(const std::string& path, const Identity& file);
    // The source read from `from`: a regular file opened at its offset (as
    // text, unless resuming past a mark), else the one kept open, via once().
    // `opened` owns what is opened here.
    Expected<ByteSource*> openFrom(const std::string& path, const Mark& from, bool resume,
                                   std::unique_ptr<ByteSource>& opened);
    // Whether the source kept open is `file`: a rewrite of it is the same one.
    bool holdsOnce(const Identity& file) const;

    std::optional<Mark> mark_;
    std::chrono::milliseconds deadline_;
    std::size_t keptOnce_;
    std::unique_ptr<KeptSource> once_;
    Identity onceFile_;
};

}  // namespace kolvane
