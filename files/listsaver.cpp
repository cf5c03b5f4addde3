#include "listsaver.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <cerrno>
#include <string>
#include <string_view>

#include "io.h"

namespace kolvane {

namespace {

const QString kCancelled = QStringLiteral("stopped: the file was left as it was");

QString reason(const QFileDevice& file) {
    const QString why = file.errorString();
    return why.isEmpty() || file.error() == QFileDevice::NoError ? QStringLiteral("write failed")
                                                                 : why;
}

QString systemText(const std::string& cause) {
    return QString::fromLocal8Bit(cause);
}

// Writes every item through `write`; false when a block failed or the
// save was cancelled.
bool writeItems(const ResultStore& items,
                const std::function<bool(const char* data, qint64 size)>& write,
                SaveControl& control) {
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

// The engine's writer opens a FIFO without waiting for its reader, and writes
// to a pipe in pieces that end at line ends and never wait, asking between
// them whether to stop: a stopped save leaves a reader whole lines.
std::optional<QString> saveInPlace(const ResultStore& items, const QString& path,
                                   SaveControl& control) {
    FileOpener opener([&control] { return control.cancel.load(); });
    auto opened = opener.openAppend(QFile::encodeName(path).toStdString());
    if (!opened)
        return opened.error().code == EINTR ? kCancelled : systemText(opened.error().cause);
    Writer& out = **opened;
    IoResult failed;
    const bool done = writeItems(
        items,
        [&](const char* data, qint64 size) {
            failed = writeAll(out, std::string_view(data, static_cast<std::size_t>(size)));
            return !failed.failed();
        },
        control);
    out.close();
    if (done) return std::nullopt;
    return failed.failed() && failed.code != EINTR ? systemText(failed.cause) : kCancelled;
}

}  // namespace

// A write that fills the disk first writes what fits and says nothing; only
// the next one fails and sets the cause ("No space left on device").
bool ListSaver::writeWhole(QFileDevice& file, const char* data, qint64 size) {
    while (size > 0) {
        const qint64 n = file.write(data, size);
        if (n <= 0) return false;
        data += n;
        size -= n;
    }
    return true;
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
