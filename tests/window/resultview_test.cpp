// The result list's view over lists of up to ten million rows: rows found
// where they are drawn, keys, and no work per row when rows arrive.
#include <QScrollBar>
#include <QtTest>

#include "resultview.h"

namespace {

// Row n shows "n"; rows arrive in batches, as during a rip. Counts the
// indexes asked for, which is what laying out every row costs.
struct CountingModel : QAbstractListModel {
    mutable qint64 indexCalls = 0;
    int rows = 0;
    int rowCount(const QModelIndex& parent = {}) const override {
        return parent.isValid() ? 0 : rows;
    }
    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override {
        ++indexCalls;
        return QAbstractListModel::index(row, column, parent);
    }
    QVariant data(const QModelIndex& index, int role) const override {
        return role == Qt::DisplayRole ? QVariant(QString::number(index.row())) : QVariant();
    }
    void grow(int to) {
        beginInsertRows({}, rows, to - 1);
        rows = to;
        endInsertRows();
    }
};

}  // namespace

class ResultViewTest : public QObject {
    Q_OBJECT

    kolvane::ResultView view_;
    CountingModel model_;

  private slots:
    void initTestCase() {
        view_.setModel(&model_);
        view_.resize(300, 200);
        view_.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view_));
    }

    // Ten million rows arriving in batches while the view shows the top: the
    // cost must not grow with the rows already there.
    void batchesCostNothingPerRow() {
        for (int rows = 100000; rows <= 10000000; rows += 100000) {
            model_.grow(rows);
            QCoreApplication::processEvents();
        }
        QVERIFY(model_.indexCalls < 100000);
        QCOMPARE(view_.verticalScrollBar()->maximum(),
                 10000000 - view_.verticalScrollBar()->pageStep());
    }

    // A key moves to the row it names, selects it and brings it into sight,
    // drawn where indexAt finds it; a page is the rows that fit whole.
    void keys() {
        const int page = view_.viewport()->height() / view_.visualRect(model_.index(0, 0)).height();
        for (const auto& [start, key, expected] : {std::tuple{0, Qt::Key_Up, 0},
                                                   {10, Qt::Key_End, 9999999},
                                                   {9999999, Qt::Key_Down, 9999999},
                                                   {5000000, Qt::Key_PageDown, 5000000 + page}}) {
            view_.setCurrentIndex(model_.index(start, 0));
            QTest::keyClick(&view_, key);
            const QRect rect = view_.visualRect(view_.currentIndex());
            QCOMPARE(view_.currentIndex().row(), expected);
            QVERIFY(view_.viewport()->rect().contains(rect));
            QCOMPARE(view_.indexAt(rect.topLeft() + QPoint(1, 1)).row(), expected);
            QCOMPARE(view_.selectionModel()->selectedIndexes(),
                     QModelIndexList{view_.currentIndex()});
        }
    }
};

QTEST_MAIN(ResultViewTest)
#include "resultview_test.moc"
