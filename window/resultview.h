#pragma once

#include <QListView>
#include <QScrollBar>
#include <algorithm>

namespace kolvane {

// A QListView for lists of millions of rows of one height, one column, top to
// bottom. QListView lays out every row again whenever rows are added: about
// 30 ns and 8 bytes a row here, a third of a second and 80 MB at ten million
// rows, and a rip adds rows every few milliseconds. Here a row's place is
// computed from its number instead, so adding rows, scrolling and painting cost
// the same whatever the list holds, and the view keeps nothing per row.
class ResultView : public QListView {
    Q_OBJECT

  public:
    explicit ResultView(QWidget* parent = nullptr);

    QRect visualRect(const QModelIndex& index) const override;
    void scrollTo(const QModelIndex& index, ScrollHint hint = EnsureVisible) override;
    QModelIndex indexAt(const QPoint& point) const override;
    void doItemsLayout() override;
    // Type-to-search would read row after row of a list of millions, with
    // the window frozen meanwhile: off.
    void keyboardSearch(const QString&) override {}

  protected:
    // A row cut short at the right edge shows its whole text in a tooltip,
    // shortened to what a screen can hold.
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void rowsInserted(const QModelIndex& parent, int start, int end) override;
    void paintEvent(QPaintEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void updateGeometries() override;
    int horizontalOffset() const override { return 0; }
    int verticalOffset() const override;
    QModelIndex moveCursor(CursorAction action, Qt::KeyboardModifiers modifiers) override;
    void setSelection(const QRect& rect, QItemSelectionModel::SelectionFlags command) override;
    QRegion visualRegionForSelection(const QItemSelection& selection) const override;

  private:
    int rowCount() const { return model() ? model()->rowCount(rootIndex()) : 0; }
    // Height of every row, from the delegate's size of the first one.
    int rowHeight() const;
    int firstVisibleRow() const { return verticalScrollBar()->value(); }
    // Rows that fit the viewport whole; at least 1.
    int pageRows() const { return std::max(1, viewport()->height() / rowHeight()); }
    QModelIndex indexOfRow(int row) const {
        return model() ? model()->index(row, modelColumn(), rootIndex()) : QModelIndex();
    }

    mutable int rowHeight_ = 0;  // 0: not measured yet
};

}  // namespace kolvane
