#include "listsaver.h"

#include <QSaveFile>
#include <string>

namespace kolvane {

bool ListSaver::writeBlock(QSaveFile& file, const char* data, qint64 size) {
    return file.write(data, size) == size;
}

std::optional<QString> ListSaver::save(const ResultStore& items, const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return file.errorString();
    // Items are short: gather them into large blocks so the writes, not the
    // calls, set the pace.
    constexpr std::size_t kBlock = std::size_t{1} << 20;
    std::string block;
    block.reserve(kBlock + 4096);
    for (std::size_t i = 0; i < items.size(); ++i) {
        block.append(items.at(i));
        block.append("\r\n");
        if (block.size() >= kBlock || i + 1 == items.size()) {
            if (!writeBlock(file, block.data(), static_cast<qint64>(block.size()))) {
                QString why = file.errorString();
                file.cancelWriting();
                return why.isEmpty() ? QStringLiteral("write failed") : why;
            }
            block.clear();
        }
    }
    if (!file.commit()) return file.errorString();
    return std::nullopt;
}

}  // namespace kolvane
