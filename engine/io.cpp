#include "io.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstring>
#include <deque>
#include <thread>
#include <utility>

namespace kolvane {

namespace {

// Calls `call` again for as long as a signal interrupts it, unless the
// signal asked to stop. Asked first too: a signal that came just before the
// call began would otherwise leave it waiting.
template <class Call>
auto retryInterrupted(Call call, const StopAsked& stopAsked = {}) {
    decltype(call()) result;
    do {
        if (stopAsked && stopAsked()) {
            errno = EINTR;
            return decltype(call()){-1};
        }
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

IoResult failure(std::size_t done, int code) {
    return IoResult{done, code, std::strerror(code)};
}

class DescriptorWriter : public Writer {
  public:
    DescriptorWriter(int fd, bool owned, bool fromPath, StopAsked stopAsked)
        : fd_(fd), owned_(owned), fromPath_(fromPath), stopAsked_(std::move(stopAsked)) {
        struct stat st {};
        if (::fstat(fd_, &st) != 0) return;
        regular_ = S_ISREG(st.st_mode);
        mayWaitForEver_ = S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode);
        // A larger pipe takes larger pieces, so a stoppable write costs few
        // calls more than one that may wait for ever.
        pipe_ = S_ISFIFO(st.st_mode) && ::fcntl(fd_, F_SETPIPE_SZ, kPipeBytes) >= 0;
        if (const long page = ::sysconf(_SC_PAGESIZE); page > 0) page_ = std::size_t(page);
        identity_ = FileIdentity{st.st_dev, st.st_ino, regular_};
    }
    ~DescriptorWriter() override {
        if (owned_ && fd_ >= 0) ::close(fd_);
    }
    DescriptorWriter(const DescriptorWriter&) = delete;
    DescriptorWriter& operator=(const DescriptorWriter&) = delete;

    IoResult write(std::string_view data) override {
        if (mayWaitForEver_) return writePiece(data);
        for (;;) {
            const ssize_t n = ::write(fd_, data.data(), data.size());
            if (n >= 0) {
                noteEnd();
                return IoResult{static_cast<std::size_t>(n), 0, {}};
            }
            if (errno == EINTR && !stopped()) continue;
            if (errno != EAGAIN && errno != EWOULDBLOCK) return failure(0, errno);
            if (!waitForRoom()) return failure(0, errno);
        }
    }

    bool cutBack(std::uint64_t bytes) override {
        if (bytes == 0) return true;
        struct stat st {};
        if (!end_ || ::fstat(fd_, &st) != 0 || static_cast<std::uint64_t>(st.st_size) != *end_ ||
            bytes > *end_) {
            return false;
        }
        if (::ftruncate(fd_, static_cast<off_t>(*end_ - bytes)) != 0) return false;
        *end_ -= bytes;
        return true;
    }

    bool reopenable() const override { return fromPath_ && regular_; }
    std::optional<FileIdentity> identity() const override { return identity_; }

    IoResult close() override {
        if (!owned_ || fd_ < 0) return {};
        // Not retried on EINTR: the descriptor is gone either way.
        const int result = ::close(std::exchange(fd_, -1));
        return result == 0 ? IoResult{} : failure(0, errno);
    }

  private:
    bool stopped() const { return stopAsked_ && stopAsked_(); }

    // Waits until the output takes bytes, a while at a time, asking between
    // waits whether to stop (errno EINTR then).
    bool waitForRoom() {
        for (;;) {
            pollfd room{fd_, POLLOUT, 0};
            const int polled = ::poll(&room, 1, kWaitMs);
            if (polled > 0) return true;
            if (polled < 0 && errno != EINTR) return false;
            if (stopped()) {
                errno = EINTR;
                return false;
            }
        }
    }

    // A pipe whose reader stops reading holds a larger write until a signal
    // interrupts it, and the signal may well reach another thread. A piece
    // the pipe has room for, written once poll() saw room, never waits; it
    // ends at a line end when it holds one, so that what a stop leaves in the
    // pipe ends on a whole line.
    IoResult writePiece(std::string_view data) {
        for (;;) {
            if (!waitForRoom()) return failure(0, errno);
            std::size_t piece = std::min<std::size_t>(data.size(), pipeRoom());
            if (piece < data.size()) {
                if (const void* end = ::memrchr(data.data(), '\n', piece)) {
                    piece =
                        static_cast<std::size_t>(static_cast<const char*>(end) - data.data()) + 1;
                }
            }
            const ssize_t n = ::write(fd_, data.data(), piece);
            if (n >= 0) {
                notePiece(static_cast<std::size_t>(n));
                return IoResult{static_cast<std::size_t>(n), 0, {}};
            }
            if (errno == EINTR && stopped()) return failure(0, EINTR);
            if (errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK) {
                return failure(0, errno);
            }
        }
    }

    // What a pipe surely takes now without waiting. A pipe holds pages, and a
    // write tops up the last page only when its remainder fits there, so a
    // write may leave most of a page unused: size less unread bytes overstates
    // the room, and such a piece waited for a reader that may never come. So
    // pages are counted: those of unread bytes, one per piece of this writer
    // still in the pipe (its last page may be part full), one for the page
    // being read. Until the pipe was seen empty they are unknown: PIPE_BUF,
    // which the page poll() saw free always takes.
    std::size_t pipeRoom() {
        int unread = 0;
        const int size = pipe_ ? ::fcntl(fd_, F_GETPIPE_SZ) : -1;
        if (size <= 0 || ::ioctl(fd_, FIONREAD, &unread) != 0 || unread < 0) return PIPE_BUF;
        if (unread == 0) {
            piecesInPipe_.clear();
            pagesKnown_ = true;
        }
        if (!pagesKnown_) return PIPE_BUF;
        const std::uint64_t readUpTo = written_ - std::min<std::uint64_t>(written_, unread);
        while (!piecesInPipe_.empty() && piecesInPipe_.front() <= readUpTo) {
            piecesInPipe_.pop_front();
        }
        const std::size_t pages = std::size_t(size) / page_;
        const std::size_t used = std::size_t(unread) / page_ + piecesInPipe_.size() + 1;
        return std::max<std::size_t>(PIPE_BUF, pages > used ? (pages - used) * page_ : 0);
    }
    void notePiece(std::size_t bytes) {
        if (bytes == 0) return;
        written_ += bytes;
        if (!pagesKnown_) return;
        piecesInPipe_.push_back(written_);
        // More pieces than pages leave no room to count on: forget them until
        // the pipe is empty, so tiny pieces to a slow reader cost no memory.
        if (piecesInPipe_.size() > kPipeBytes / page_) {
            piecesInPipe_.clear();
            pagesKnown_ = false;
        }
    }

    // Where this writer's bytes end in a regular file: appending puts them at
    // the end, wherever other writers have left it.
    void noteEnd() {
        if (!regular_) return;
        const off_t at = ::lseek(fd_, 0, SEEK_CUR);
        end_ = at < 0 ? std::nullopt : std::optional<std::uint64_t>(at);
    }

    // How long one wait for room lasts before it asks whether to stop.
    static constexpr int kWaitMs = 100;
    static constexpr int kPipeBytes = 1 << 20;

    int fd_;
    bool owned_;
    bool fromPath_;
    StopAsked stopAsked_;
    bool regular_ = false;
    bool mayWaitForEver_ = false;  // a pipe, a FIFO or a socket
    bool pipe_ = false;            // a pipe or FIFO whose room can be asked
    std::optional<FileIdentity> identity_;
    std::optional<std::uint64_t> end_;
    // Bytes this writer put into the pipe, and where each of its pieces that
    // the reader may not have finished ends in that count.
    std::uint64_t written_ = 0;
    std::size_t page_ = PIPE_BUF;  // the pages a pipe's data is held in
    std::deque<std::uint64_t> piecesInPipe_;
    bool pagesKnown_ = false;  // the pipe was seen empty since the writer began
};

}  // namespace

Expected<std::unique_ptr<FileSource>> FileSource::open(const std::string& path,
                                                       std::uint64_t offset,
                                                       const StopAsked& stopAsked,
                                                       std::uint64_t length) {
    if (path.empty()) return Error{"Cannot read", "", "no source file given", 0, 0};
    // Opening a FIFO waits for its writer.
    const int fd =
        retryInterrupted([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }, stopAsked);
    if (fd < 0) return systemError("Cannot open", path, errno);

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        int code = errno;
        ::close(fd);
        return systemError("Cannot open", path, code);
    }
    if (S_ISDIR(st.st_mode)) {
        ::close(fd);
        return systemError("Cannot read", path, EISDIR);
    }
    // procfs and the like show regular files of size 0 that hold text: a size
    // of 0 means nothing, and such a file is read to its end like a pipe.
    std::optional<std::uint64_t> limit;
    if (S_ISREG(st.st_mode) && st.st_size > 0) {
        std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
        limit = offset < size ? std::min(size - offset, length) : 0;
    }
    if (offset > 0 && ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        int code = errno;
        ::close(fd);
        return systemError("Cannot read", path, code);
    }
    return std::unique_ptr<FileSource>(new FileSource(fd, true, limit, offset));
}

std::unique_ptr<FileSource> FileSource::fromDescriptor(int fd) {
    return std::unique_ptr<FileSource>(new FileSource(fd, false, std::nullopt));
}

FileSource::FileSource(int fd, bool owned, std::optional<std::uint64_t> limit, std::uint64_t offset)
    : fd_(fd), owned_(owned), limit_(limit), size_(limit), offset_(offset) {
    struct stat st {};
    const bool known = ::fstat(fd_, &st) == 0;
    mayWait_ = !known || !S_ISREG(st.st_mode);
    if (known) identity_ = FileIdentity{st.st_dev, st.st_ino, S_ISREG(st.st_mode)};
}

FileSource::~FileSource() {
    if (owned_) ::close(fd_);
}

IoResult FileSource::read(std::span<char> buf) {
    std::size_t want = buf.size();
    if (limit_) {
        if (*limit_ == 0) return {};
        if (*limit_ < want) want = static_cast<std::size_t>(*limit_);
    }
    // A pipe, a terminal or a device may have nothing for a long time: wait
    // a while at most, then let the rip look around. A signal that asked it to
    // stop shows then, even one that came just before the read began. An
    // interrupted read is not retried for the same reason.
    if (mayWait_) {
        pollfd ready{fd_, POLLIN, 0};
        const int polled = ::poll(&ready, 1, kWaitMs);
        if (polled == 0 || (polled < 0 && errno == EINTR)) return IoResult{0, 0, {}, true};
    }
    const ssize_t n = ::read(fd_, buf.data(), want);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)) {
        return IoResult{0, 0, {}, true};
    }
    if (n < 0) return failure(0, errno);
    if (n == 0 && limit_ && shrank()) {
        return IoResult{0, 0, "the file became shorter while it was read"};
    }
    if (n == 0) limit_ = 0;  // sysfs shows a size its files need not fill
    if (limit_) *limit_ -= static_cast<std::uint64_t>(n);
    consumed_ += static_cast<std::uint64_t>(n);
    return IoResult{static_cast<std::size_t>(n), 0, {}};
}

bool FileSource::shrank() const {
    struct stat st {};
    return ::fstat(fd_, &st) == 0 && static_cast<std::uint64_t>(st.st_size) < *size_ + offset_;
}

std::optional<std::uint64_t> FileSource::size() const {
    return size_;
}

Expected<std::unique_ptr<Writer>> FileOpener::openAppend(const std::string& path) {
    struct stat st {};
    if (stopAsked_ && ::stat(path.c_str(), &st) == 0 && S_ISFIFO(st.st_mode)) {
        return openFifo(path);
    }
    // Anything but a FIFO opens at once; a FIFO without a stop to ask waits
    // for its reader, as a plain open does.
    const int fd = retryInterrupted(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666); });
    if (fd < 0) return systemError("Cannot open", path, errno);
    return std::unique_ptr<Writer>(new DescriptorWriter(fd, true, true, stopAsked_));
}

// A FIFO is opened without waiting and tried again until a reader comes or
// a stop is asked, so that no signal is needed to give up: a window has none.
Expected<std::unique_ptr<Writer>> FileOpener::openFifo(const std::string& path) {
    constexpr std::chrono::milliseconds kRetry{20};
    for (;;) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            // Writes wait for room as they would have.
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            return std::unique_ptr<Writer>(new DescriptorWriter(fd, true, true, stopAsked_));
        }
        if (errno != ENXIO && errno != EINTR) return systemError("Cannot open", path, errno);
        if (stopAsked_()) return systemError("Cannot open", path, EINTR);
        std::this_thread::sleep_for(kRetry);
    }
}

std::unique_ptr<Writer> descriptorWriter(int fd, bool owned, StopAsked stopAsked) {
    return std::make_unique<DescriptorWriter>(fd, owned, false, std::move(stopAsked));
}

IoResult writeAll(Writer& writer, std::string_view data) {
    std::size_t done = 0;
    while (done < data.size()) {
        IoResult r = writer.write(data.substr(done));
        done += r.bytes;
        if (r.failed()) return IoResult{done, r.code, std::move(r.cause)};
        if (r.bytes == 0) return failure(done, EIO);  // no progress and no reason
    }
    return IoResult{done, 0, {}};
}

Error readError(const std::string& file, const IoResult& failure, std::int64_t line) {
    return Error{"Cannot read", file, failure.cause, line, failure.code};
}

}  // namespace kolvane
