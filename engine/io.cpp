#include "io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace kolvane {

namespace {

// Calls `call` again for as long as a signal interrupts it.
template <class Call>
auto retryInterrupted(Call call) {
    decltype(call()) result;
    do {
        result = call();
    } while (result < 0 && errno == EINTR);
    return result;
}

IoResult failure(std::size_t done, int code) {
    return IoResult{done, code, std::strerror(code)};
}

class DescriptorWriter : public Writer {
  public:
    DescriptorWriter(int fd, bool owned) : fd_(fd), owned_(owned) {
        struct stat st {};
        // Only a regular file can be cut back; remember where this writer began.
        if (::fstat(fd_, &st) == 0 && S_ISREG(st.st_mode)) base_ = st.st_size;
    }
    ~DescriptorWriter() override {
        if (owned_) ::close(fd_);
    }
    DescriptorWriter(const DescriptorWriter&) = delete;
    DescriptorWriter& operator=(const DescriptorWriter&) = delete;

    IoResult write(std::string_view data) override {
        const ssize_t n = retryInterrupted([&] { return ::write(fd_, data.data(), data.size()); });
        if (n < 0) return failure(0, errno);
        return IoResult{static_cast<std::size_t>(n), 0, {}};
    }

    void truncate(std::uint64_t bytes) override {
        if (base_) (void)::ftruncate(fd_, static_cast<off_t>(*base_ + bytes));
    }

  private:
    int fd_;
    bool owned_;
    std::optional<std::uint64_t> base_;
};

}  // namespace

Expected<std::unique_ptr<FileSource>> FileSource::open(const std::string& path,
                                                       std::uint64_t offset) {
    if (path.empty()) return Error{"Cannot read", "", "no source file given", 0, 0};
    const int fd = retryInterrupted([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); });
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
    std::optional<std::uint64_t> limit;
    if (S_ISREG(st.st_mode)) {
        std::uint64_t size = static_cast<std::uint64_t>(st.st_size);
        limit = offset < size ? size - offset : 0;
    }
    if (offset > 0 && ::lseek(fd, static_cast<off_t>(offset), SEEK_SET) < 0) {
        int code = errno;
        ::close(fd);
        return systemError("Cannot read", path, code);
    }
    return std::unique_ptr<FileSource>(new FileSource(fd, true, limit));
}

std::unique_ptr<FileSource> FileSource::fromDescriptor(int fd) {
    return std::unique_ptr<FileSource>(new FileSource(fd, false, std::nullopt));
}

FileSource::FileSource(int fd, bool owned, std::optional<std::uint64_t> limit)
    : fd_(fd), owned_(owned), limit_(limit), size_(limit) {}

FileSource::~FileSource() {
    if (owned_) ::close(fd_);
}

IoResult FileSource::read(std::span<char> buf) {
    std::size_t want = buf.size();
    if (limit_) {
        if (*limit_ == 0) return {};
        if (*limit_ < want) want = static_cast<std::size_t>(*limit_);
    }
    const ssize_t n = retryInterrupted([&] { return ::read(fd_, buf.data(), want); });
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return IoResult{0, 0, {}, true};
    if (n < 0) return failure(0, errno);
    if (n == 0 && limit_) return IoResult{0, 0, "the file became shorter while it was read"};
    if (limit_) *limit_ -= static_cast<std::uint64_t>(n);
    return IoResult{static_cast<std::size_t>(n), 0, {}};
}

std::optional<std::uint64_t> FileSource::size() const {
    return size_;
}

Expected<std::unique_ptr<Writer>> FileOpener::openAppend(const std::string& path) {
    const int fd = retryInterrupted(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666); });
    if (fd < 0) return systemError("Cannot open", path, errno);
    return std::unique_ptr<Writer>(new DescriptorWriter(fd, true));
}

std::unique_ptr<Writer> descriptorWriter(int fd) {
    return std::make_unique<DescriptorWriter>(fd, false);
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
