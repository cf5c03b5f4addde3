// The result list's view over lists of up to ten million rows: rows found where
// they are drawn, keys and clicks, and no work per row when rows arrive.
#include <QScrollBar>
#include <QtTest>

#include "resultview.h"

using kolvane::ResultView;

namespace {

// Row n shows "n"; rows are announced in batches, as during a rip. Counts the
// indexes asked for, which is what laying out every row costs.
class CountingModel : public QAbstractListModel {
  public:
    mutable qint64 indexCalls = 0;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override {
        return parent.isValid() ? 0 : rows_;
    }
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override {
        ++indexCalls;
        return QAbstractListModel::index(row, column, parent);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        if (role != Qt::DisplayRole) return {};
        return QString::number(index.row());
    }
    void grow(int rows) {
        beginInsertRows(QModelIndex(), rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }

  private:
    int rows_ = 0;
};

}  // namespace

class ResultViewTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void rowsWhereDrawn_data();
    void rowsWhereDrawn();
    void keys_data();
    void keys();
    void batchesCostNothingPerRow();

  private:
    CountingModel* model_ = nullptr;
    ResultView* view_ = nullptr;
};

void ResultViewTest::init() {
    view_ = new ResultView;
    model_ = new CountingModel;
    model_->setParent(view_);
    view_->setModel(model_);
    view_->resize(300, 200);
    view_->show();
    QVERIFY(QTest::qWaitForWindowExposed(view_));
}

void ResultViewTest::cleanup() {
    delete view_;
}

void ResultViewTest::rowsWhereDrawn_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("hint");

    using V = QAbstractItemView;
    QTest::newRow("short list") << 5 << 3 << int(V::EnsureVisible);
    QTest::newRow("middle, at top") << 100000 << 50000 << int(V::PositionAtTop);
    QTest::newRow("middle, at bottom") << 100000 << 50000 << int(V::PositionAtBottom);
    QTest::newRow("middle, centred") << 100000 << 50000 << int(V::PositionAtCenter);
    QTest::newRow("ten million, last") << 10000000 << 9999999 << int(V::EnsureVisible);
    QTest::newRow("ten million, first after last") << 10000000 << 0 << int(V::EnsureVisible);
}

void ResultViewTest::rowsWhereDrawn() {
    QFETCH(int, rows);
    QFETCH(int, row);
    QFETCH(int, hint);
    model_->grow(rows);
    view_->scrollTo(model_->index(rows - 1, 0));
    const QModelIndex target = model_->index(row, 0);
    view_->scrollTo(target, QAbstractItemView::ScrollHint(hint));

    const QRect rect = view_->visualRect(target);
    QVERIFY(view_->viewport()->rect().contains(rect));
    QCOMPARE(view_->indexAt(rect.center()), target);
    QCOMPARE(view_->indexAt(rect.topLeft()), target);
    QCOMPARE(view_->indexAt(rect.bottomLeft() + QPoint(0, 1)).row(),
             row + 1 < rows && rect.bottom() + 1 < view_->viewport()->height() ? row + 1 : -1);
    // Below the last row there is no row.
    view_->scrollTo(model_->index(rows - 1, 0));
    const QRect last = view_->visualRect(model_->index(rows - 1, 0));
    if (last.bottom() + 2 < view_->viewport()->height()) {
        QVERIFY(!view_->indexAt(last.bottomLeft() + QPoint(0, 2)).isValid());
    }
}

void ResultViewTest::keys_data() {
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("expected");  // -1: one page below the start

    QTest::newRow("down") << 10 << int(Qt::Key_Down) << 11;
    QTest::newRow("up") << 10 << int(Qt::Key_Up) << 9;
    QTest::newRow("up at the top") << 0 << int(Qt::Key_Up) << 0;
    QTest::newRow("end") << 10 << int(Qt::Key_End) << 999999;
    QTest::newRow("down at the end") << 999999 << int(Qt::Key_Down) << 999999;
    QTest::newRow("home") << 500000 << int(Qt::Key_Home) << 0;
    QTest::newRow("page down") << 10 << int(Qt::Key_PageDown) << -1;
}

void ResultViewTest::keys() {
    QFETCH(int, start);
    QFETCH(int, key);
    QFETCH(int, expected);
    model_->grow(1000000);
    view_->setCurrentIndex(model_->index(start, 0));
    QTest::keyClick(view_, Qt::Key(key));

    const QModelIndex current = view_->currentIndex();
    if (expected < 0) {
        // A page is the rows that fit whole, and the new row is in sight.
        const int page = view_->viewport()->height() / view_->visualRect(current).height();
        QCOMPARE(current.row(), start + page);
    } else {
        QCOMPARE(current.row(), expected);
    }
    QVERIFY(view_->viewport()->rect().contains(view_->visualRect(current)));
    QCOMPARE(view_->selectionModel()->selectedIndexes(), QModelIndexList{current});
}

// Ten million rows arriving in batches, as a rip announces them, while the view
// shows the top: the cost must not grow with the rows already there.
void ResultViewTest::batchesCostNothingPerRow() {
    model_->indexCalls = 0;
    for (int rows = 100000; rows <= 10000000; rows += 100000) {
        model_->grow(rows);
        QCoreApplication::processEvents();
    }
    QVERIFY2(model_->indexCalls < 100000, qPrintable(QString::number(model_->indexCalls)));
    QCOMPARE(view_->verticalScrollBar()->value(), 0);
    const int page = view_->verticalScrollBar()->pageStep();
    QCOMPARE(view_->verticalScrollBar()->maximum(), 10000000 - page);
    QCOMPARE(view_->indexAt(QPoint(1, 1)).row(), 0);
}

QTEST_MAIN(ResultViewTest)
#include "resultview_test.moc"
