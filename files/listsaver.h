#pragma once

#include <QString>
#include <QtGlobal>
#include <functional>
#include <optional>

#include "resultstore.h"

class QFileDevice;

namespace kolvane {

// Writes the result list to a file: every item's exact bytes followed by CR LF,
// in list order, however many items there are. A file is written beside the
// target and renamed over it only when everything was written, so a full disk
// or any other failure leaves an existing file exactly as it was.
//
// A target that exists but is no regular file (a device, a pipe) is written
// in place: the rename would put a plain file where the device was, which
// for /dev/null, chosen by root, breaks the whole system.
class ListSaver {
  public:
    // Writes one block of the file whole; false when it could not.
    using BlockWriter = std::function<bool(QFileDevice& file, const char* data, qint64 size)>;
    static bool writeWhole(QFileDevice& file, const char* data, qint64 size);

    explicit ListSaver(BlockWriter write = writeWhole) : write_(std::move(write)) {}

    // nullopt on success, else why nothing was saved.
    std::optional<QString> save(const ResultStore& items, const QString& path) const;

  private:
    // Writes every item to an open file; false when a block failed.
    bool writeItems(const ResultStore& items, QFileDevice& file) const;

    BlockWriter write_;
};

}  // namespace kolvane
