#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "error.h"

namespace kolvane {

// Outcome of one read or write call: how many bytes moved, and why it stopped
// short when it failed (`cause` empty on success).
struct IoResult {
    std::size_t bytes = 0;
    int code = 0;
    std::string cause;
    // A read that has nothing yet but is not at the end (a non-blocking
    // descriptor's EAGAIN, a source fed by another thread): ask again later.
    bool noDataYet = false;

    bool failed() const { return !cause.empty(); }
};

// Where source bytes come from. Tests substitute sources that fail on purpose,
// since as root no permission bit makes a real file unreadable.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Reads up to buf.size() bytes. Zero bytes without a failure means the end,
    // unless the result says noDataYet: then the source may still deliver, and
    // a reader returns to its caller instead of waiting (LineReader::pending()).
    virtual IoResult read(std::span<char> buf) = 0;
    // The number of bytes the source will deliver, when known; used for progress.
    virtual std::optional<std::uint64_t> size() const { return std::nullopt; }
};

// A source file or standard input, read with plain read(2) calls. The source is
// never mapped: a file truncated under a mapping kills the process.
class FileSource : public ByteSource {
  public:
    // Opens `path` for reading from byte `offset` on. A regular file delivers only
    // the bytes it held when opened, so appending to the source while it is ripped
    // cannot make the rip endless; if it shrinks instead, reading fails.
    static Expected<std::unique_ptr<FileSource>> open(const std::string& path,
                                                      std::uint64_t offset = 0);
    // Standard input, or any other descriptor the caller owns.
    static std::unique_ptr<FileSource> fromDescriptor(int fd);

    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    IoResult read(std::span<char> buf) override;
    std::optional<std::uint64_t> size() const override;

  private:
    FileSource(int fd, bool owned, std::optional<std::uint64_t> limit);

    int fd_;
    bool owned_;
    std::optional<std::uint64_t> limit_;  // bytes still to deliver, for regular files
    std::optional<std::uint64_t> size_;
};

// An output opened for appending. Tests substitute writers that fail half way.
class Writer {
  public:
    virtual ~Writer() = default;
    // Writes data; may stop short, and then says why.
    virtual IoResult write(std::string_view data) = 0;
    // Cuts what this writer appended back to its first `bytes` bytes, so a failed
    // write never leaves half a line behind. Best effort: a pipe cannot be cut.
    virtual void truncate(std::uint64_t bytes) = 0;
};

// Opens writers by path. The window and the CLI use FileOpener; tests provide
// writers that fail on purpose.
class OutputOpener {
  public:
    virtual ~OutputOpener() = default;
    virtual Expected<std::unique_ptr<Writer>> openAppend(const std::string& path) = 0;
};

// Appends to files with write(2): created when missing, never emptied.
class FileOpener : public OutputOpener {
  public:
    Expected<std::unique_ptr<Writer>> openAppend(const std::string& path) override;
};

// A writer over a descriptor the caller owns, such as standard output.
std::unique_ptr<Writer> descriptorWriter(int fd);

// Writes all of data, retrying short writes and interrupted calls.
IoResult writeAll(Writer& writer, std::string_view data);

// "Cannot read FILE at line N: CAUSE", from a failed read.
Error readError(const std::string& file, const IoResult& failure, std::int64_t line);

}  // namespace kolvane
