#include "resultmodel.h"

#include <algorithm>
#include <limits>
#include "displaytext.h"

namespace kolvane {

ResultModel::ResultModel(ResultStore& store, QObject* parent)
    : QAbstractListModel(parent), store_(store) {}

int ResultModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : rows_;
}

QVariant ResultModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= rows_) return {};
    // A row shows a line's start, so that a row of a gigabyte is laid out,
    // measured and painted as fast as any; its tooltip shows more, the copy
    // all of it.
    constexpr qsizetype kRowChars = 300;
    constexpr qsizetype kTipChars = 2000;
    const std::string_view item = store_.at(static_cast<std::size_t>(index.row()));
    switch (role) {
        case Qt::DisplayRole:
            return displayStart(item, kRowChars);
        case Qt::ToolTipRole:
            return displayStart(item, kTipChars);
        case Qt::EditRole:
            return displayText(item);
        default:
            return {};
    }
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

void ResultModel::clear() {
    beginResetModel();
    store_.clear();
    rows_ = 0;
    saved_ = false;
    endResetModel();
}

}  // namespace kolvane
