#pragma once

#include <QAbstractListModel>

#include "resultstore.h"

namespace kolvane {

// The result list as the view sees it: one row per item of the engine's store.
// The store grows line by line during a rip; the model tells the view about the
// new rows only when sync() is called, so the view hears of them in batches.
class ResultModel : public QAbstractListModel {
    Q_OBJECT

  public:
    explicit ResultModel(ResultStore& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;

    // Announces the items appended to the store since the last call.
    void sync();

    // Empties the store, and the list with it.
    void clear();

    // Whether the list holds results not saved since it was last emptied.
    bool unsaved() const { return rows_ > 0 && !saved_; }
    void markSaved() { saved_ = true; }

  private:
    ResultStore& store_;
    int rows_ = 0;  // rows the view has been told about
    bool saved_ = false;
};

}  // namespace kolvane
