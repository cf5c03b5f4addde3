#pragma once

#include <QString>
#include <optional>

#include "resultstore.h"

class QSaveFile;

namespace kolvane {

// Writes the result list to a file: every item's exact bytes followed by CR LF,
// in list order, however many items there are. The file is written beside the
// target and renamed over it only when everything was written, so a full disk
// or any other failure leaves an existing file exactly as it was.
class ListSaver {
  public:
    virtual ~ListSaver() = default;

    // nullopt on success, else why nothing was saved.
    std::optional<QString> save(const ResultStore& items, const QString& path);

  protected:
    // Writes one block of the file; tests override it to fail part way.
    virtual bool writeBlock(QSaveFile& file, const char* data, qint64 size);
};

}  // namespace kolvane
