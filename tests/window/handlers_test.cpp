// The handlers with scripted dialogs and real files: the path the one dialog
// remembers, loading and ">>", saving, legacy text, the path box, the question
// before closing; and what the window shows: the preview's field tooltip,
// long text shortened, a window that fits its screen.
#include <QClipboard>
#include <QProcess>
#include <QScrollArea>
#include <QScrollBar>
#include <QTextDocument>

#include "elidinglabel.h"
#include "windowtest.h"

using namespace kolvane::test;

namespace {

const QString kNoFile = QStringLiteral("No file opened...");
const QString kNothingSaved = QStringLiteral("Nothing saved...");

struct LoadRow {
    const char* name;
    QByteArray bytes;     // null: nothing there; "/": a folder
    bool cancel = false;  // the dialog is cancelled
    QString line2;        // previewLine after ">>" once loaded; null: the load fails
};

struct WrittenRow {
    const char* name;
    QByteArray head;    // the source's mark and a plain first line "a|b"
    QByteArray line;    // then 1,200 times
    QByteArray result;  // each such line's result, saved and appended
    QString as;         // how the hints say it is written
};

// The tooltip as a reader sees it, one paragraph or line break a line.
QString tipText(QWidget* widget) {
    QTextDocument document;
    document.setHtml(widget->toolTip());
    return document.toPlainText();
}

}  // namespace

class HandlersTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // One dialog object serves all three uses: each starts from the path
    // confirmed last in any of them; a cancel leaves that path. toFileCheck's
    // dialog appends, Save's replaces.
    void rememberedPath() {
        const QString source = file("source.txt", "a|1\r\n");
        answer(source);
        click("loadButton");
        chooseOutfile(path("out.txt"));
        check("toFileCheck")->click();  // unchecked: no dialog
        rip(source, "1");
        answer(std::nullopt);
        answer(path("saved.txt"));
        click("saveButton");
        click("saveButton");
        QCOMPARE(dialogs_.shown,
                 (QStringList{"open ", "append " + source, "save " + path("out.txt"),
                              "save " + path("out.txt")}));
    }

    // A failed load has put the path into sourcePathEdit (a cancel has not); previewLine and
    // previewLineNumber keep what the earlier load and ">>" left, and ">>" goes on
    // from there. Success writes no status text.
    void load() {
        const LoadRow rows[] = {
            {"lines", "one|1\r\ntwo\r\n", false, "two"},
            {"empty file", "", false, {}},
            {"missing", {}, false, {}},
            {"a folder", "/", false, {}},
            {"cancelled", "x\r\n", true, {}},
        };
        for (const LoadRow& row : rows) {
            open();
            const QString earlier = file("earlier.txt", "p1\r\np2\r\np3\r\n");
            answer(earlier);
            click("loadButton");
            click("nextLineButton");
            click("saveButton");  // an earlier status text to keep
            if (row.bytes == "/")
                QVERIFY(QDir().mkpath(path(row.name)));
            else if (!row.bytes.isNull())
                file(row.name, row.bytes);
            answer(row.cancel ? std::nullopt : std::optional(path(row.name)));
            click("loadButton");
            const bool loaded = !row.line2.isNull();
            QCOMPARE(text("sourcePathEdit"), row.cancel ? earlier : path(row.name));
            QCOMPARE(status(), loaded ? kNothingSaved : kNoFile);
            click("nextLineButton");
            QCOMPARE(text("previewLine"), loaded ? row.line2 : row.cancel ? "p3" : "p2");
        }
    }

    // A compressed source shows and rips the text it holds.
    void compressedSource() {
        const QString plain = file("c.txt", "one|1\r\ntwo|2\r\n");
        QCOMPARE(QProcess::execute("gzip", {plain}), 0);
        answer(plain + ".gz");
        click("loadButton");
        QCOMPARE(status(), QString());
        click("nextLineButton");
        QCOMPARE(text("previewLine"), QStringLiteral("two|2"));
        rip(plain + ".gz", "2");
        QCOMPARE(listed(), (QStringList{"1", "2"}));
    }

    // ">>" before any load shows line 1; past the end it keeps the last line
    // and still counts; a file that cannot be read says so. Enter in the
    // path box loads as the open dialog does; an edit drops the last file's
    // line, so ">>" starts the new file at line 1.
    void previewAndPathBox() {
        box("sourcePathEdit")->setText(file("a.txt", "a1\r\na2\r\n"));
        QStringList seen;
        for (int i = 0; i < 3; ++i) {
            click("nextLineButton");
            seen << text("previewLine");
        }
        QCOMPARE(seen, (QStringList{"a1", "a2", "a2"}));
        box("sourcePathEdit")->clear();
        QTest::keyClicks(box("sourcePathEdit"), file("b.txt", "b1\r\nb2\r\n"));
        QCOMPARE(text("previewLine"), QString());
        QVERIFY(!box("previewLine")->toolTip().contains("a2"));
        click("nextLineButton");
        QCOMPARE(text("previewLine"), QStringLiteral("b1"));
        click("nextLineButton");
        QTest::keyClick(box("sourcePathEdit"), Qt::Key_Return);
        QCOMPARE(text("previewLine"), QStringLiteral("b1"));
        click("nextLineButton");
        QCOMPARE(text("previewLine"), QStringLiteral("b2"));
        QCOMPARE(status(), QString());
        box("sourcePathEdit")->setText(path("missing.txt"));
        click("nextLineButton");
        QCOMPARE(status(), kNoFile);
        QVERIFY(statusTip().contains("missing.txt"));
    }

    // The list's bytes, not what it shows, are saved, and copied decoded;
    // success says so. Empty, nothing is asked. A failed write says
    // "Nothing saved..." with its reason and keeps the file there.
    // The source itself is refused.
    void save() {
        bool failing = false;
        auto services = testServices();
        services.writeBlock = [&](QFileDevice& file, const char* data, qint64 size) {
            return failing ? file.write(data, size / 2) < 0 : file.write(data, size) == size;
        };
        open({}, std::move(services));
        click("saveButton");
        QCOMPARE(status(), kNothingSaved);
        rip(file("s.txt", "\x80 5|1\r\ncaf\xe9|\r\n\xc3\xa9t\xc3\xa9|x\r\n"), "1,2");
        QCOMPARE(listed(), (QStringList{"\u20ac 5:1", "caf\u00e9:", "\u00e9t\u00e9:x"}));
        list()->setCurrentIndex(list()->model()->index(1, 0));
        QTest::keySequence(list(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), "caf\u00e9:");
        answer(path("saved.txt"));
        click("saveButton");
        const QByteArray saved("\x80 5:1\r\ncaf\xe9:\r\n\xc3\xa9t\xc3\xa9:x\r\n");
        QCOMPARE(readFile(path("saved.txt")), saved);
        QCOMPARE(status(), QStringLiteral("3 values saved"));
        failing = true;
        answer(path("saved.txt"));
        click("saveButton");
        QCOMPARE(status(), kNothingSaved);
        QVERIFY(!statusTip().isEmpty());
        QCOMPARE(readFile(path("saved.txt")), saved);
        // A good save after a failed one says so, not what the failure left.
        failing = false;
        answer(path("saved.txt"));
        click("saveButton");
        QCOMPARE(status(), QStringLiteral("3 values saved"));
        // Never over the source, however the dialog is answered.
        const QByteArray source = readFile(path("s.txt"));
        answer(path("s.txt"));
        click("saveButton");
        QCOMPARE(status(), "Not saved: " + path("s.txt") + " is the source file itself");
        QCOMPARE(readFile(path("s.txt")), source);
    }

    // Where results went and how they are encoded, in the hint above the
    // status: a save names its file and count, a rip to a file names the file,
    // the lines it added and those it holds now. Text that was decoded is
    // written as UTF-8, any other as its bytes, alike in both.
    void whereResultsWent() {
        const WrittenRow rows[] = {
            {"UTF-8", "a|b\r\n", "a|\xc3\xa9\r\n", "\xc3\xa9:a\r\n", " as UTF-8"},
            {"UTF-16 with its mark",
             QByteArray("\xff\xfe"
                        "a\0|\0b\0\r\0\n\0",
                        12),
             QByteArray("a\0|\0\xe9\0\r\0\n\0", 10), "\xc3\xa9:a\r\n", " as UTF-8"},
            {"Windows-1252 after a plain first line", "a|b\r\n", "a|caf\xe9\r\n", "caf\xe9:a\r\n",
             " as the source's own bytes (not UTF-8)"},
        };
        auto* hint = control<QLabel>(*window_, "statusHintLabel");
        for (const WrittenRow& row : rows) {
            const QString source = file("s.txt", row.head + row.line.repeated(1200));
            const QByteArray result = "b:a\r\n" + row.result.repeated(1200);
            loadFile(source);  // shown as it is decoded
            rip(source, "2,1");
            answer(path("saved.txt"));
            click("saveButton");
            QCOMPARE(readFile(path("saved.txt")), result);
            QVERIFY2(hint->text() == "saved 1,201 lines to saved.txt" + row.as, row.name);
            // Longer than its line, the hint wraps whole.
            const QString name = QString(70, 'o') + ".txt", out = file(name, "x\r\ny\r\n");
            chooseOutfile(out);
            rip(source, "2,1");
            QCOMPARE(readFile(out), "x\r\ny\r\n" + result);
            QTRY_COMPARE(hint->text(), "appended 1,201 lines to " + name + row.as + ", now 1,203");
            QTRY_VERIFY(showsWhole(hint));
            QCOMPARE(check("toFileCheck")->toolTip(), "Results are appended to " + out);
            check("toFileCheck")->click();
        }
    }

    // Closing, and a rip that would replace them, ask while the list holds
    // results not saved since the last rip: Cancel keeps the window and the
    // list, Save saves first, Discard goes on.
    void unsavedResults() {
        QStringList asked;
        auto reply = QMessageBox::Cancel;
        auto services = testServices();
        services.askUnsaved = [&](QWidget*, kolvane::UnsavedBefore before) {
            asked << (before == kolvane::UnsavedBefore::closing ? "close" : "rip");
            return reply;
        };
        open({}, std::move(services));
        QVERIFY(window_->close());  // empty list
        window_->show();
        rip(file("s.txt", numberedLines(2)), "1");
        QVERIFY(!window_->close());
        rip(path("s.txt"), "2");
        QCOMPARE(listed(), (QStringList{"a1", "a2"}));
        reply = QMessageBox::Save;
        answer(path("saved.txt"));
        QVERIFY(window_->close());
        QCOMPARE(readFile(path("saved.txt")), QByteArray("a1\r\na2\r\n"));
        window_->show();
        QVERIFY(window_->close());  // saved since
        window_->show();
        rip(path("s.txt"), "2");  // saved since: nothing asked
        reply = QMessageBox::Discard;
        QVERIFY(window_->close());
        window_->show();
        chooseOutfile(path("out.txt"));
        rip(path("s.txt"), "2");
        QCOMPARE(readFile(path("out.txt")), QByteArray("b1\r\nb2\r\n"));
        QVERIFY(window_->close());  // file to file: nothing in the list
        QCOMPARE(asked, (QStringList{"close", "rip", "close", "close", "rip"}));
    }

    // Numbered fields and the result line, data never markup, following
    // every setting and ">>"; a skipped line says so.
    void fieldTip() {
        auto tip = [&] { return tipText(box("previewLine")); };
        box("splitEdit")->setText(",");
        loadFile(file("s.txt", "<b>x</b>,uniform@delta.com,&amp;\r\na, ,c\r\n"));
        QTest::keyClicks(box("fieldsEdit"), "2,1");
        QTest::keyClicks(box("joinEdit"), "-");
        QCOMPARE(tip(),
                 "Line 1 of the source file\n[1] <b>x</b>   [2] uniform@delta.com   [3] "
                 "&amp;\nResult: uniform@delta.com:-<b>x</b>");
        check("skipEmptyCheck")->click();
        click("nextLineButton");
        QVERIFY(tip().endsWith("\nResult: none, the line is skipped (a value is blank)."));
    }

    // A line of 100 MB: the preview shows its start with a mark, says which
    // line it is, and a key in the field box still updates its tooltip. A
    // list row cut short shows more in a tooltip, a screenful at most; the
    // bytes saved are whole. A status line cut short shows whole in its tip.
    void longText() {
        QFile huge(path("huge.txt"));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.write("one\r\nstart|") == 11);
        for (int i = 0; i < 100; ++i) huge.write(QByteArray(1 << 20, 'x'));
        huge.close();
        loadFile(huge.fileName());
        click("nextLineButton");
        QTRY_VERIFY(text("previewLine").startsWith("start|x") &&
                    text("previewLine").endsWith(QChar(0x2026)));
        QVERIFY(text("previewLine").size() < 1000 && box("previewLine")->cursorPosition() == 0);
        QTest::keyClicks(box("fieldsEdit"), "1");
        QTRY_VERIFY(tipText(box("previewLine")).endsWith("Result: start"));
        QVERIFY(
            tipText(box("previewLine")).startsWith("Line 2 of the source file, its first 64 KiB"));
        QVERIFY(box("previewLine")->toolTip().size() < 10000);
        rip(huge.fileName(), "2,1");
        QVERIFY(listed()[1].size() < 1000 && listed()[1].endsWith(QChar(0x2026)));
        auto rowAt = [&](int row) {
            return list()->visualRect(list()->model()->index(row, 0)).center();
        };
        QCOMPARE(tipAt(list()->viewport(), rowAt(0)), QString());  // ":one" fits
        const QString rowTip = tipAt(list()->viewport(), rowAt(1));
        QVERIFY(rowTip.startsWith("xxx") && rowTip.count('\n') < 60 && rowTip.size() < 3000);
        list()->setCurrentIndex(list()->model()->index(1, 0));
        QTest::keySequence(list(), QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text().size(), (100 << 20) + 6);
        answer(path("saved.txt"));
        click("saveButton");
        QTRY_VERIFY(control(*window_, "saveButton")->isEnabled());
        QCOMPARE(QFileInfo(path("saved.txt")).size(), qint64(100 << 20) + 14);
        rip(path(QString(200, 'm')), "1");
        auto* statusLine = control<kolvane::ElidingLabel>(*window_, "statusLabel");
        QVERIFY(statusLine->elided());
        QVERIFY(tipAt(statusLine).startsWith(status()));
    }

    // Where the controls fit, nothing scrolls; nor on a screen of 640 x 400
    // (1280 x 800 at 200%), with the column grid or without: the window fits
    // it, the list, the grid and the hint give
    // up room, and Rip, >>, Save and the status line are in sight. Typing in
    // the list searches nothing.
    void fitsTheScreen() {
        auto* scroll = control<QScrollArea>(*window_, "Scroll");
        const QRect small(0, 0, 640, 400), fits(QPoint(), window_->size());
        for (const auto& [screen, grid] : std::initializer_list<std::pair<QRect, bool>>{
                 {fits, false}, {fits, true}, {small, false}, {small, true}}) {
            check("showColumnsCheck")->setChecked(grid);
            const QRect placed =
                kolvane::fitOnScreen(window_->size(), window_->minimumSizeHint(), screen);
            QCOMPARE(placed, screen);
            window_->setGeometry(placed);
            QApplication::processEvents();  // the layout follows
            QVERIFY(!scroll->horizontalScrollBar()->isVisible());
            QVERIFY(!scroll->verticalScrollBar()->isVisible());
            for (const char* name : {"ripButton", "nextLineButton", "saveButton", "statusLabel"}) {
                QWidget* widget = control(*window_, name);
                const QRect shown(widget->mapTo(scroll->viewport(), QPoint()), widget->size());
                QVERIFY2(scroll->viewport()->rect().contains(shown), name);
            }
        }
        rip(file("s.txt", "b\r\na\r\n"), "1");
        list()->setCurrentIndex(list()->model()->index(0, 0));
        QTest::keyClicks(list(), "a");
        QCOMPARE(list()->currentIndex().row(), 0);
    }
};

QTEST_MAIN(HandlersTest)
#include "handlers_test.moc"
