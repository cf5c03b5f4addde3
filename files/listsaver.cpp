#include "listsaver.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace kolvane {

namespace {

// How long one wait for a device's reader lasts before a cancel is looked at.
constexpr int kStepMs = 20;

const QString kCancelled = QStringLiteral("stopped: the file was left as it was");

QString reason(const QFileDevice& file) {
    const QString why = file.errorString();
    return why.isEmpty() || file.error() == QFileDevice::NoError ? QStringLiteral("write failed")
                                                                 : why;
}

QString systemReason(int code) {
    return QString::fromLocal8Bit(std::strerror(code));
}

// Opens a device or FIFO for writing without waiting in open(): a FIFO
// without a reader answers ENXIO and is tried again until one comes (a
// socket answers ENXIO too, for good).
int openDevice(const QString& path, SaveControl& control, int& error) {
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    const bool fifo = ::stat(name.constData(), &st) == 0 && S_ISFIFO(st.st_mode);
    for (;;) {
        const int fd = ::open(name.constData(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) return fd;
        error = errno;
        if (!(error == ENXIO && fifo) && error != EINTR) return -1;
        if (control.cancel.load()) return -1;
        std::this_thread::sleep_for(std::chrono::milliseconds(kStepMs));
    }
}

// Writes all of a block to a non-blocking descriptor, waiting for room in
// short steps; false with `error` set when it cannot, 0 when cancelled.
bool writeDevice(int fd, const char* data, qint64 size, SaveControl& control, int& error) {
    while (size > 0) {
        if (control.cancel.load()) return error = 0, false;
        const ssize_t n = ::write(fd, data, static_cast<std::size_t>(size));
        if (n > 0) {
            data += n;
            size -= n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) return error = errno, false;
        pollfd room{fd, POLLOUT, 0};
        ::poll(&room, 1, kStepMs);
    }
    return true;
}

}  // namespace

bool ListSaver::writeWhole(QFileDevice& file, const char* data, qint64 size) {
    return file.write(data, size) == size;
}

bool ListSaver::writeItems(const ResultStore& items, const Write& write, SaveControl& control) {
    // Items are short: gather them into large blocks so the writes, not the
    // calls, set the pace.
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::string block;
    block.reserve(kBlock + 4096);
    for (std::size_t i = 0; i < items.size(); ++i) {
        block.append(items.at(i));
        block.append("\r\n");
        if (block.size() >= kBlock || i + 1 == items.size()) {
            if (control.cancel.load()) return false;
            if (!write(block.data(), static_cast<qint64>(block.size()))) return false;
            control.written += block.size();
            block.clear();
        }
    }
    return true;
}

std::optional<QString> ListSaver::saveInPlace(const ResultStore& items, const QString& path,
                                              SaveControl& control) {
    int error = 0;
    const int fd = openDevice(path, control, error);
    if (fd < 0) return error ? systemReason(error) : kCancelled;
    const bool done = writeItems(
        items,
        [&](const char* data, qint64 size) { return writeDevice(fd, data, size, control, error); },
        control);
    ::close(fd);
    if (done) return std::nullopt;
    return error ? systemReason(error) : kCancelled;
}

std::optional<QString> ListSaver::save(const ResultStore& items, const QString& path,
                                       SaveControl& control) const {
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        return saveInPlace(items, path, control);
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return reason(file);
    const bool done = writeItems(
        items, [&](const char* data, qint64 size) { return write_(file, data, size); }, control);
    if (!done) {
        QString why = control.cancel.load() ? kCancelled : reason(file);
        file.cancelWriting();  // the temporary file goes with `file`
        return why;
    }
    if (!file.commit()) return reason(file);
    return std::nullopt;
}

}  // namespace kolvane
