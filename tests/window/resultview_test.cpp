// The result list's view over ten million rows: no work per row when rows
// arrive, and rows found where they are drawn.
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

  private slots:
    // Rows arriving in batches cost nothing per row already there. Then a
    // key moves to the row it names, selects it and brings it into sight,
    // drawn where indexAt finds it; a page is the rows that fit whole.
    void tenMillionRows() {
        kolvane::ResultView view;
        CountingModel model;
        view.setModel(&model);
        view.resize(300, 200);
        view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&view));
        for (int rows = 100000; rows <= 10000000; rows += 100000) {
            model.grow(rows);
            QCoreApplication::processEvents();
        }
        QVERIFY(model.indexCalls < 100000);
        const int page = view.viewport()->height() / view.visualRect(model.index(0, 0)).height();
        for (const auto& [start, key, expected] : {std::tuple{0, Qt::Key_Up, 0},
                                                   {10, Qt::Key_End, 9999999},
                                                   {9999999, Qt::Key_Down, 9999999},
                                                   {5000000, Qt::Key_PageDown, 5000000 + page}}) {
            view.setCurrentIndex(model.index(start, 0));
            QTest::keyClick(&view, key);
            const QRect rect = view.visualRect(view.currentIndex());
            QCOMPARE(view.currentIndex().row(), expected);
            QVERIFY(view.viewport()->rect().contains(rect));
            QCOMPARE(view.indexAt(rect.topLeft() + QPoint(1, 1)).row(), expected);
            QCOMPARE(view.selectionModel()->selectedIndexes(),
                     QModelIndexList{view.currentIndex()});
        }
    }
};

QTEST_MAIN(ResultViewTest)
#include "resultview_test.moc"
