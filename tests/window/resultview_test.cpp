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

    // Scrolled to, a row is drawn where indexAt finds it, the next one below.
    void rowsWhereDrawn() {
        using V = QAbstractItemView;
        for (const auto& [row, hint] : {std::pair{5000000, V::PositionAtTop},
                                        {5000000, V::PositionAtBottom},
                                        {5000000, V::PositionAtCenter},
                                        {9999999, V::EnsureVisible},
                                        {0, V::EnsureVisible}}) {
            const QModelIndex target = model_.index(row, 0);
            view_.scrollTo(target, hint);
            const QRect rect = view_.visualRect(target);
            QVERIFY(view_.viewport()->rect().contains(rect));
            QCOMPARE(view_.indexAt(rect.topLeft()), target);
            const bool below =
                row + 1 < model_.rows && rect.bottom() + 1 < view_.viewport()->height();
            QCOMPARE(view_.indexAt(rect.bottomLeft() + QPoint(0, 1)).row(), below ? row + 1 : -1);
        }
    }

    // The new current row is selected and in sight; a page is the rows that
    // fit whole.
    void keys() {
        const int page = view_.viewport()->height() / view_.visualRect(model_.index(0, 0)).height();
        for (const auto& [start, key, expected] : {std::tuple{10, Qt::Key_Down, 11},
                                                   {0, Qt::Key_Up, 0},
                                                   {10, Qt::Key_End, 9999999},
                                                   {9999999, Qt::Key_Down, 9999999},
                                                   {500000, Qt::Key_Home, 0},
                                                   {10, Qt::Key_PageDown, 10 + page}}) {
            view_.setCurrentIndex(model_.index(start, 0));
            QTest::keyClick(&view_, key);
            QCOMPARE(view_.currentIndex().row(), expected);
            QVERIFY(view_.viewport()->rect().contains(view_.visualRect(view_.currentIndex())));
            QCOMPARE(view_.selectionModel()->selectedIndexes(),
                     QModelIndexList{view_.currentIndex()});
        }
    }
};

QTEST_MAIN(ResultViewTest)
#include "resultview_test.moc"
