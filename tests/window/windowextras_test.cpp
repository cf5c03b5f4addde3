// The window's conveniences: the progress bar, Escape to stop a rip, dropping
// a file, the preview's field tooltip, "\t" in the separator boxes, the
// keyboard, and `kolvane FILE`.
#include <sys/stat.h>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QTextDocument>

#include "commandline.h"
#include "windowtest.h"

using namespace kolvane::test;

namespace {

const char* const kControls[] = {"Text1",  "Loadfile", "Dorip",     "List1",    "Saverip",
                                 "Frame1", "Check2",   "SplitChar", "FieldSep", "RipFields",
                                 "Check1", "Check3",   "Check4",    "Text2",    "Command1"};

// Drags `urls` onto `target` and drops them, offering a move or a copy; true
// when the drag and the drop were both taken, and taken as a copy.
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

// Rows: what it is dropped on ("Kolvane" for the window), the files (names in
// the temporary folder, or URLs), whether the drop is taken, the status text.
using DropRow = std::tuple<QString, QStringList, bool, QString>;
// Rows: the previewed line, split string, fields, smartcombine, skip rule, the
// tooltip as plain text.
using TipRow = std::tuple<QByteArray, QString, QString, bool, bool, QString>;

}  // namespace

class WindowExtrasTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    void progress_data() {
        QTest::addColumn<bool>("pipe");
        QTest::addColumn<bool>("hideList");
        QTest::newRow("file: bytes read of its size") << false << false;
        QTest::newRow("file, list hidden") << false << true;
        QTest::newRow("pipe: size unknown, busy") << true << false;
    }

    // Slim, shown only during the rip, moving and covering no control.
    void progress() {
        QFETCH(bool, pipe);
        QFETCH(bool, hideList);
        // Three of the reader's 256 KiB blocks, so that progress moves mid-rip.
        constexpr int kLines = 700;
        const QString plain = file("s.txt", ("1|" + QByteArray(990, 'x') + '\n').repeated(kLines));
        const QString from = pipe ? path("fifo") : plain;
        // The shell opens the pipe for writing, so that nothing here blocks on it.
        QProcess writer;
        if (pipe) {
            QCOMPARE(::mkfifo(QFile::encodeName(from).constData(), 0600), 0);
            writer.start("sh", {"-c", "cat \"$0\" > \"$1\"", plain, from});
        }
        check("Check3")->setChecked(hideList);
        auto* bar = control<QProgressBar>(*window_, "RipProgress");
        QHash<QString, QRect> before;
        for (const char* name : kControls)
            before[name] = control<QWidget>(*window_, name)->geometry();
        QList<int> perMille;  // -1: busy
        bool slimAndShown = true;
        QStringList moved;
        rip(from, "1", [&](int pass) {
            slimAndShown = slimAndShown && bar->isVisible() && bar->height() <= 6;
            perMille << (bar->maximum() == 0 ? -1 : bar->value() * 1000 / bar->maximum());
            if (pass != 2) return;
            for (const char* name : kControls) {
                const auto* widget = control<QWidget>(*window_, name);
                const bool covered =
                    widget->isVisible() && widget->geometry().intersects(bar->geometry());
                if (widget->geometry() != before[name] || covered) moved << name;
            }
        });
        writer.waitForFinished();
        QCOMPARE(listed().size(), kLines);
        QVERIFY(slimAndShown);
        QCOMPARE(moved, QStringList());
        QVERIFY(!bar->isVisible());
        QCOMPARE(perMille.size(), kLines);
        if (pipe) {
            QCOMPARE(perMille, QList<int>(kLines, -1));
            return;
        }
        QVERIFY2(perMille.front() > 0 && perMille.front() < 500,
                 qPrintable(QString::number(perMille.front())));
        QVERIFY(std::is_sorted(perMille.begin(), perMille.end()));
        QCOMPARE(perMille.back(), 1000);
    }

    void escapeStops_data() {
        QTest::addColumn<bool>("toFile");
        QTest::newRow("into the list") << false;
        QTest::newRow("file to file") << true;
    }

    // Stopped at the pass where Escape came, before line 5; the window idle as
    // after any rip. Idle, Escape does nothing.
    void escapeStops() {
        QFETCH(bool, toFile);
        const QString out = file("out.txt", "before\r\n");
        setOutfile(out);
        check("Check2")->setChecked(toFile);
        check("Check3")->setChecked(true);
        const int passes = rip(file("s.txt", numberedLines(40)), "2", [&](int pass) {
            if (pass == 5) QTest::keyClick(window_.get(), Qt::Key_Escape);
        });
        QCOMPARE(passes, 5);
        const QStringList kept{"b1", "b2", "b3", "b4"};
        QCOMPARE(listed(), toFile ? QStringList() : kept);
        QCOMPARE(readFile(out), "before\r\n" + (toFile ? kept.join("\r\n").toUtf8() + "\r\n" : ""));
        QCOMPARE(window_->ripState().Ripcount, 4);
        QCOMPARE(status(), QStringLiteral("4 values ripped (stopped)"));
        QCOMPARE(buttonsOn(), 4);
        QVERIFY(control<QListView>(*window_, "List1")->isVisible());
        QVERIFY(!control<QProgressBar>(*window_, "RipProgress")->isVisible());

        QTest::keyClick(box("RipFields"), Qt::Key_Escape);
        QCOMPARE(status(), QStringLiteral("4 values ripped (stopped)"));
        QCOMPARE(listed(), toFile ? QStringList() : kept);
    }

    void drop_data() {
        QTest::addColumn<DropRow>("row");
        // clang-format off
        QTest::newRow("one file") << DropRow{"Kolvane", {"s.txt"}, true, ""};
        QTest::newRow("onto a box: the window's, not pasted") << DropRow{"Text2", {"s.txt"}, true, ""};
        QTest::newRow("missing file") << DropRow{"Kolvane", {"gone.txt"}, true, "No file opened..."};
        QTest::newRow("two files") << DropRow{"Kolvane", {"s.txt", "t.txt"}, false, ""};
        QTest::newRow("a folder") << DropRow{"Kolvane", {"."}, false, ""};
        QTest::newRow("a web address") << DropRow{"Text1", {"https://example.org/s.txt"}, false, ""};
        // clang-format on
    }

    // Taken, a drop loads as a confirmed open dialog does, without one.
    void drop() {
        QFETCH(DropRow, row);
        const auto& [target, files, taken, statusText] = row;
        file("s.txt", "first|line\r\nsecond\r\n");
        file("t.txt", "other\r\n");
        window_->ripState().Previewline = 7;
        QList<QUrl> urls;
        for (const QString& f : files)
            urls << (f.contains(':') ? QUrl(f) : QUrl::fromLocalFile(path(f)));
        QWidget* on =
            target == "Kolvane" ? window_.get() : control<QWidget>(*window_, qPrintable(target));
        QCOMPARE(dropOn(on, urls), taken);
        const bool loaded = taken && statusText.isEmpty();
        QCOMPARE(text("Text1"), taken ? path(files.front()) : QString());
        QCOMPARE(text("Text2"), loaded ? QStringLiteral("first|line") : QString());
        QCOMPARE(window_->ripState().Previewline, loaded ? 1 : 7);
        QCOMPARE(status(), statusText);
        QVERIFY(dialogs_->shown().isEmpty());
    }

    // While a rip runs, the keys' buttons are disabled and a drop is refused:
    // none of them does anything. Idle again, the same drop loads.
    void ignoredDuringRip() {
        const QString other = file("other.txt", "x|y\r\n");
        const QString source = file("s.txt", numberedLines(4));
        bool taken = true;
        const int passes = rip(source, "1", [&](int pass) {
            if (pass != 2) return;
            for (const char* keys : {"Ctrl+O", "Ctrl+S", "F5"}) {
                QTest::keySequence(box("RipFields"), QKeySequence(QString::fromLatin1(keys)));
            }
            taken = dropOn(window_.get(), {QUrl::fromLocalFile(other)});
        });
        QCOMPARE(passes, 4);
        QVERIFY(!taken);
        QVERIFY(dialogs_->shown().isEmpty());
        QCOMPARE(text("Text1"), source);
        QCOMPARE(text("Text2"), QString());
        QCOMPARE(listed(), (QStringList{"a1", "a2", "a3", "a4"}));
        QVERIFY(dropOn(window_.get(), {QUrl::fromLocalFile(other)}));
        QCOMPARE(text("Text2"), QStringLiteral("x|y"));
    }

    void fieldTip_data() {
        QTest::addColumn<TipRow>("row");
        // clang-format off
        QTest::newRow("numbered fields, result") << TipRow{"0|uniform@delta.com|x y", "|", "2,1", false, false, "[1] 0   [2] uniform@delta.com   [3] x y\nResult: uniform@delta.com:0"};
        QTest::newRow("template, split of two") << TipRow{"a::b::c", "::", "[3]-[1]", true, false, "[1] a   [2] b   [3] c\nResult: c-a"};
        QTest::newRow("skipped") << TipRow{"a| |c", "|", "2", false, true, "[1] a   [2]     [3] c\nResult: none, the line is skipped (a value is blank)."};
        QTest::newRow("markup in the data stays text") << TipRow{"<b>x</b>|&amp;", "|", "2,1", false, false, "[1] <b>x</b>   [2] &amp;\nResult: &amp;:<b>x</b>"};
        QTest::newRow("\\t split, UTF-8") << TipRow{"caf\xc3\xa9\t\xe2\x82\xac", "\\t", "2", false, false, QStringLiteral("[1] caf\u00e9   [2] \u20ac\nResult: \u20ac")};

        // Lines of at most 90 characters, broken between two fields only.
        const QByteArray line = QByteArray(50, 'v') + ",2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21,22,23,24,25,26,27,28,29,30,31,32,33,34,35,36,37,38,39,40,41,42,43,44,45";
        QTest::newRow("long value cut, 40 of 45 fields") << TipRow{line, ",", "45", false, false,
            "[1] " + QString(31, 'v') + QChar(0x2026) + "   [2] 2   [3] 3   [4] 4   [5] 5   [6] 6   [7] 7\n"
            "[8] 8   [9] 9   [10] 10   [11] 11   [12] 12   [13] 13   [14] 14   [15] 15   [16] 16\n"
            "[17] 17   [18] 18   [19] 19   [20] 20   [21] 21   [22] 22   [23] 23   [24] 24   [25] 25\n"
            "[26] 26   [27] 27   [28] 28   [29] 29   [30] 30   [31] 31   [32] 32   [33] 33   [34] 34\n"
            "[35] 35   [36] 36   [37] 37   [38] 38   [39] 39   [40] 40\n"
            "45 fields in all; the first 40 are shown.\nResult: 45"};
        // clang-format on
    }

    void fieldTip() {
        QFETCH(TipRow, row);
        const auto& [line, split, fields, smart, skip, expected] = row;
        box("SplitChar")->setText(split);
        box("RipFields")->setText(fields);
        check("Check4")->setChecked(smart);
        check("Check1")->setChecked(skip);
        window_->loadSource(file("s.txt", line + "\r\nnext\r\n"));
        QCOMPARE(tipText(box("Text2")), expected);
    }

    void fieldTipFollowsSettings() {
        auto result = [&] { return tipText(box("Text2")).section('\n', -1); };
        QVERIFY(!box("Text2")->toolTip().isEmpty());  // what the empty box is for
        window_->loadSource(file("s.txt", "a|b|c\r\nx|y|z\r\n"));
        QCOMPARE(result(), QStringLiteral("Result: "));  // no field list yet
        QTest::keyClicks(box("RipFields"), "3,1");
        QCOMPARE(result(), QStringLiteral("Result: c:a"));
        QTest::keyClicks(box("FieldSep"), "-");
        QCOMPARE(result(), QStringLiteral("Result: c:-a"));
        click("Command1");
        QCOMPARE(result(), QStringLiteral("Result: z:-x"));
        check("Check4")->click();  // "3,1" as a template
        QCOMPARE(result(), QStringLiteral("Result: 3,1"));
        check("Check4")->click();
        // A rip with an empty field box reuses the last parse, and so does the tip.
        rip(path("s.txt"), "2");
        box("RipFields")->clear();
        QCOMPARE(result(), QStringLiteral("Result: y"));
    }

    void shortcuts_data() {
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("dialog");  // what the keys open; empty: a rip
        QTest::newRow("Ctrl+O loads") << "Ctrl+O"
                                      << "open ";
        QTest::newRow("Ctrl+S saves") << "Ctrl+S"
                                      << "save ";
        QTest::newRow("F5 rips") << "F5"
                                 << "";
    }

    // Idle, each key is its button.
    void shortcuts() {
        QFETCH(QString, keys);
        QFETCH(QString, dialog);
        rip(file("s.txt", numberedLines(2)), "1");  // a list for Ctrl+S
        if (!dialog.isEmpty()) dialogs_->answer(std::nullopt);
        box("RipFields")->setText("2");
        QTest::keySequence(box("RipFields"), QKeySequence(keys));
        QCOMPARE(dialogs_->shown(), dialog.isEmpty() ? QStringList() : QStringList{dialog});
        QCOMPARE(listed(), (dialog.isEmpty() ? QStringList{"b1", "b2"} : QStringList{"a1", "a2"}));
    }

    void separatorBoxes() {
        // The separator boxes explain \t and keep it as typed; what a rip
        // makes of it is in the rip's results table.
        for (const char* name : {"SplitChar", "FieldSep"}) {
            QVERIFY(box(name)->toolTip().contains("\\t stands for a tab"));
            box(name)->clear();
            QTest::keyClicks(box(name), "\\t\\\\");
            QCOMPARE(box(name)->text(), QStringLiteral("\\t\\\\"));
        }
    }

    void commandLine_data() {
        QTest::addColumn<QStringList>("arguments");  // "@name": a full path in the temporary folder
        QTest::addColumn<QString>("source");         // in the temporary folder
        QTest::addColumn<int>("exitCode");           // -1: the window starts
        // clang-format off
        QTest::newRow("no file")         << QStringList{}            << ""      << -1;
        QTest::newRow("a file")          << QStringList{"@s.txt"}    << "s.txt" << -1;
        QTest::newRow("a relative path") << QStringList{"s.txt"}     << "s.txt" << -1;
        QTest::newRow("two files")       << QStringList{"a", "b"}    << ""      << 2;
        QTest::newRow("unknown option")  << QStringList{"--bogus"}   << ""      << 2;
        QTest::newRow("help")            << QStringList{"--help"}    << ""      << 0;
        // clang-format on
    }

    // Read in the temporary folder; main() loads `source` as a drop does.
    void commandLine() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, source);
        QFETCH(int, exitCode);
        QStringList argv{"kolvane"};
        for (const QString& a : arguments) argv << (a.startsWith('@') ? path(a.mid(1)) : a);
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir_->path()));
        const kolvane::CommandLine line = kolvane::readCommandLine(argv);
        QVERIFY(QDir::setCurrent(before));
        QCOMPARE(line.exitNow.value_or(-1), exitCode);
        QCOMPARE(line.message.isEmpty(), exitCode == -1);
        QCOMPARE(line.source, source.isEmpty() ? QString() : path(source));
    }
};

QTEST_MAIN(WindowExtrasTest)
#include "windowextras_test.moc"
