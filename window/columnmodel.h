#pragma once

#include <QAbstractTableModel>
#include <QString>
#include <vector>

#include "sourcesession.h"

namespace kolvane {

// Characters of a cell shown before the rest is cut off; its tooltip shows more.
inline constexpr qsizetype kCellChars = 40;
inline constexpr qsizetype kTipChars = 400;

// One line of a cell: a value spanning lines shows where they break.
QString oneLine(QString text);

// The sample's records as rows, a column for each field and the result last.
class ColumnModel : public QAbstractTableModel {
  public:
    struct Content {
        std::vector<SampleRecord> rows;
        bool quoted = false;
        std::vector<QString> headers;                  // one for each field column
        std::vector<std::vector<std::size_t>> places;  // each column's places in the result
        std::vector<QString> results;                  // one for each row
        QString resultTip;
    };

    using QAbstractTableModel::QAbstractTableModel;

    void set(Content content) {
        beginResetModel();
        content_ = std::move(content);
        endResetModel();
    }
    int fieldColumns() const { return int(content_.headers.size()); }
    bool chosen(int column) const {
        return column < fieldColumns() && !content_.places[std::size_t(column)].empty();
    }

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : int(content_.rows.size());
    }
    int columnCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() || content_.headers.empty() ? 0 : fieldColumns() + 1;
    }

    QVariant data(const QModelIndex& index, int role) const override;

    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

  private:
    Content content_;
};

}  // namespace kolvane
