#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "error.h"

namespace kolvane {

// Which file a descriptor is open on: two names, links or descriptors of one
// file compare equal.
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    bool regular = false;  // a regular file, the only kind a write can damage
    bool operator==(const FileIdentity& o) const { return device == o.device && inode == o.inode; }
};

// Asked when a signal interrupted a call that may wait for ever (opening a
// FIFO, writing to a pipe nobody reads): whether to give up, the call then
// failing with EINTR, instead of calling again. None: always call again.
using StopAsked = std::function<bool()>;

// Outcome of one read or write call: how many bytes moved, and why it stopped
// short when it failed (`cause` empty on success).
struct IoResult {
    std::size_t bytes = 0;
    int code = 0;
    std::string cause;
    // A read that has nothing yet but is not at the end (a non-blocking
    // descriptor's EAGAIN, a read a signal interrupted, a source fed by
    // another thread): ask again later.
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
    // The size of the file underneath, when known: progress is consumed()
    // against it. A source that decodes (decompresses, converts) what it reads
    // passes both on from the source it reads.
    virtual std::optional<std::uint64_t> size() const { return std::nullopt; }
    virtual std::uint64_t consumed() const { return 0; }
    // The file underneath, when it is one, for never writing into a source.
    virtual std::optional<FileIdentity> identity() const { return std::nullopt; }
};

// A source that reads through another (unpacking, decoding, keeping what
// passes): its size, progress and file are the one underneath's.
class SourceOver : public ByteSource {
  public:
    explicit SourceOver(std::unique_ptr<ByteSource> inner) : inner_(std::move(inner)) {}
    std::optional<std::uint64_t> size() const override { return inner_->size(); }
    std::uint64_t consumed() const override { return inner_->consumed(); }
    std::optional<FileIdentity> identity() const override { return inner_->identity(); }

  protected:
    std::unique_ptr<ByteSource> inner_;
};

// A source with nothing in it: what a part with no records reads, or the end
// behind bytes read ahead.
class NoBytes : public ByteSource {
  public:
    IoResult read(std::span<char>) override { return {}; }
};

// A source file or standard input, read with plain read(2) calls. The source is
// never mapped: a file truncated under a mapping kills the process.
class FileSource : public ByteSource {
  public:
    // Opens `path` for reading from byte `offset` on, at most `length` bytes. A
    // regular file delivers only the bytes it held when opened, so appending to
    // the source while it is ripped cannot make the rip endless; if it really
    // shrinks, reading fails. A file whose size means nothing (procfs, sysfs,
    // devices) is read to its end.
    static Expected<std::unique_ptr<FileSource>> open(
        const std::string& path, std::uint64_t offset = 0, const StopAsked& stopAsked = {},
        std::uint64_t length = std::numeric_limits<std::uint64_t>::max());
    // Standard input, or any other descriptor the caller owns.
    static std::unique_ptr<FileSource> fromDescriptor(int fd);

    ~FileSource() override;
    FileSource(const FileSource&) = delete;
    FileSource& operator=(const FileSource&) = delete;

    IoResult read(std::span<char> buf) override;
    std::optional<std::uint64_t> size() const override;
    std::uint64_t consumed() const override { return consumed_; }
    std::optional<FileIdentity> identity() const override { return identity_; }

  private:
    FileSource(int fd, bool owned, std::optional<std::uint64_t> limit, std::uint64_t offset = 0);
    // Whether the file now holds fewer bytes than when it was opened.
    bool shrank() const;

    int fd_;
    bool owned_;
    std::optional<std::uint64_t> limit_;  // bytes still to deliver, for regular files
    std::optional<std::uint64_t> size_;
    std::uint64_t offset_;  // where reading began
    bool mayWait_ = false;  // no regular file: a read may wait for input
    std::uint64_t consumed_ = 0;
    std::optional<FileIdentity> identity_;
    // How long one read waits for input before it answers noDataYet.
    static constexpr int kWaitMs = 100;
};

// An output opened for appending. Tests substitute writers that fail half way.
class Writer {
  public:
    virtual ~Writer() = default;
    // Writes data; may stop short, and then says why. An output that has no
    // room right now (a non-blocking pipe) is waited for, not a failure.
    virtual IoResult write(std::string_view data) = 0;
    // Removes the last `bytes` bytes this writer wrote, so that a failed write
    // leaves no half line behind. False when they cannot be removed without
    // touching anything else: the output is no regular file, or its end is no
    // longer where this writer left it (another process appended since).
    virtual bool cutBack(std::uint64_t bytes) = 0;
    // Whether opening the output again may help after a failed write: only
    // for a regular file opened by its path (reopening a FIFO whose reader
    // left would block, and a descriptor such as standard output cannot be
    // opened again: closing it would only lose it).
    virtual bool reopenable() const = 0;
    // The file written, when it is one, for never writing into a source.
    virtual std::optional<FileIdentity> identity() const { return std::nullopt; }
    // Closes the output; a write error the system delayed shows here.
    virtual IoResult close() = 0;
};

// Opens writers by path. The window and the CLI use FileOpener; tests provide
// writers that fail on purpose.
class OutputOpener {
  public:
    virtual ~OutputOpener() = default;
    virtual Expected<std::unique_ptr<Writer>> openAppend(const std::string& path) = 0;
};

// Appends to files with write(2): created when missing, never emptied.
// `stopAsked` lets a stop end an open or a write that waits for a reader.
class FileOpener : public OutputOpener {
  public:
    explicit FileOpener(StopAsked stopAsked = {}) : stopAsked_(std::move(stopAsked)) {}
    Expected<std::unique_ptr<Writer>> openAppend(const std::string& path) override;

  private:
    Expected<std::unique_ptr<Writer>> openFifo(const std::string& path);

    StopAsked stopAsked_;
};

// A writer over an open descriptor, such as standard output; with `owned` it
// is closed by close() or when the writer goes. It is never reopenable.
std::unique_ptr<Writer> descriptorWriter(int fd, bool owned, StopAsked stopAsked = {});

// Writes all of data, retrying short writes and interrupted calls.
IoResult writeAll(Writer& writer, std::string_view data);

// "Cannot read FILE at line N: CAUSE", from a failed read.
Error readError(const std::string& file, const IoResult& failure, std::int64_t line);

}  // namespace kolvane
