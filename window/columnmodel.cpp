#include "columnmodel.h"

#include <QFont>
#include <QPalette>
#include <QStringList>

#include "displaytext.h"

namespace kolvane {

QString oneLine(QString text) {
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\u21b5"));
    text.replace(QLatin1Char('\n'), QStringLiteral("\u21b5"));
    text.replace(QLatin1Char('\r'), QStringLiteral("\u21b5"));
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    return text;
}

namespace {

QString ordinal(std::size_t n) {
    const std::size_t tens = n % 100;
    const char* suffix = tens >= 11 && tens <= 13 ? "th"
                         : n % 10 == 1            ? "st"
                         : n % 10 == 2            ? "nd"
                         : n % 10 == 3            ? "rd"
                                                  : "th";
    return QString::number(n) + QLatin1String(suffix);
}

}  // namespace

QVariant ColumnModel::data(const QModelIndex& index, int role) const {
    const auto row = std::size_t(index.row());
    const int column = index.column();
    if (role == Qt::BackgroundRole && chosen(column)) {
        QColor tint = QPalette().color(QPalette::Highlight);
        tint.setAlpha(40);
        return tint;
    }
    if (role != Qt::DisplayRole && role != Qt::ToolTipRole) return {};
    const bool tip = role == Qt::ToolTipRole;
    if (column == fieldColumns()) return content_.results[row];
    const SampleRecord& record = content_.rows[row];
    if (std::size_t(column) >= record.fields.size()) return {};
    const std::string value = fieldValue(record.fields[std::size_t(column)], content_.quoted);
    return oneLine(displayStart(value, tip ? kTipChars : kCellChars));
}

QVariant ColumnModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal) {
        return QAbstractTableModel::headerData(section, orientation, role);
    }
    if (section == fieldColumns()) {
        if (role == Qt::DisplayRole) return QStringLiteral("Result");
        if (role == Qt::ToolTipRole) return content_.resultTip;
        return {};
    }
    const auto& places = content_.places[std::size_t(section)];
    switch (role) {
        case Qt::DisplayRole: {
            QString text = content_.headers[std::size_t(section)];
            QStringList shown;
            for (std::size_t place : places) shown << ordinal(place);
            if (!shown.empty())
                text += QStringLiteral(" (") + shown.join(QStringLiteral(", ")) + ')';
            return text;
        }
        case Qt::FontRole: {
            QFont font;
            font.setBold(!places.empty());
            return font;
        }
        case Qt::ToolTipRole:
            return places.empty()
                       ? QStringLiteral("Click to add field %1 to the fields").arg(section + 1)
                       : QStringLiteral("Click to take field %1 out of the fields")
                             .arg(section + 1);
        default:
            return {};
    }
}

}  // namespace kolvane
