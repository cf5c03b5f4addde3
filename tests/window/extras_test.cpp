// The window's conveniences: dropping a file, the preview's field tooltip,
// the keys, the progress bar, the focus order, and `kolvane FILE`.
#include <QMimeData>
#include <QTextDocument>

#include "commandline.h"
#include "windowtest.h"

using namespace kolvane::test;

namespace {

// Drags `urls` onto `target` and drops them, offering a move or a copy; true
// when both were taken, as a copy.
bool dropOn(QWidget* target, const QList<QUrl>& urls) {
    QMimeData mime;
    mime.setUrls(urls);
    mime.setText(urls.front().toString());  // file managers offer the path as text too
    const QPoint at = target->rect().center();
    const Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction;
    QDragEnterEvent enter(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    QDropEvent drop(at, offered, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return enter.isAccepted() && drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

// The tooltip as a reader sees it, one paragraph or line break a line.
QString tipText(QWidget* widget) {
    QTextDocument document;
    document.setHtml(widget->toolTip());
    return document.toPlainText();
}

struct TipRow {
    const char* name;
    QByteArray line;
    QString fields;
    bool skip;
    QString tip;
};

}  // namespace

class ExtrasTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // Taken, a drop loads as a confirmed open dialog does, without one;
    // several files, a folder or a web address are refused, and so is any
    // drop while a rip runs.
    void drop() {
        const QUrl local = QUrl::fromLocalFile(file("s.txt", "first|line\r\n"));
        for (const QList<QUrl>& refused :
             {QList{local, local}, QList{QUrl::fromLocalFile(path("."))},
              QList{QUrl("https://example.org/s.txt")}}) {
            QVERIFY(!dropOn(window_.get(), refused));
        }
        QCOMPARE(text("Text1"), QString());
        QVERIFY(dropOn(box("Text2"), {local}));  // the window's, not pasted into the box
        QCOMPARE(text("Text2"), QStringLiteral("first|line"));
        bool taken = true;
        rip(file("t.txt", "x\r\ny\r\n"), "1",
            [&](int) { taken = dropOn(window_.get(), {QUrl::fromLocalFile(path("s.txt"))}); });
        QVERIFY(!taken);
        QCOMPARE(text("Text1"), path("t.txt"));
        QVERIFY(dialogs_.shown.isEmpty());
    }

    void fieldTip() {
        const QByteArray many = QByteArray(50, 'v') +
                                ",2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,"
                                "19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,"
                                "41,42,43,44,45";
        const TipRow rows[] = {
            {"numbered fields, result", "0,uniform@delta.com,x y", "2,1", false,
             "[1] 0   [2] uniform@delta.com   [3] x y\nResult: uniform@delta.com:0"},
            {"skipped", "a, ,c", "2", true,
             "[1] a   [2]     [3] c\nResult: none, the line is skipped (a value is blank)."},
            {"markup stays text", "<b>x</b>,&amp;", "2,1", false,
             "[1] <b>x</b>   [2] &amp;\nResult: &amp;:<b>x</b>"},
        };
        box("SplitChar")->setText(",");
        for (const TipRow& row : rows) {
            box("RipFields")->setText(row.fields);
            check("Check1")->setChecked(row.skip);
            window_->loadSource(file("s.txt", row.line + "\r\n"));
            QCOMPARE(tipText(box("Text2")), "Line 1 of the source file\n" + row.tip);
        }
        // A long value is cut, at most 40 of 45 fields are shown, and the tip
        // breaks its lines between fields, at 90 characters at most.
        window_->loadSource(file("s.txt", many));
        const QStringList lines = tipText(box("Text2")).split('\n').mid(1);
        QVERIFY(lines[0].startsWith("[1] " + QString(31, 'v') + QChar(0x2026) + "   [2] 2   "));
        QVERIFY(lines[4].endsWith("[39] 39   [40] 40"));
        QCOMPARE(lines[5], QStringLiteral("45 fields in all; the first 40 are shown."));
        for (const QString& line : lines) QVERIFY(line.size() <= 90);
    }

    // The tip follows every setting and the preview; with an empty field box
    // it reuses the last parse, as a rip does.
    void fieldTipFollows() {
        auto result = [&] { return tipText(box("Text2")).section('\n', -1); };
        window_->loadSource(file("s.txt", "a|b|c\r\nx|y|z\r\n"));
        QCOMPARE(result(), QStringLiteral("Result: "));
        QTest::keyClicks(box("RipFields"), "3,1");
        QTest::keyClicks(box("FieldSep"), "-");
        QCOMPARE(result(), QStringLiteral("Result: c:-a"));
        click("Command1");
        QCOMPARE(result(), QStringLiteral("Result: z:-x"));
        check("Check4")->click();  // "3,1" as a template
        QCOMPARE(result(), QStringLiteral("Result: 3,1"));
        check("Check4")->click();
        rip(path("s.txt"), "2");
        box("RipFields")->clear();
        QCOMPARE(result(), QStringLiteral("Result: y"));
    }

    // Idle, each key is its button.
    void keys() {
        rip(file("s.txt", numberedLines(2)), "1");  // a list for Ctrl+S
        answer(std::nullopt);
        answer(std::nullopt);
        box("RipFields")->setText("2");
        for (const char* keys : {"Ctrl+O", "Ctrl+S", "F5"})
            QTest::keySequence(box("RipFields"), QKeySequence(QString::fromLatin1(keys)));
        QCOMPARE(dialogs_.shown, (QStringList{"open ", "save "}));
        QCOMPARE(listed(), (QStringList{"b1", "b2"}));
    }

    void tabOrder() {
        QCOMPARE(QApplication::focusWidget(), box("Text1"));
        const QStringList expected{"Loadfile", "Dorip",     "List1",  "Saverip", "SplitChar",
                                   "FieldSep", "RipFields", "Check1", "Text2",   "Command1",
                                   "Check2",   "Check3",    "Check4", "Text1"};
        QStringList visited;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << QApplication::focusWidget()->objectName();
        }
        QCOMPARE(visited, expected);
    }

    // A relative FILE is taken from the current folder; a usage error or
    // --help ends the program at once with its code.
    void commandLine() {
        const QString before = QDir::currentPath();
        QDir::setCurrent(dir_->path());
        const auto relative = kolvane::readCommandLine({"kolvane", "s.txt"});
        QDir::setCurrent(before);
        QCOMPARE(relative.source, path("s.txt"));
        QVERIFY(!relative.exitNow);
        QCOMPARE(kolvane::readCommandLine({"kolvane", "a", "b"}).exitNow, 2);
        QCOMPARE(kolvane::readCommandLine({"kolvane", "--help"}).exitNow, 0);
        QVERIFY(kolvane::readCommandLine({"kolvane"}).source.isEmpty());
    }
};

QTEST_MAIN(ExtrasTest)
#include "extras_test.moc"
