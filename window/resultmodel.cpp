#include "resultmodel.h"

#include <algorithm>
#include <limits>
#include "displaytext.h"

namespace kolvane {

ResultModel::ResultModel(const ResultStore& store, QObject* parent)
    : QAbstractListModel(parent), store_(store) {}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    std::string_view item = store_.at(static_cast<std::size_t>(index.row()));
    if (role != Qt::DisplayRole) return {};
    return displayText(item);
}

void ResultModel::sync() {
    // A view counts rows in int; a store beyond that shows its first 2^31 - 1.
    const auto available =
        static_cast<int>(std::min<std::size_t>(store_.size(), std::numeric_limits<int>::max()));
    if (available <= rows_) return;
    beginInsertRows(QModelIndex(), rows_, available - 1);
    rows_ = available;
    endInsertRows();
}

void ResultModel::beginClear() {
    beginResetModel();
}

void ResultModel::endClear() {
    rows_ = 0;
    endResetModel();
    sync();
}

}  // namespace kolvane
