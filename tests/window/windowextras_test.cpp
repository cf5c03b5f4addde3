// The window's conveniences: the progress bar, Escape to stop a rip, dropping
// a file, the preview's field tooltip, "\t" in the separator boxes, the
// keyboard, and `kolvane FILE`.
#include <sys/stat.h>
#include <QAccessible>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QtTest>

#include "commandline.h"
#include "windowtest.h"

using kolvane::MainWindow;
using kolvane::test::control;
using kolvane::test::DuringRip;
using kolvane::test::items;
using kolvane::test::numberedLines;
using kolvane::test::readFile;
using kolvane::test::writeFile;

namespace {

const char* const kControls[] = {"Text1",  "Loadfile", "Dorip",     "List1",    "Saverip",
                                 "Frame1", "Check2",   "SplitChar", "FieldSep", "RipFields",
                                 "Check1", "Check3",   "Check4",    "Text2",    "Command1"};

struct TipCase {
    QByteArray line;
    QString split, fields;
    bool smart = false, skip = false;
    QString expected;  // the tooltip as plain text
};

struct DropCase {
    QString target;     // the window, or the control dropped on
    QStringList files;  // names in the temporary folder, or URLs
    bool taken = false;
    QString statusText;
};

QString status(MainWindow& window) {
    return control<QLabel>(window, "Statu")->text();
}

void rip(MainWindow& window, const QString& path) {
    control<QLineEdit>(window, "Text1")->setText(path);
    QTest::mouseClick(control<QPushButton>(window, "Dorip"), Qt::LeftButton);
}

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

}  // namespace

Q_DECLARE_METATYPE(TipCase)
Q_DECLARE_METATYPE(DropCase)

class WindowExtrasTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void progress_data();
    void progress();
    void escapeStops_data();
    void escapeStops();
    void focusBackOnRip();
    void drop_data();
    void drop();
    void dropDuringRip();
    void fieldTip_data();
    void fieldTip();
    void fieldTipFollowsSettings();
    void separatorEscapes_data();
    void separatorEscapes();
    void shortcuts_data();
    void shortcuts();
    void described();
    void commandLine_data();
    void commandLine();

  private:
    QString path(const QString& name) const { return dir_->filePath(name); }

    std::unique_ptr<QTemporaryDir> dir_;
    kolvane::test::ScriptedDialogs dialogs_;
    std::unique_ptr<MainWindow> window_;
};

void WindowExtrasTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    dialogs_ = {};
    window_ = std::make_unique<MainWindow>(dialogs_);
    window_->show();
    // Shortcuts answer only in the active window.
    QApplication::setActiveWindow(window_.get());
    QVERIFY(QTest::qWaitForWindowActive(window_.get()));
}

void WindowExtrasTest::progress_data() {
    QTest::addColumn<bool>("pipe");
    QTest::addColumn<bool>("hideList");
    QTest::newRow("file: bytes read of its size") << false << false;
    QTest::newRow("file, list hidden") << false << true;
    QTest::newRow("pipe: size unknown, busy") << true << false;
}

void WindowExtrasTest::progress() {
    QFETCH(bool, pipe);
    QFETCH(bool, hideList);
    MainWindow& window = *window_;
    // Three of the reader's 256 KiB blocks, so that progress moves mid-rip.
    constexpr int kLines = 700;
    QByteArray source;
    for (int i = 0; i < kLines; ++i)
        source += QByteArray::number(i) + '|' + QByteArray(990, 'x') + '\n';
    const QString file = writeFile(path("s.txt"), source);
    const QString from = pipe ? path("fifo") : file;
    // The shell opens the pipe for writing, so that nothing here blocks on it.
    QProcess writer;
    if (pipe) {
        QCOMPARE(::mkfifo(QFile::encodeName(from).constData(), 0600), 0);
        writer.start("sh", {"-c", "cat \"$0\" > \"$1\"", file, from});
    }
    control<QLineEdit>(window, "RipFields")->setText("1");
    control<QCheckBox>(window, "Check3")->setChecked(hideList);
    auto* bar = control<QProgressBar>(window, "RipProgress");
    QHash<QString, QRect> before;
    for (const char* name : kControls) before[name] = control<QWidget>(window, name)->geometry();

    QList<int> perMille;  // -1: busy
    bool slimAndShown = true;
    QStringList moved;
    DuringRip during(window, [&](int pass) {
        slimAndShown = slimAndShown && bar->isVisible() && bar->height() <= 6;
        perMille << (bar->maximum() == 0 ? -1 : bar->value() * 1000 / bar->maximum());
        if (pass != 2) return;
        for (const char* name : kControls) {
            auto* widget = control<QWidget>(window, name);
            // Nor may the bar cover one.
            if (widget->geometry() != before[name] ||
                (widget->isVisible() && widget->geometry().intersects(bar->geometry()))) {
                moved << name;
            }
        }
    });
    rip(window, from);
    writer.waitForFinished();

    QCOMPARE(items(window).size(), kLines);
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

void WindowExtrasTest::escapeStops_data() {
    QTest::addColumn<bool>("toFile");
    QTest::newRow("into the list") << false;
    QTest::newRow("file to file") << true;
}

void WindowExtrasTest::escapeStops() {
    QFETCH(bool, toFile);
    MainWindow& window = *window_;
    const QString out = writeFile(path("out.txt"), "before\r\n");
    window.ripState().Outfile = QFile::encodeName(out).toStdString();
    control<QCheckBox>(window, "Check2")->setChecked(toFile);
    control<QCheckBox>(window, "Check3")->setChecked(true);
    control<QLineEdit>(window, "RipFields")->setText("2");
    int lastPass = 0;
    DuringRip during(window, [&](int pass) {
        lastPass = pass;
        if (pass == 5) QTest::keyClick(&window, Qt::Key_Escape);
    });
    rip(window, writeFile(path("s.txt"), numberedLines(40)));

    // Stopped at the pass where Escape came, before line 5; the window idle.
    QCOMPARE(lastPass, 5);
    const QStringList kept{"b1", "b2", "b3", "b4"};
    QCOMPARE(items(window), toFile ? QStringList() : kept);
    QCOMPARE(readFile(out), "before\r\n" + (toFile ? kept.join("\r\n").toUtf8() + "\r\n" : ""));
    QCOMPARE(window.ripState().Ripcount, 4);
    QCOMPARE(status(window), QStringLiteral("4 values ripped (stopped)"));
    for (const char* name : {"Loadfile", "Dorip", "Command1", "Saverip"}) {
        QVERIFY(control<QPushButton>(window, name)->isEnabled());
    }
    QVERIFY(control<QListView>(window, "List1")->isVisible());
    QVERIFY(!control<QProgressBar>(window, "RipProgress")->isVisible());

    // Idle, Escape does nothing.
    QTest::keyClick(control<QLineEdit>(window, "RipFields"), Qt::Key_Escape);
    QCOMPARE(status(window), QStringLiteral("4 values ripped (stopped)"));
    QCOMPARE(items(window), toFile ? QStringList() : kept);
}

// Disabled for the rip, "Rip" sent the focus on; it gets it back at the end.
void WindowExtrasTest::focusBackOnRip() {
    MainWindow& window = *window_;
    auto* dorip = control<QPushButton>(window, "Dorip");
    QWidget* focusDuring = nullptr;
    DuringRip during(window, [&](int) { focusDuring = QApplication::focusWidget(); });
    control<QLineEdit>(window, "Text1")->setText(writeFile(path("s.txt"), numberedLines(3)));
    dorip->setFocus();
    QTest::keyClick(dorip, Qt::Key_Space);
    QCOMPARE(items(window).size(), 3);
    QVERIFY(focusDuring && focusDuring != dorip);
    QCOMPARE(QApplication::focusWidget(), dorip);
}

void WindowExtrasTest::drop_data() {
    QTest::addColumn<DropCase>("c");
    // clang-format off
    QTest::newRow("one file") << DropCase{"Kolvane", {"s.txt"}, true, ""};
    QTest::newRow("onto a box: the window's, not pasted") << DropCase{"Text2", {"s.txt"}, true, ""};
    QTest::newRow("missing file") << DropCase{"Kolvane", {"gone.txt"}, true, "No file opened..."};
    QTest::newRow("two files") << DropCase{"Kolvane", {"s.txt", "t.txt"}, false, ""};
    QTest::newRow("a folder") << DropCase{"Kolvane", {"."}, false, ""};
    QTest::newRow("a web address") << DropCase{"Text1", {"https://example.org/s.txt"}, false, ""};
    // clang-format on
}

void WindowExtrasTest::drop() {
    QFETCH(DropCase, c);
    MainWindow& window = *window_;
    writeFile(path("s.txt"), "first|line\r\nsecond\r\n");
    writeFile(path("t.txt"), "other\r\n");
    window.ripState().Previewline = 7;
    QList<QUrl> urls;
    for (const QString& f : c.files)
        urls << (f.contains(':') ? QUrl(f) : QUrl::fromLocalFile(path(f)));
    QWidget* on = c.target == "Kolvane" ? &window : control<QWidget>(window, qPrintable(c.target));

    QCOMPARE(dropOn(on, urls), c.taken);
    const bool loaded = c.taken && c.statusText.isEmpty();
    QCOMPARE(control<QLineEdit>(window, "Text1")->text(),
             c.taken ? path(c.files.front()) : QString());
    QCOMPARE(control<QLineEdit>(window, "Text2")->text(),
             loaded ? QStringLiteral("first|line") : QString());
    QCOMPARE(window.ripState().Previewline, loaded ? 1 : 7);
    QCOMPARE(status(window), c.statusText);
    QVERIFY(dialogs_.shown().isEmpty());
}

void WindowExtrasTest::dropDuringRip() {
    MainWindow& window = *window_;
    const QString other = writeFile(path("other.txt"), "x|y\r\n");
    control<QLineEdit>(window, "RipFields")->setText("1");
    bool taken = true;
    DuringRip during(window, [&](int pass) {
        if (pass == 2) taken = dropOn(&window, {QUrl::fromLocalFile(other)});
    });
    const QString source = writeFile(path("s.txt"), numberedLines(4));
    rip(window, source);

    QVERIFY(!taken);
    QCOMPARE(control<QLineEdit>(window, "Text1")->text(), source);
    QCOMPARE(control<QLineEdit>(window, "Text2")->text(), QString());
    QCOMPARE(items(window), (QStringList{"a1", "a2", "a3", "a4"}));
    // Idle again, the same drop loads.
    QVERIFY(dropOn(&window, {QUrl::fromLocalFile(other)}));
    QCOMPARE(control<QLineEdit>(window, "Text2")->text(), QStringLiteral("x|y"));
}

void WindowExtrasTest::fieldTip_data() {
    QTest::addColumn<TipCase>("c");
    // clang-format off
    QTest::newRow("numbered fields, result") << TipCase{"0|uniform@delta.com|x y", "|", "2,1", false, false,
        "[1] 0   [2] uniform@delta.com   [3] x y\nResult: uniform@delta.com:0"};
    QTest::newRow("template, split of two") << TipCase{"a::b::c", "::", "[3]-[1]", true, false,
        "[1] a   [2] b   [3] c\nResult: c-a"};
    QTest::newRow("skipped") << TipCase{"a| |c", "|", "2", false, true,
        "[1] a   [2]     [3] c\nResult: none, the line is skipped (a value is blank)."};
    QTest::newRow("markup in the data stays text") << TipCase{"<b>x</b>|&amp;", "|", "2,1", false, false,
        "[1] <b>x</b>   [2] &amp;\nResult: &amp;:<b>x</b>"};
    QTest::newRow("\\t split, UTF-8") << TipCase{"caf\xc3\xa9\t\xe2\x82\xac", "\\t", "2", false, false,
        QString::fromUtf8("[1] caf\u00e9   [2] \u20ac\nResult: \u20ac")};
    // clang-format on

    // Lines of at most 90 characters, broken between two fields only.
    const QList<int> lineEndsAfter{7, 16, 25, 34};
    TipCase many{"", ",", "45", false, false, ""};
    for (int i = 1; i <= 45; ++i) {
        many.line += (i == 1 ? QByteArray(50, 'v') : QByteArray::number(i)) + (i < 45 ? "," : "");
        if (i > 40) continue;
        if (i > 1) many.expected += lineEndsAfter.contains(i - 1) ? "\n" : "   ";
        many.expected += QStringLiteral("[%1] ").arg(i);
        many.expected += i == 1 ? QString(31, 'v') + QChar(0x2026) : QString::number(i);
    }
    many.expected += "\n45 fields in all; the first 40 are shown.\nResult: 45";
    QTest::newRow("long value cut, 40 of 45 fields") << many;
}

void WindowExtrasTest::fieldTip() {
    QFETCH(TipCase, c);
    MainWindow& window = *window_;
    control<QLineEdit>(window, "SplitChar")->setText(c.split);
    control<QLineEdit>(window, "RipFields")->setText(c.fields);
    control<QCheckBox>(window, "Check4")->setChecked(c.smart);
    control<QCheckBox>(window, "Check1")->setChecked(c.skip);
    window.loadSource(writeFile(path("s.txt"), c.line + "\r\nnext\r\n"));
    QCOMPARE(tipText(control<QLineEdit>(window, "Text2")), c.expected);
}

void WindowExtrasTest::fieldTipFollowsSettings() {
    MainWindow& window = *window_;
    auto* text2 = control<QLineEdit>(window, "Text2");
    auto result = [&] { return tipText(text2).section('\n', -1); };
    QVERIFY(!text2->toolTip().isEmpty());  // what the empty box is for
    window.loadSource(writeFile(path("s.txt"), "a|b|c\r\nx|y|z\r\n"));
    QCOMPARE(result(), QStringLiteral("Result: "));  // no field list yet
    QTest::keyClicks(control<QLineEdit>(window, "RipFields"), "3,1");
    QCOMPARE(result(), QStringLiteral("Result: c:a"));
    QTest::keyClicks(control<QLineEdit>(window, "FieldSep"), "-");
    QCOMPARE(result(), QStringLiteral("Result: c:-a"));
    QTest::mouseClick(control<QPushButton>(window, "Command1"), Qt::LeftButton);
    QCOMPARE(result(), QStringLiteral("Result: z:-x"));
    control<QCheckBox>(window, "Check4")->click();  // "3,1" as a template
    QCOMPARE(result(), QStringLiteral("Result: 3,1"));
    control<QCheckBox>(window, "Check4")->click();
    // A rip with an empty field box reuses the last parse, and so does the tip.
    control<QLineEdit>(window, "RipFields")->setText("2");
    rip(window, path("s.txt"));
    control<QLineEdit>(window, "RipFields")->clear();
    QCOMPARE(result(), QStringLiteral("Result: y"));
}

void WindowExtrasTest::separatorEscapes_data() {
    QTest::addColumn<QString>("split");  // as typed
    QTest::addColumn<QString>("join");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("expected");  // fields 2,1
    // clang-format off
    QTest::newRow("\\t splits at a tab") << "\\t" << ":" << QByteArray("a|b\tc") << QByteArray("c:a|b");
    QTest::newRow("\\t joins with a tab") << "|" << "\\t" << QByteArray("a|c") << QByteArray("c\ta");
    QTest::newRow("\\\\ is one backslash") << "\\\\" << "\\\\" << QByteArray("a\\c") << QByteArray("c\\a");
    QTest::newRow("\\\\t: backslash, t") << "\\\\t" << ":" << QByteArray("a\\tc\tx") << QByteArray("c\tx:a");
    QTest::newRow("other backslashes stay") << "\\n" << "\\" << QByteArray("a\\nc") << QByteArray("c\\a");
    // clang-format on
}

void WindowExtrasTest::separatorEscapes() {
    QFETCH(QString, split);
    QFETCH(QString, join);
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, expected);
    MainWindow& window = *window_;
    for (auto [name, typed] : {std::pair{"SplitChar", split}, std::pair{"FieldSep", join}}) {
        auto* box = control<QLineEdit>(window, name);
        box->clear();
        QTest::keyClicks(box, typed);
        QCOMPARE(box->text(), typed);  // the box shows what was typed
    }
    control<QLineEdit>(window, "RipFields")->setText("2,1");
    rip(window, writeFile(path("s.txt"), line + "\r\n"));
    QCOMPARE(items(window), QStringList{QString::fromUtf8(expected)});
}

void WindowExtrasTest::shortcuts_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("ctrl");
    QTest::addColumn<QString>("dialog");  // what the key opens when idle; empty: a rip
    // clang-format off
    QTest::newRow("Ctrl+O loads") << int(Qt::Key_O)  << true  << "open";
    QTest::newRow("Ctrl+S saves") << int(Qt::Key_S)  << true  << "save";
    QTest::newRow("F5 rips")      << int(Qt::Key_F5) << false << "";
    // clang-format on
}

void WindowExtrasTest::shortcuts() {
    QFETCH(int, key);
    QFETCH(bool, ctrl);
    QFETCH(QString, dialog);
    MainWindow& window = *window_;
    auto* fields = control<QLineEdit>(window, "RipFields");
    fields->setText("1");
    auto press = [&] {
        QTest::keyClick(fields, Qt::Key(key), ctrl ? Qt::ControlModifier : Qt::NoModifier);
    };
    int passes = 0;
    DuringRip during(window, [&](int pass) {
        passes = std::max(passes, pass);
        if (pass == 2) press();  // its button is disabled: nothing happens
    });
    rip(window, writeFile(path("s.txt"), numberedLines(4)));
    QCOMPARE(passes, 4);
    QVERIFY(dialogs_.shown().isEmpty());
    QCOMPARE(items(window), (QStringList{"a1", "a2", "a3", "a4"}));

    // Idle, the key is its button.
    dialogs_.answer(std::nullopt);
    fields->setText("2");
    press();
    if (dialog.isEmpty()) {
        QCOMPARE(items(window), (QStringList{"b1", "b2", "b3", "b4"}));
        QCOMPARE(dialogs_.pending(), 1);
    } else {
        QCOMPARE(dialogs_.shown().size(), 1);
        QCOMPARE(dialogs_.shown().front(), dialog + ' ');
    }
}

void WindowExtrasTest::described() {
    for (const char* name : kControls) {
        auto* face = QAccessible::queryAccessibleInterface(control<QWidget>(*window_, name));
        QVERIFY2(face && !face->text(QAccessible::Name).isEmpty(), name);
    }
    for (const char* name : {"SplitChar", "FieldSep"}) {
        QVERIFY(control<QWidget>(*window_, name)->toolTip().contains("\\t stands for a tab"));
    }
}

void WindowExtrasTest::commandLine_data() {
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

void WindowExtrasTest::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, source);
    QFETCH(int, exitCode);
    writeFile(path("s.txt"), "first|line\r\n");
    QStringList argv{"kolvane"};
    for (const QString& a : arguments) argv << (a.startsWith('@') ? path(a.mid(1)) : a);
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir_->path()));
    const kolvane::CommandLine line = kolvane::readCommandLine(argv);
    QVERIFY(QDir::setCurrent(before));

    QCOMPARE(line.exitNow.value_or(-1), exitCode);
    QCOMPARE(line.message.isEmpty(), exitCode == -1);
    QCOMPARE(line.source, source.isEmpty() ? QString() : path(source));
    if (source.isEmpty()) return;
    // What main() does with it.
    MainWindow started(dialogs_);
    started.loadSource(line.source);
    QCOMPARE(control<QLineEdit>(started, "Text1")->text(), path(source));
    QCOMPARE(control<QLineEdit>(started, "Text2")->text(), QStringLiteral("first|line"));
}

QTEST_MAIN(WindowExtrasTest)
#include "windowextras_test.moc"
