// The column grid through the real window: header clicks and Space edit the
// field box, and the headers and results follow the settings.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QHeaderView>
#include <QScopeGuard>
#include <QTableView>

#include "columngrid.h"
#include "windowtest.h"

using namespace kolvane;
using namespace kolvane::test;

namespace {

const QByteArray kCustomers = "id,name,email\n1,Anna Berg,anna@x\n2,Jonas Lind,jonas@x\n";

struct ClickRow {
    const char* name;
    bool names, smart;
    QString before;
    int cursor, column;
    QString after;
};

}  // namespace

class ColumnGridTest : public QObject, WindowFixture {
    Q_OBJECT

    QTableView* grid() { return control<QTableView>(*window_, "columnGrid"); }
    QString headerText(int column) {
        return grid()->model()->headerData(column, Qt::Horizontal).toString();
    }
    QString result(int row) { return grid()->model()->index(row, 3).data().toString(); }
    void showCustomers() {
        check("showColumnsCheck")->setChecked(true);
        box("splitEdit")->setText(QStringLiteral(","));
        loadFile(file("customers.csv", kCustomers));
        QTRY_COMPARE(grid()->model()->columnCount(), 4);
    }
    void clickHeader(int column) {
        QHeaderView* header = grid()->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void headerClickAddsOrRemoves() {
        showCustomers();
        const ClickRow rows[] = {
            {"list: the first field", false, false, "", 0, 1, "2"},
            {"list: appended after a comma", false, false, "1", 0, 2, "1,3"},
            {"list: after a trailing comma", false, false, "1,", 0, 1, "1,2"},
            {"list: every occurrence goes, the rest as typed", false, false, "3, 1 ,3", 0, 2,
             " 1 "},
            {"template: at the cursor", false, true, "a-b", 1, 1, "a[2]-b"},
            {"template: every placeholder goes", false, true, "[2]-[1]-[2]", 0, 1, "-[1]-"},
            {"list with names: a name goes", true, false, "email,1", 0, 2, "1"},
            {"template with names: [name] at the cursor", true, true, "x", 1, 2, "x[email]"},
            {"template with names: [n] and [name] go", true, true, "[3] [email] [1]", 0, 2,
             "  [1]"},
        };
        for (const ClickRow& row : rows) {
            check("headerCheck")->setChecked(row.names);
            check("templateCheck")->setChecked(row.smart);
            box("fieldsEdit")->setText(row.before);
            box("fieldsEdit")->setCursorPosition(row.cursor);
            QTRY_VERIFY(headerText(1).startsWith(row.names ? "2 name" : "2"));
            clickHeader(row.column);
            QVERIFY2(text("fieldsEdit") == row.after, row.name);
        }
    }

    // Tab reaches the grid; the arrows move its current column and Space
    // toggles that field as a click does.
    void keyboardToggles() {
        showCustomers();
        check("headerCheck")->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        // The offer of settings made on loading comes between, when shown.
        while (QApplication::focusWidget()->inherits("QPushButton"))
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(check("showColumnsCheck")->hasFocus());
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QTRY_VERIFY(grid()->hasFocus());
        QTest::keyClick(grid(), Qt::Key_Right);
        QTest::keyClick(grid(), Qt::Key_Right);
        QTest::keyClick(grid(), Qt::Key_Space);
        QCOMPARE(text("fieldsEdit"), QStringLiteral("3"));
        QTRY_COMPARE(headerText(2), QStringLiteral("3 (1st)"));  // the current column stays
        QTest::keyClick(grid(), Qt::Key_Left);
        QTest::keyClick(grid(), Qt::Key_Space);
        QCOMPARE(text("fieldsEdit"), QStringLiteral("3,2"));
        QTest::keyClick(grid(), Qt::Key_Right);
        QTest::keyClick(grid(), Qt::Key_Space);
        QCOMPARE(text("fieldsEdit"), QStringLiteral("2"));
    }

    // A pipe is left to the preview and the rip: the grid says why it shows
    // nothing, and waits on no writer, so the next file loads at once.
    void pipeIsNotRead() {
        const QByteArray fifo = QFile::encodeName(path("fifo"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        // Should a reader be stuck opening it, it would hold up the next load.
        const auto unstick =
            qScopeGuard([&] { ::close(::open(fifo.constData(), O_WRONLY | O_NONBLOCK)); });
        check("showColumnsCheck")->setChecked(true);
        loadFile(path("fifo"));
        QTRY_VERIFY(control<QLabel>(*window_, "columnNoteLabel")
                        ->text()
                        .endsWith(QStringLiteral("it is no regular file")));
        showCustomers();
    }

    // A record the grid holds only in part says so in place of a result it
    // cannot know: once a cut quoted record gave ":id", a cut line nothing.
    void cutRecordsGiveNoResult() {
        const QByteArray longValue(20000, 'x');
        const std::pair<bool, QByteArray> rows[] = {
            {true, "id,\"" + longValue + "\",end\n2,b,c\n"},
            {false, "id," + longValue + ",end\n2,b,c\n"},
        };
        check("showColumnsCheck")->setChecked(true);
        box("splitEdit")->setText(QStringLiteral(","));
        box("fieldsEdit")->setText(QStringLiteral("3,1"));
        for (const auto& [quoted, text] : rows) {
            check("quotedCheck")->setChecked(quoted);
            loadFile(file(quoted ? "quoted.csv" : "plain.csv", text));
            QTRY_COMPARE(grid()->model()->rowCount(), 2);
            QCOMPARE(result(0), QStringLiteral("(record shown cut: rip to see its result)"));
            QCOMPARE(result(1), QStringLiteral("c:2"));
        }
    }

    // Names and places in the headers, and the result column, follow every
    // change of the settings; with names off the first line is a row.
    void headersAndResultsFollowSettings() {
        showCustomers();
        window_->findChild<ColumnGrid*>()->setHeaderNames(true);
        box("fieldsEdit")->setText(QStringLiteral("3,1,3"));
        QTRY_COMPARE(headerText(2), QStringLiteral("3 email (1st, 3rd)"));
        QCOMPARE(headerText(0), QStringLiteral("1 id (2nd)"));
        QCOMPARE(headerText(1), QStringLiteral("2 name"));
        QCOMPARE(result(0), QStringLiteral("anna@x:1:anna@x"));
        box("joinEdit")->setText(QStringLiteral("-"));
        QTRY_COMPARE(result(1), QStringLiteral("jonas@x-2-jonas@x"));
        window_->findChild<ColumnGrid*>()->setHeaderNames(false);
        QTRY_COMPARE(grid()->model()->rowCount(), 3);
        QCOMPARE(headerText(1), QStringLiteral("2"));
        QCOMPARE(result(0), QStringLiteral("email-id-email"));
        // A field past every record still takes its place, an empty value.
        box("fieldsEdit")->setText(QStringLiteral("5,3"));
        QTRY_COMPARE(headerText(2), QStringLiteral("3 (2nd)"));
        box("splitEdit")->setText(QStringLiteral(";"));
        QTRY_COMPARE(grid()->model()->columnCount(), 2);
    }

    // A quoted name holding the split string reads one way everywhere: the
    // grid's result, the box's outline and the rip. Once the grid read the
    // box by the command line's grammar and the rip split it at every comma.
    void quotedNameAgreesEverywhere() {
        check("showColumnsCheck")->setChecked(true);
        check("quotedCheck")->setChecked(true);
        check("headerCheck")->setChecked(true);
        box("splitEdit")->setText(QStringLiteral(","));
        const QString source = file("q.csv", "id,\"Date, local\"\r\n1,\"2020, x\"\r\n");
        loadFile(source);
        box("fieldsEdit")->setText(QStringLiteral("\"Date, local\",id"));
        QTRY_COMPARE(grid()->model()->index(0, 2).data().toString(), QStringLiteral("2020, x:1"));
        QVERIFY(!box("fieldsEdit")->toolTip().contains(QStringLiteral("empty value")));
        rip(source, QStringLiteral("\"Date, local\",id"));
        QCOMPARE(listed(), (QStringList{"Date, local:id", "2020, x:1"}));
    }
};

QTEST_MAIN(ColumnGridTest)
#include "columngrid_test.moc"
