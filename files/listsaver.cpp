#include "listsaver.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <string>

namespace kolvane {

namespace {

QString reason(const QFileDevice& file) {
    const QString why = file.errorString();
    return why.isEmpty() || file.error() == QFileDevice::NoError ? QStringLiteral("write failed")
                                                                 : why;
}

}  // namespace

bool ListSaver::writeWhole(QFileDevice& file, const char* data, qint64 size) {
    return file.write(data, size) == size;
}

bool ListSaver::writeItems(const ResultStore& items, QFileDevice& file) const {
    // Items are short: gather them into large blocks so the writes, not the
    // calls, set the pace.
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::string block;
    block.reserve(kBlock + 4096);
    for (std::size_t i = 0; i < items.size(); ++i) {
        block.append(items.at(i));
        block.append("\r\n");
        if (block.size() >= kBlock || i + 1 == items.size()) {
            if (!write_(file, block.data(), static_cast<qint64>(block.size()))) return false;
            block.clear();
        }
    }
    return true;
}

std::optional<QString> ListSaver::save(const ResultStore& items, const QString& path) const {
    const QFileInfo target(path);
    if (target.exists() && !target.isFile() && !target.isDir()) {
        QFile device(path);
        if (!device.open(QIODevice::WriteOnly)) return reason(device);
        if (!writeItems(items, device) || !device.flush()) return reason(device);
        return std::nullopt;
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return reason(file);
    if (!writeItems(items, file)) {
        QString why = reason(file);
        file.cancelWriting();  // the temporary file goes with `file`
        return why;
    }
    if (!file.commit()) return reason(file);
    return std::nullopt;
}

}  // namespace kolvane
