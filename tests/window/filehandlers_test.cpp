// The file handlers in the window, with scripted dialogs and real files:
// loading and ">>", the output file of file-to-file mode (also chosen in the
// middle of a rip), saving the list, and the path the dialogs remember.
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSaveFile>
#include <QTemporaryDir>
#include <QtTest>

#include "windowtest.h"

using kolvane::ListSaver;
using kolvane::MainWindow;
using kolvane::test::control;
using kolvane::test::DuringRip;
using kolvane::test::items;
using kolvane::test::numberedLines;
using kolvane::test::readFile;
using kolvane::test::ScriptedDialogs;
using kolvane::test::writeFile;

namespace {

const QString kNoFile = QStringLiteral("No file opened...");
const QString kDefaultOutput = QStringLiteral("default : tmpresult.txt");
const QString kNothingSaved = QStringLiteral("Nothing saved...");

// Writes the first half of the first block, then fails: a disk that fills up
// in the middle of the list.
class HalfWaySaver : public ListSaver {
  protected:
    bool writeBlock(QFileDevice& file, const char* data, qint64 size) override {
        (void)ListSaver::writeBlock(file, data, size / 2);
        return false;
    }
};

}  // namespace

class FileHandlersTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();
    void rememberedPath();
    void cancelled_data();
    void cancelled();
    void load_data();
    void load();
    void preview_data();
    void preview();
    void previewFollowsText1();
    void previewFailure_data();
    void previewFailure();
    void previewAfterFileChanged();
    void outputFile_data();
    void outputFile();
    void uncheckingKeepsOutfile();
    void outputChangedMidRip_data();
    void outputChangedMidRip();
    void twoRipsAppend();
    void save_data();
    void save();
    void saveFailure_data();
    void saveFailure();

  private:
    QString path(const QString& name) const { return dir_->filePath(name); }
    // A new window, as started from `dir`.
    void startIn(const QString& dir);
    void click(const char* button) {
        QTest::mouseClick(control<QPushButton>(*window_, button), Qt::LeftButton);
    }
    void loadFile(const QString& file) {
        dialogs_->answer(file);
        click("Loadfile");
    }
    void rip(const QString& source, const QString& fields) {
        control<QLineEdit>(*window_, "Text1")->setText(source);
        control<QLineEdit>(*window_, "RipFields")->setText(fields);
        click("Dorip");
    }
    QCheckBox* check2() { return control<QCheckBox>(*window_, "Check2"); }
    QString text(const char* box) { return control<QLineEdit>(*window_, box)->text(); }
    QString status() { return control<QLabel>(*window_, "Statu")->text(); }
    std::int64_t previewline() { return window_->ripState().Previewline; }
    QString outfile() { return QFile::decodeName(window_->ripState().Outfile.c_str()); }
    QStringList filesInDir() {
        return QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<ScriptedDialogs> dialogs_;
    std::unique_ptr<MainWindow> window_;
};

void FileHandlersTest::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    startIn(QDir::currentPath());
}

void FileHandlersTest::cleanup() {
    window_.reset();
    // Every scripted answer was asked for: no handler skipped its dialog.
    QCOMPARE(dialogs_->pending(), qsizetype{0});
}

void FileHandlersTest::startIn(const QString& dir) {
    window_.reset();
    dialogs_ = std::make_unique<ScriptedDialogs>();
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(dir));
    window_ = std::make_unique<MainWindow>(*dialogs_);
    QVERIFY(QDir::setCurrent(before));
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

// One dialog object serves all three uses: each starts from the path confirmed
// last in any of them, and a cancel leaves that path.
void FileHandlersTest::rememberedPath() {
    const QString source = writeFile(path("source.txt"), "a|1\r\nb|2\r\n");
    const QString out = path("out.txt");
    const QString saved = path("saved.txt");
    loadFile(source);
    dialogs_->answer(out);
    check2()->click();
    check2()->click();  // unchecked: no dialog
    rip(source, "1");
    dialogs_->answer(std::nullopt);
    click("Saverip");
    dialogs_->answer(saved);
    click("Saverip");
    dialogs_->answer(std::nullopt);
    click("Loadfile");
    dialogs_->answer(std::nullopt);
    check2()->click();

    QCOMPARE(dialogs_->shown(),
             (QStringList{"open ", "save " + source, "save " + out, "save " + out, "open " + saved,
                          "save " + saved}));
}

void FileHandlersTest::cancelled_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("fileMode");  // the rip before sent its lines to a file
    QTest::addColumn<bool>("dialog");
    QTest::addColumn<QString>("statusText");

    QTest::newRow("open dialog") << "Loadfile" << false << true << kNoFile;
    QTest::newRow("save dialog") << "Saverip" << false << true << kNothingSaved;
    QTest::newRow("save with an empty list: no dialog")
        << "Saverip" << true << false << kNothingSaved;
}

// A cancel changes the status line and nothing else. The output file's cancel
// sets a path as well: outputFile() has it.
void FileHandlersTest::cancelled() {
    QFETCH(QString, button);
    QFETCH(bool, fileMode);
    QFETCH(bool, dialog);
    QFETCH(QString, statusText);
    const QString source = writeFile(path("source.txt"), "a|1\r\nb|2\r\n");
    loadFile(source);
    click("Command1");
    if (fileMode) {
        dialogs_->answer(path("out.txt"));
        check2()->click();
    }
    rip(source, "2");
    const QStringList listBefore = items(*window_);
    const QStringList filesBefore = filesInDir();
    QCOMPARE(status(), QStringLiteral("2 values ripped"));

    if (dialog) dialogs_->answer(std::nullopt);
    click(button.toLatin1().constData());

    QCOMPARE(status(), statusText);
    QCOMPARE(dialogs_->shown().size(), 1 + int(fileMode) + int(dialog));
    QCOMPARE(text("Text1"), source);
    QCOMPARE(text("Text2"), QStringLiteral("b|2"));
    QCOMPARE(previewline(), 2);
    QCOMPARE(items(*window_), listBefore);
    QCOMPARE(filesInDir(), filesBefore);
}

void FileHandlersTest::load_data() {
    QTest::addColumn<QString>("kind");  // "file", "missing" or "folder"
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loads");
    QTest::addColumn<QString>("shown");

    QTest::newRow("CR LF") << "file" << QByteArray("one|1\r\ntwo\r\n") << true << "one|1";
    QTest::newRow("LF") << "file" << QByteArray("one\ntwo") << true << "one";
    QTest::newRow("lone CR") << "file" << QByteArray("one\rtwo") << true << "one";
    QTest::newRow("first line empty") << "file" << QByteArray("\r\ntwo\r\n") << true << "";
    QTest::newRow("one line, no terminator") << "file" << QByteArray("only") << true << "only";
    QTest::newRow("UTF-8") << "file" << QByteArray("caf\xc3\xa9|x\r\n") << true
                           << QString::fromUtf8("caf\xc3\xa9|x");
    QTest::newRow("not UTF-8") << "file" << QByteArray("\xff|x\n") << true
                               << QString(QChar::ReplacementCharacter) + "|x";
    QTest::newRow("a line of 40000 characters") << "file" << QByteArray(40000, 'x') + "\r\n"
                                                << true << QString(40000, 'x');
    QTest::newRow("empty file") << "file" << QByteArray() << false << "";
    QTest::newRow("missing file") << "missing" << QByteArray() << false << "";
    QTest::newRow("a folder") << "folder" << QByteArray() << false << "";
}

// A load that fails has already put the path into Text1; Text2 and Previewline
// keep what an earlier load and ">>" left. Success writes no status text.
void FileHandlersTest::load() {
    QFETCH(QString, kind);
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loads);
    QFETCH(QString, shown);
    loadFile(writeFile(path("earlier.txt"), "p1\r\np2\r\n"));
    click("Command1");
    click("Saverip");  // empty list: an earlier status text to keep
    const QString file = path("chosen.txt");
    if (kind == "file") writeFile(file, bytes);
    if (kind == "folder") QVERIFY(QDir().mkdir(file));

    loadFile(file);

    QCOMPARE(text("Text1"), file);
    QCOMPARE(text("Text2"), loads ? shown : QStringLiteral("p2"));
    QCOMPARE(previewline(), loads ? 1 : 2);
    QCOMPARE(status(), loads ? kNothingSaved : kNoFile);
}

void FileHandlersTest::preview_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("loadFirst");     // else the path is typed into Text1
    QTest::addColumn<QStringList>("shown");  // Text2 after each ">>"

    QTest::newRow("three lines, every line end")
        << QByteArray("one\ntwo\r\nthree\r") << true << QStringList{"two", "three", "three"};
    QTest::newRow("one line: past the end")
        << QByteArray("only\r\n") << true << QStringList{"only", "only", "only"};
    QTest::newRow("before any load")
        << QByteArray("one\r\ntwo\r\n") << false << QStringList{"one", "two", "two"};
    QTest::newRow("empty lines are lines")
        << QByteArray("a\r\n\r\n\r\nd") << true << QStringList{"", "", "d"};
}

void FileHandlersTest::preview() {
    QFETCH(QByteArray, bytes);
    QFETCH(bool, loadFirst);
    QFETCH(QStringList, shown);
    const QString file = writeFile(path("s.txt"), bytes);
    if (loadFirst) {
        loadFile(file);
    } else {
        QTest::keyClicks(control<QLineEdit>(*window_, "Text1"), file);
    }
    const std::int64_t start = previewline();
    QStringList seen;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        click("Command1");
        seen << text("Text2");
    }
    QCOMPARE(seen, shown);
    // Raised once per click, past the end too.
    QCOMPARE(previewline(), start + shown.size());
    QCOMPARE(status(), QString());
}

// Editing Text1 by hand does not reset Previewline: the next ">>" shows the
// next line number of whatever file Text1 names then.
void FileHandlersTest::previewFollowsText1() {
    const QString a = writeFile(path("a.txt"), "a1\r\na2\r\na3\r\n");
    const QString b = writeFile(path("b.txt"), "b1\r\nb2\r\nb3\r\nb4\r\n");
    loadFile(a);
    click("Command1");
    QCOMPARE(text("Text2"), QStringLiteral("a2"));
    auto* text1 = control<QLineEdit>(*window_, "Text1");
    text1->selectAll();
    QTest::keyClicks(text1, b);
    click("Command1");
    QCOMPARE(text("Text2"), QStringLiteral("b3"));
    click("Command1");
    QCOMPARE(text("Text2"), QStringLiteral("b4"));
    text1->setText(a);
    click("Command1");  // line 5 of a three-line file
    QCOMPARE(text("Text2"), QStringLiteral("b4"));
    QCOMPARE(previewline(), 5);
}

void FileHandlersTest::previewFailure_data() {
    QTest::addColumn<QString>("source");  // relative to the temporary folder
    QTest::newRow("empty Text1") << QString();
    QTest::newRow("missing file") << "missing.txt";
    QTest::newRow("a folder") << ".";
}

// ">>" that cannot read: Previewline is raised all the same, the status line
// says so, and the window goes on working.
void FileHandlersTest::previewFailure() {
    QFETCH(QString, source);
    control<QLineEdit>(*window_, "Text1")->setText(source.isEmpty() ? source : path(source));
    control<QLineEdit>(*window_, "Text2")->setText("typed");

    click("Command1");
    QCOMPARE(status(), kNoFile);
    QCOMPARE(previewline(), 1);
    QCOMPARE(text("Text2"), QStringLiteral("typed"));

    control<QLineEdit>(*window_, "Text1")->setText(writeFile(path("s.txt"), "l1\nl2\nl3\n"));
    click("Command1");
    QCOMPARE(text("Text2"), QStringLiteral("l2"));
    QVERIFY(control<QPushButton>(*window_, "Command1")->isEnabled());
}

// The remembered place belongs to one version of the file.
void FileHandlersTest::previewAfterFileChanged() {
    const QString file = writeFile(path("s.txt"), "a1\r\na2\r\na3\r\n");
    loadFile(file);
    click("Command1");
    writeFile(file, "line one\r\nline two\r\nline three\r\n");
    click("Command1");
    QCOMPARE(text("Text2"), QStringLiteral("line three"));
}

void FileHandlersTest::outputFile_data() {
    QTest::addColumn<QString>("startDir");  // "" for the temporary folder
    QTest::addColumn<QString>("answer");    // "" for a cancel
    QTest::addColumn<QString>("expected");  // Outfile; %1 the temporary folder
    QTest::addColumn<QString>("statusText");

    QTest::newRow("file chosen") << ""
                                 << "chosen.txt"
                                 << "%1/chosen.txt" << QString();
    QTest::newRow("cancelled") << ""
                               << ""
                               << "%1/tmpresult.txt" << kDefaultOutput;
    QTest::newRow("cancelled, started in /") << "/"
                                             << ""
                                             << "//tmpresult.txt" << kDefaultOutput;
}

void FileHandlersTest::outputFile() {
    QFETCH(QString, startDir);
    QFETCH(QString, answer);
    QFETCH(QString, expected);
    QFETCH(QString, statusText);
    startIn(startDir.isEmpty() ? dir_->path() : startDir);
    if (expected.contains("%1")) expected = expected.arg(QDir(dir_->path()).canonicalPath());
    if (answer.isEmpty()) {
        dialogs_->answer(std::nullopt);
    } else {
        dialogs_->answer(QDir(dir_->path()).canonicalPath() + '/' + answer);
    }

    check2()->click();

    QCOMPARE(outfile(), expected);
    QCOMPARE(status(), statusText);
    QVERIFY(check2()->isChecked());
    QCOMPARE(dialogs_->shown(), QStringList{"save "});
    // Nothing is created before the first result line.
    QVERIFY(!QFile::exists(expected));
    if (startDir == "/") return;

    rip(writeFile(path("s.txt"), "a|1\r\nb|2\r\n"), "2");
    QCOMPARE(readFile(expected), QByteArray("1\r\n2\r\n"));
    QCOMPARE(items(*window_), QStringList());
}

void FileHandlersTest::uncheckingKeepsOutfile() {
    const QString chosen = path("chosen.txt");
    dialogs_->answer(chosen);
    check2()->click();
    check2()->click();
    QVERIFY(!check2()->isChecked());
    QCOMPARE(outfile(), chosen);
    QCOMPARE(status(), QString());
    QCOMPARE(dialogs_->shown().size(), 1);

    dialogs_->answer(path("other.txt"));
    check2()->click();
    QCOMPARE(dialogs_->shown().size(), 2);
    QCOMPARE(outfile(), path("other.txt"));
}

void FileHandlersTest::outputChangedMidRip_data() {
    QTest::addColumn<bool>("startInFile");   // Check2 checked, a.txt chosen, before the rip
    QTest::addColumn<int>("clicks");         // on Check2 before line 4
    QTest::addColumn<QString>("midAnswer");  // the dialog's answer then: "-" none, "" cancel
    QTest::addColumn<QByteArray>("toList");  // lines that went to the list, one per byte
    QTest::addColumn<QByteArray>("toA");
    QTest::addColumn<QByteArray>("toB");
    QTest::addColumn<QByteArray>("toDefault");  // tmpresult.txt in the start folder

    QTest::newRow("unchecked") << true << 1 << "-" << QByteArray("456") << QByteArray("123")
                               << QByteArray() << QByteArray();
    QTest::newRow("switched to another file")
        << true << 2 << "b.txt" << QByteArray() << QByteArray("123") << QByteArray("456")
        << QByteArray();
    QTest::newRow("switched, dialog cancelled")
        << true << 2 << "" << QByteArray() << QByteArray("123") << QByteArray()
        << QByteArray("456");
    QTest::newRow("checked") << false << 1 << "b.txt" << QByteArray("123") << QByteArray()
                             << QByteArray("456") << QByteArray();
}

// Clicks on Check2 run between two lines of a rip; the dialog holds the rip
// until it closes, and the next line goes where the choice says.
void FileHandlersTest::outputChangedMidRip() {
    QFETCH(bool, startInFile);
    QFETCH(int, clicks);
    QFETCH(QString, midAnswer);
    QFETCH(QByteArray, toList);
    QFETCH(QByteArray, toA);
    QFETCH(QByteArray, toB);
    QFETCH(QByteArray, toDefault);
    startIn(dir_->path());
    const QString a = path("a.txt");
    const QString b = path("b.txt");
    const QString fallback = QDir(dir_->path()).canonicalPath() + "/tmpresult.txt";
    if (startInFile) {
        dialogs_->answer(a);
        check2()->click();
    }
    bool heldRip = false;
    if (midAnswer != "-") {
        dialogs_->answer(midAnswer.isEmpty() ? std::nullopt : std::optional(path(midAnswer)));
        dialogs_->whileOpen(
            [&] { heldRip = window_->ripping() && window_->ripState().Ripcount == 3; });
    }
    DuringRip during(*window_, [&](int pass) {
        if (pass != 4) return;
        for (int i = 0; i < clicks; ++i) check2()->click();
    });
    rip(writeFile(path("s.txt"), numberedLines(6)), "2");

    auto lines = [](const QByteArray& numbers) {
        QByteArray bytes;
        for (char n : numbers) bytes += QByteArray("b") + n + "\r\n";
        return bytes;
    };
    QStringList listed;
    for (char n : toList) listed << QStringLiteral("b%1").arg(n);
    QCOMPARE(items(*window_), listed);
    QCOMPARE(readFile(a), lines(toA));
    QCOMPARE(readFile(b), lines(toB));
    QCOMPARE(readFile(fallback), lines(toDefault));
    QCOMPARE(heldRip, midAnswer != "-");
    QCOMPARE(status(), QStringLiteral("6 values ripped"));
}

// An output file is only ever appended to: two rips follow what it held.
void FileHandlersTest::twoRipsAppend() {
    const QString out = writeFile(path("out.txt"), "before\r\n");
    dialogs_->answer(out);
    check2()->click();
    rip(writeFile(path("one.txt"), "a|1\r\nb|2\r\n"), "1");
    rip(writeFile(path("two.txt"), "c|3\n"), "2,1");
    QCOMPARE(readFile(out), QByteArray("before\r\na\r\nb\r\n3:c\r\n"));
}

void FileHandlersTest::save_data() {
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("fields");
    QTest::addColumn<QByteArray>("existing");  // null: no file there yet
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("three items") << QByteArray("a|1\r\nb|2\nc|3") << "2,1" << QByteArray()
                                 << QByteArray("1:a\r\n2:b\r\n3:c\r\n");
    QTest::newRow("an empty item")
        << QByteArray("a|\r\nb|2\r\n") << "2" << QByteArray() << QByteArray("\r\n2\r\n");
    QTest::newRow("onto a longer existing file")
        << QByteArray("a|1\r\n") << "1" << QByteArray(5000, 'z') << QByteArray("a\r\n");
    QTest::newRow("not UTF-8, byte for byte")
        << QByteArray("\xff\xfe|1\r\ncaf\xe9|2\r\n\x80|3\r\n") << "1" << QByteArray()
        << QByteArray("\xff\xfe\r\ncaf\xe9\r\n\x80\r\n");
    QByteArray many;
    for (int i = 1; i <= 40000; ++i) many += "a" + QByteArray::number(i) + "\r\n";
    QTest::newRow("40000 items: no 32767 limit")
        << numberedLines(40000) << "1" << QByteArray() << many;
}

void FileHandlersTest::save() {
    QFETCH(QByteArray, source);
    QFETCH(QString, fields);
    QFETCH(QByteArray, existing);
    QFETCH(QByteArray, expected);
    const QString target = path("saved.txt");
    if (!existing.isNull()) writeFile(target, existing);
    rip(writeFile(path("source.txt"), source), fields);
    const QString ripped = status();

    dialogs_->answer(target);
    click("Saverip");

    QCOMPARE(readFile(target), expected);
    QCOMPARE(status(), ripped);
    QCOMPARE(filesInDir(), (QStringList{"saved.txt", "source.txt"}));
}

void FileHandlersTest::saveFailure_data() {
    QTest::addColumn<QString>("target");  // relative to the temporary folder
    QTest::addColumn<bool>("halfWay");    // the disk fills up half way through
    QTest::addColumn<QStringList>("files");

    QTest::newRow("folder missing")
        << "missing/saved.txt" << false << QStringList{"saved.txt", "source.txt"};
    QTest::newRow("a folder") << "folder" << false
                              << QStringList{"folder", "saved.txt", "source.txt"};
    QTest::newRow("fails half way")
        << "saved.txt" << true << QStringList{"saved.txt", "source.txt"};
}

// A failed save says "Nothing saved...", leaves the file that was there as it
// was and no temporary file behind.
void FileHandlersTest::saveFailure() {
    QFETCH(QString, target);
    QFETCH(bool, halfWay);
    QFETCH(QStringList, files);
    const QByteArray precious = "kept\r\nas it was\r\n";
    writeFile(path("saved.txt"), precious);
    if (files.contains("folder")) QVERIFY(QDir(dir_->path()).mkdir("folder"));
    if (halfWay) window_->setListSaver(std::make_unique<HalfWaySaver>());
    rip(writeFile(path("source.txt"), numberedLines(3)), "1");

    dialogs_->answer(path(target));
    click("Saverip");

    QCOMPARE(status(), kNothingSaved);
    QVERIFY(!control<QLabel>(*window_, "Statu")->toolTip().isEmpty());
    QCOMPARE(readFile(path("saved.txt")), precious);
    QCOMPARE(filesInDir(), files);

    // The window saves again once the cause is gone.
    window_->setListSaver(std::make_unique<ListSaver>());
    dialogs_->answer(path("saved.txt"));
    click("Saverip");
    QCOMPARE(readFile(path("saved.txt")), QByteArray("a1\r\na2\r\na3\r\n"));
}

QTEST_MAIN(FileHandlersTest)
#include "filehandlers_test.moc"
