#include "resultview.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QToolTip>
#include <algorithm>
#include <climits>

namespace kolvane {

namespace {

// Rows of `height` pixels from the top of the viewport to coordinate y, rounded
// down, also above the viewport.
int rowsTo(int y, int height) {
    return y >= 0 ? y / height : -((height - 1 - y) / height);
}

// Keeps far-off rows' coordinates inside int.
int clampCoordinate(qint64 y) {
    constexpr qint64 kLimit = qint64{1} << 30;
    return static_cast<int>(std::clamp(y, -kLimit, kLimit));
}

// A row's text for its tooltip: broken into lines, cut at a screenful.
QString rowTip(const QString& text) {
    // Lines of kTipLineChars, at most kTipLines of them: a screenful at most.
    constexpr qsizetype kTipLineChars = 100;
    constexpr qsizetype kTipLines = 20;
    QStringList lines;
    for (qsizetype at = 0; at < text.size() && lines.size() < kTipLines; at += kTipLineChars)
        lines << text.mid(at, kTipLineChars);
    if (text.size() > kTipLineChars * kTipLines) lines.back() += QChar(0x2026);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

ResultView::ResultView(QWidget* parent) : QListView(parent) {
    setUniformItemSizes(true);
    setSelectionMode(SingleSelection);
    setEditTriggers(NoEditTriggers);
    setVerticalScrollMode(ScrollPerItem);
    // Items are cut at the right edge, as in a plain list box; the widest of
    // millions of items is not worth finding.
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int ResultView::rowHeight() const {
    if (rowHeight_ > 0) return rowHeight_;
    if (rowCount() == 0) return std::max(1, fontMetrics().height());
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QModelIndex first = indexOfRow(0);
    rowHeight_ = std::max(1, itemDelegateForIndex(first)->sizeHint(option, first).height());
    return rowHeight_;
}

QRect ResultView::visualRect(const QModelIndex& index) const {
    if (!index.isValid() || index.model() != model() || index.parent() != rootIndex() ||
        index.column() != modelColumn()) {
        return {};
    }
    const int height = rowHeight();
    const qint64 y = qint64{index.row() - firstVisibleRow()} * height;
    return QRect(0, clampCoordinate(y), viewport()->width(), height);
}

QModelIndex ResultView::indexAt(const QPoint& point) const {
    if (point.y() < 0 || point.x() < 0 || point.x() >= viewport()->width()) return {};
    const qint64 row = qint64{firstVisibleRow()} + point.y() / rowHeight();
    if (row >= rowCount()) return {};
    return indexOfRow(static_cast<int>(row));
}

void ResultView::scrollTo(const QModelIndex& index, ScrollHint hint) {
    if (!index.isValid() || index.parent() != rootIndex()) return;
    const int row = index.row();
    const int page = pageRows();
    // EnsureVisible moves the list no further than brings the row in sight.
    const int top = hint == PositionAtTop      ? row
                    : hint == PositionAtBottom ? row - page + 1
                    : hint == PositionAtCenter ? row - page / 2
                                               : std::clamp(firstVisibleRow(), row - page + 1, row);
    verticalScrollBar()->setValue(top);  // the bar keeps it in range
}

bool ResultView::viewportEvent(QEvent* event) {
    if (event->type() != QEvent::ToolTip) return QListView::viewportEvent(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = indexAt(help->pos());
    const QString text = index.data().toString();
    const QString whole = index.data(Qt::ToolTipRole).toString();
    // Cut short: wider than the row, less the margins the style draws, or
    // shortened by the model.
    const int room = viewport()->width() - 2 * style()->pixelMetric(QStyle::PM_FocusFrameHMargin);
    if (fontMetrics().horizontalAdvance(text) <= room && whole == text) {
        QToolTip::hideText();
        return true;
    }
    QToolTip::showText(help->globalPos(), rowTip(whole), viewport());
    return true;
}

void ResultView::keyPressEvent(QKeyEvent* event) {
    // A row may show only the start of its item; the copy is the whole item.
    if (event != QKeySequence::Copy) return QListView::keyPressEvent(event);
    if (currentIndex().isValid())
        QGuiApplication::clipboard()->setText(currentIndex().data(Qt::EditRole).toString());
    event->accept();
}

void ResultView::doItemsLayout() {
    // Font, style or model changed: measure the rows again.
    rowHeight_ = 0;
    QAbstractItemView::doItemsLayout();
}

void ResultView::rowsInserted(const QModelIndex& parent, int start, int end) {
    // QListView's own handler would lay out every row again.
    QAbstractItemView::rowsInserted(parent, start, end);
    if (parent != rootIndex()) return;
    updateGeometries();
    if (start <= firstVisibleRow() + pageRows()) viewport()->update();
}

void ResultView::updateGeometries() {
    const int page = pageRows();
    QScrollBar* bar = verticalScrollBar();
    bar->setSingleStep(1);
    bar->setPageStep(page);
    bar->setRange(0, std::max(0, rowCount() - page));
    horizontalScrollBar()->setRange(0, 0);
    QAbstractItemView::updateGeometries();
}

void ResultView::scrollContentsBy(int dx, int dy) {
    // dy counts rows, as the scroll bar does.
    if (dy > pageRows() || -dy > pageRows()) {
        viewport()->update();
    } else {
        viewport()->scroll(dx, dy * rowHeight());
    }
}

int ResultView::verticalOffset() const {
    return clampCoordinate(qint64{firstVisibleRow()} * rowHeight());
}

QModelIndex ResultView::moveCursor(CursorAction action, Qt::KeyboardModifiers) {
    const int rows = rowCount();
    if (rows == 0) return {};
    const QModelIndex current = currentIndex();
    if (action == MoveLeft || action == MoveRight) return current;
    const int page = pageRows();
    const int at = current.isValid() ? current.row() : -1;
    const int row = action == MoveHome                           ? 0
                    : action == MoveEnd                          ? rows - 1
                    : action == MovePageUp                       ? at - page
                    : action == MovePageDown                     ? at + page
                    : action == MoveUp || action == MovePrevious ? at - 1
                                                                 : at + 1;  // down, next
    return indexOfRow(std::clamp(row, 0, rows - 1));
}

void ResultView::setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) {
    if (!selectionModel()) return;
    const QRect area = rect.normalized();
    const int height = rowHeight();
    const qint64 first = firstVisibleRow();
    const qint64 top = std::max<qint64>(0, first + rowsTo(area.top(), height));
    const qint64 bottom = std::min<qint64>(rowCount() - 1, first + rowsTo(area.bottom(), height));
    QItemSelection selection;
    if (top <= bottom && area.right() >= 0 && area.left() < viewport()->width()) {
        selection.select(indexOfRow(static_cast<int>(top)), indexOfRow(static_cast<int>(bottom)));
    }
    selectionModel()->select(selection, command);
}

QRegion ResultView::visualRegionForSelection(const QItemSelection& selection) const {
    const int first = firstVisibleRow();
    const int last = first + pageRows();  // the row cut by the bottom edge too
    QRegion region;
    for (const QItemSelectionRange& range : selection) {
        if (!range.isValid() || range.parent() != rootIndex() || range.left() > modelColumn() ||
            range.right() < modelColumn()) {
            continue;
        }
        const int top = std::max(range.top(), first);
        const int bottom = std::min(range.bottom(), last);
        if (top <= bottom)
            region += visualRect(indexOfRow(top)).united(visualRect(indexOfRow(bottom)));
    }
    return region;
}

void ResultView::paintEvent(QPaintEvent* event) {
    const int rows = rowCount();
    if (rows == 0) return;
    QStyleOptionViewItem option;
    initViewItemOption(&option);
    const QStyle::State state = option.state;
    const int height = rowHeight();
    const int first = firstVisibleRow();
    const QRect area = event->rect();
    const qint64 from = std::max<qint64>(0, qint64{first} + rowsTo(area.top(), height));
    const qint64 to = std::min<qint64>(rows - 1, qint64{first} + rowsTo(area.bottom(), height));
    const QModelIndex current = currentIndex();
    const bool focus = (hasFocus() || viewport()->hasFocus()) && current.isValid();
    const QItemSelectionModel* selection = selectionModel();

    QPainter painter(viewport());
    for (qint64 row = from; row <= to; ++row) {
        const QModelIndex index = indexOfRow(static_cast<int>(row));
        option.rect = QRect(0, static_cast<int>(row - first) * height, viewport()->width(), height);
        option.state = state;
        if (selection && selection->isSelected(index)) option.state |= QStyle::State_Selected;
        if (state & QStyle::State_Enabled) option.palette.setCurrentColorGroup(QPalette::Normal);
        if (focus && index == current) option.state |= QStyle::State_HasFocus;
        option.features.setFlag(QStyleOptionViewItem::Alternate,
                                alternatingRowColors() && (row & 1) != 0);
        itemDelegateForIndex(index)->paint(&painter, option, index);
    }
}

}  // namespace kolvane
