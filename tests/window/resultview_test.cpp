// The result list's view over lists of up to ten million rows: rows found where
// they are drawn, keys, and no work per row when rows arrive.
#include <QScrollBar>
#include <QtTest>
#include <memory>

#include "resultview.h"

namespace {

// Row n shows "n"; rows are announced in batches, as during a rip. Counts the
// indexes asked for, which is what laying out every row costs.
class CountingModel : public QAbstractListModel {
  public:
    mutable qint64 indexCalls = 0;

    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows_;
    }
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        ++indexCalls;
        return QAbstractListModel::index(row, column, parent);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        return role == Qt::DisplayRole ? QVariant(QString::number(index.row())) : QVariant();
    }
    void grow(int rows) {
        beginInsertRows({}, rows_, rows - 1);
        rows_ = rows;
        endInsertRows();
    }

  private:
    int rows_ = 0;
};

}  // namespace

class ResultViewTest : public QObject {
    Q_OBJECT

    std::unique_ptr<kolvane::ResultView> view_;
    CountingModel* model_ = nullptr;  // owned by the view

  private slots:
    void init() {
        view_ = std::make_unique<kolvane::ResultView>();
        model_ = new CountingModel;
        model_->setParent(view_.get());
        view_->setModel(model_);
        view_->resize(300, 200);
        view_->show();
        QVERIFY(QTest::qWaitForWindowExposed(view_.get()));
    }
    void cleanup() { view_.reset(); }

    void rowsWhereDrawn_data() {
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

    // Scrolled to from the last row, a row is drawn where indexAt finds it;
    // below the last row there is none.
    void rowsWhereDrawn() {
        QFETCH(int, rows);
        QFETCH(int, row);
        QFETCH(int, hint);
        model_->grow(rows);
        const QModelIndex last = model_->index(rows - 1, 0);
        view_->scrollTo(last);
        const QModelIndex target = model_->index(row, 0);
        view_->scrollTo(target, QAbstractItemView::ScrollHint(hint));
        const QRect rect = view_->visualRect(target);
        const int height = view_->viewport()->height();
        QVERIFY(view_->viewport()->rect().contains(rect));
        QCOMPARE(view_->indexAt(rect.center()), target);
        QCOMPARE(view_->indexAt(rect.topLeft()), target);
        QCOMPARE(view_->indexAt(rect.bottomLeft() + QPoint(0, 1)).row(),
                 row + 1 < rows && rect.bottom() + 1 < height ? row + 1 : -1);
        view_->scrollTo(last);
        const QRect lastRect = view_->visualRect(last);
        if (lastRect.bottom() + 2 < height) {
            QVERIFY(!view_->indexAt(lastRect.bottomLeft() + QPoint(0, 2)).isValid());
        }
    }

    void keys_data() {
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

    // The new current row is the one selected, and in sight; a page is the
    // rows that fit whole.
    void keys() {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, expected);
        model_->grow(1000000);
        view_->setCurrentIndex(model_->index(start, 0));
        QTest::keyClick(view_.get(), Qt::Key(key));
        const QModelIndex current = view_->currentIndex();
        const int page = view_->viewport()->height() / view_->visualRect(current).height();
        QCOMPARE(current.row(), expected < 0 ? start + page : expected);
        QVERIFY(view_->viewport()->rect().contains(view_->visualRect(current)));
        QCOMPARE(view_->selectionModel()->selectedIndexes(), QModelIndexList{current});
    }

    // Ten million rows arriving in batches while the view shows the top: the
    // cost must not grow with the rows already there.
    void batchesCostNothingPerRow() {
        model_->indexCalls = 0;
        for (int rows = 100000; rows <= 10000000; rows += 100000) {
            model_->grow(rows);
            QCoreApplication::processEvents();
        }
        QVERIFY2(model_->indexCalls < 100000, qPrintable(QString::number(model_->indexCalls)));
        QScrollBar* bar = view_->verticalScrollBar();
        QCOMPARE(bar->value(), 0);
        QCOMPARE(bar->maximum(), 10000000 - bar->pageStep());
        QCOMPARE(view_->indexAt(QPoint(1, 1)).row(), 0);
    }
};

QTEST_MAIN(ResultViewTest)
#include "resultview_test.moc"
