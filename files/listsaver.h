#pragma once

#include <QString>
#include <QtGlobal>
#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>

#include "resultstore.h"

class QFileDevice;

namespace kolvane {

// What a save running on another thread shares with the one that started it.
struct SaveControl {
    std::atomic<bool> cancel{false};        // set to give up; the old file stays
    std::atomic<std::uint64_t> written{0};  // bytes of the list written so far
};

// Writes the result list to a file: every item's exact bytes followed by CR LF,
// in list order, however many items there are. A file is written beside the
// target and renamed over it only when everything was written, so a full disk,
// a cancel or any other failure leaves an existing file exactly as it was.
//
// A target that exists but is no regular file (a device, a pipe) is written
// in place: the rename would put a plain file where the device was, which
// for /dev/null, chosen by root, breaks the whole system. Such a target never
// blocks the saver for long: a FIFO without a reader is waited for, and a
// reader that stalls too, in short steps that watch for a cancel; a cancel
// leaves a pipe's reader whole lines.
class ListSaver {
  public:
    // Writes one block of a regular file whole; false when it could not.
    using BlockWriter = std::function<bool(QFileDevice& file, const char* data, qint64 size)>;
    static bool writeWhole(QFileDevice& file, const char* data, qint64 size);

    explicit ListSaver(BlockWriter write = writeWhole) : write_(std::move(write)) {}

    // nullopt on success, else why nothing was saved. Safe on any thread as
    // long as `items` does not change meanwhile.
    std::optional<QString> save(const ResultStore& items, const QString& path,
                                SaveControl& control) const;

  private:
    BlockWriter write_;
};

}  // namespace kolvane
