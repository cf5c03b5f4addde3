// The file handlers with scripted dialogs and real files: loading and ">>",
// the output file of file-to-file mode (also chosen mid-rip), saving the
// list, and the path the dialogs remember.
#include "windowtest.h"

using namespace kolvane::test;

namespace {

const QString kNoFile = QStringLiteral("No file opened...");
const QString kDefaultOutput = QStringLiteral("default : tmpresult.txt");
const QString kNothingSaved = QStringLiteral("Nothing saved...");

// Writes half of the first block, then fails: a disk that fills up mid-list.
class HalfWaySaver : public kolvane::ListSaver {
  protected:
    bool writeBlock(QFileDevice& file, const char* data, qint64 size) override {
        (void)ListSaver::writeBlock(file, data, size / 2);
        return false;
    }
};

// "b4\r\nb5\r\n" for "45".
QByteArray bLines(const QByteArray& numbers) {
    QByteArray bytes;
    for (char n : numbers) bytes += QByteArray("b") + n + "\r\n";
    return bytes;
}

// Rows: how the file is made ("file", "missing", "folder", or "cancel" for
// the dialog), its bytes, whether it loads, the line shown.
using LoadRow = std::tuple<QString, QByteArray, bool, QString>;
// Rows: the start folder ("" for the temporary folder), the dialog's answer
// ("" for a cancel), Outfile (%1 for the temporary folder), the status text.
using OutputRow = std::tuple<QString, QString, QString, QString>;
// Rows: Check2 checked with a.txt before the rip; clicks on Check2 before
// line 4; the dialog's answer then ("-" none, "" cancel); the lines that went
// to the list, a.txt, b.txt and tmpresult.txt in the start folder, one number
// a byte.
using MidRipRow = std::tuple<bool, int, QString, QByteArray, QByteArray, QByteArray, QByteArray>;
// Rows: Text1 (in the temporary folder, "" for none), the file's bytes (null:
// none written), loaded through the dialog (else typed), Text2 after each
// ">>", the status line then.
using PreviewRow = std::tuple<QString, QByteArray, bool, QStringList, QString>;
// Rows: the source, the fields, a file there before (null: none), the file saved.
using SaveRow = std::tuple<QByteArray, QString, QByteArray, QByteArray>;

}  // namespace

class FileHandlersTest : public QObject, WindowFixture {
    Q_OBJECT

    void load(const QString& file) {
        dialogs_->answer(file);
        click("Loadfile");
    }
    std::int64_t previewline() { return window_->ripState().Previewline; }
    QStringList filesInDir() {
        return QDir(dir_->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // One dialog object serves all three uses: each starts from the path
    // confirmed last in any of them, and a cancel leaves that path.
    void rememberedPath() {
        const QString source = file("source.txt", "a|1\r\nb|2\r\n");
        const QString out = path("out.txt");
        const QString saved = path("saved.txt");
        load(source);
        dialogs_->answer(out);
        check("Check2")->click();
        check("Check2")->click();  // unchecked: no dialog
        rip(source, "1");
        for (const auto& answer : {std::optional<QString>(), std::optional(saved)}) {
            dialogs_->answer(answer);
            click("Saverip");
        }
        dialogs_->answer(std::nullopt);
        click("Loadfile");
        dialogs_->answer(std::nullopt);
        check("Check2")->click();
        QCOMPARE(dialogs_->shown(), (QStringList{"open ", "save " + source, "save " + out,
                                                 "save " + out, "open " + saved, "save " + saved}));
    }

    // An empty list, here after a rip into a file, is not saved and shows no
    // dialog.
    void saveEmptyList() {
        setOutfile(path("out.txt"));
        check("Check2")->setChecked(true);
        rip(file("s.txt", "a|1\r\n"), "1");
        click("Saverip");
        QCOMPARE(status(), kNothingSaved);
        QCOMPARE(dialogs_->shown(), QStringList());
    }

    void load_data() {
        QTest::addColumn<LoadRow>("row");
        const QString decoded = QStringLiteral("caf\u00e9|\ufffd");
        // clang-format off
        QTest::newRow("first line") << LoadRow{"file", "one|1\r\ntwo\r\n", true, "one|1"};
        QTest::newRow("first line empty") << LoadRow{"file", "\r\ntwo\r\n", true, ""};
        QTest::newRow("UTF-8, invalid bytes") << LoadRow{"file", "caf\xc3\xa9|\xff\n", true, decoded};
        QTest::newRow("40000 characters") << LoadRow{"file", QByteArray(40000, 'x') + "\r\n", true, QString(40000, 'x')};
        QTest::newRow("empty file") << LoadRow{"file", "", false, ""};
        QTest::newRow("missing file") << LoadRow{"missing", "", false, ""};
        QTest::newRow("a folder") << LoadRow{"folder", "", false, ""};
        QTest::newRow("dialog cancelled") << LoadRow{"cancel", "", false, ""};
        // clang-format on
    }

    // A load that fails has already put the path into Text1 (a cancel has
    // not); Text2 and Previewline keep what an earlier load and ">>" left.
    // Success writes no status text.
    void load() {
        QFETCH(LoadRow, row);
        const auto& [kind, bytes, loads, shown] = row;
        const QString earlier = file("earlier.txt", "p1\r\np2\r\n");
        load(earlier);
        click("Command1");
        click("Saverip");  // empty list: an earlier status text to keep
        const QString chosen = path("chosen.txt");
        if (kind == "file") file("chosen.txt", bytes);
        if (kind == "folder") QVERIFY(QDir().mkdir(chosen));
        dialogs_->answer(kind == "cancel" ? std::nullopt : std::optional(chosen));
        click("Loadfile");
        QCOMPARE(text("Text1"), kind == "cancel" ? earlier : chosen);
        QCOMPARE(text("Text2"), loads ? shown : QStringLiteral("p2"));
        QCOMPARE(previewline(), loads ? 1 : 2);
        QCOMPARE(status(), loads ? kNothingSaved : kNoFile);
    }

    void preview_data() {
        QTest::addColumn<PreviewRow>("row");
        // clang-format off
        QTest::newRow("three lines, every line end") << PreviewRow{"s.txt", "one\ntwo\r\nthree\r", true, {"two", "three", "three"}, ""};
        QTest::newRow("one line: past the end") << PreviewRow{"s.txt", "only\r\n", true, {"only", "only", "only"}, ""};
        QTest::newRow("before any load") << PreviewRow{"s.txt", "one\r\ntwo\r\n", false, {"one", "two", "two"}, ""};
        QTest::newRow("empty lines are lines") << PreviewRow{"s.txt", "a\r\n\r\n\r\nd", true, {"", "", "d"}, ""};
        QTest::newRow("empty Text1") << PreviewRow{"", {}, false, {"typed"}, kNoFile};
        QTest::newRow("missing file") << PreviewRow{"missing.txt", {}, false, {"typed"}, kNoFile};
        QTest::newRow("a folder") << PreviewRow{".", {}, false, {"typed"}, kNoFile};
        // clang-format on
    }

    // Previewline is raised once per click, past the end and when the file
    // cannot be read too; the window goes on working.
    void preview() {
        QFETCH(PreviewRow, row);
        const auto& [name, bytes, loadFirst, shown, statusText] = row;
        const QString source = name.isEmpty() ? name : path(name);
        if (!bytes.isNull()) file(name, bytes);
        box("Text2")->setText("typed");
        if (loadFirst) load(source);
        if (!loadFirst) QTest::keyClicks(box("Text1"), source);
        const std::int64_t start = previewline();
        QStringList seen;
        for (qsizetype i = 0; i < shown.size(); ++i) {
            click("Command1");
            seen << text("Text2");
        }
        QCOMPARE(seen, shown);
        QCOMPARE(previewline(), start + shown.size());
        QCOMPARE(status(), statusText);
        box("Text1")->setText(file("next.txt", "l1\nl2\nl3\nl4\nl5\n"));
        click("Command1");
        QCOMPARE(text("Text2"), QStringLiteral("l%1").arg(start + shown.size() + 1));
    }

    // Editing Text1 by hand does not reset Previewline: the next ">>" shows
    // the next line number of whatever file Text1 names then.
    void previewFollowsText1() {
        const QString a = file("a.txt", "a1\r\na2\r\na3\r\n");
        load(a);
        click("Command1");
        QCOMPARE(text("Text2"), QStringLiteral("a2"));
        box("Text1")->selectAll();
        QTest::keyClicks(box("Text1"), file("b.txt", "b1\r\nb2\r\nb3\r\nb4\r\n"));
        click("Command1");
        QCOMPARE(text("Text2"), QStringLiteral("b3"));
        click("Command1");
        QCOMPARE(text("Text2"), QStringLiteral("b4"));
        box("Text1")->setText(a);
        click("Command1");  // line 5 of a three-line file
        QCOMPARE(text("Text2"), QStringLiteral("b4"));
        QCOMPARE(previewline(), 5);
    }

    void outputFile_data() {
        QTest::addColumn<OutputRow>("row");
        // clang-format off
        QTest::newRow("file chosen") << OutputRow{"", "chosen.txt", "%1/chosen.txt", ""};
        QTest::newRow("cancelled") << OutputRow{"", "", "%1/tmpresult.txt", kDefaultOutput};
        QTest::newRow("cancelled, started in /") << OutputRow{"/", "", "//tmpresult.txt", kDefaultOutput};
        // clang-format on
    }

    // The window is started in `startDir`, then the process moves on: the
    // fallback is in the folder it started in.
    void outputFile() {
        QFETCH(OutputRow, row);
        const auto& [startDir, answer, outfileAs, statusText] = row;
        open(startDir.isEmpty() ? dir_->path() : startDir);
        const QString folder = QDir(dir_->path()).canonicalPath();
        const QString expected = QString(outfileAs).replace("%1", folder);
        dialogs_->answer(answer.isEmpty() ? std::nullopt : std::optional(folder + '/' + answer));
        check("Check2")->click();
        QCOMPARE(outfile(), expected);
        QCOMPARE(status(), statusText);
        QVERIFY(check("Check2")->isChecked());
        QCOMPARE(dialogs_->shown(), QStringList{"save "});
        QVERIFY(!QFile::exists(expected));  // nothing is created before the first result
        if (startDir == "/") return;

        rip(file("s.txt", "a|1\r\nb|2\r\n"), "2");
        QCOMPARE(listed(), QStringList());
        rip(file("t.txt", "c|3\n"), "2,1");  // only ever appended to
        QCOMPARE(readFile(expected), QByteArray("1\r\n2\r\n3:c\r\n"));
        // Unchecking asks nothing and changes nothing.
        const QString ripped = status();
        check("Check2")->click();
        QVERIFY(!check("Check2")->isChecked());
        QCOMPARE(outfile(), expected);
        QCOMPARE(status(), ripped);
        QCOMPARE(dialogs_->shown().size(), 1);
    }

    void outputChangedMidRip_data() {
        QTest::addColumn<MidRipRow>("row");
        // clang-format off
        QTest::newRow("unchecked") << MidRipRow{true, 1, "-", "456", "123", "", ""};
        QTest::newRow("switched to another file") << MidRipRow{true, 2, "b.txt", "", "123", "456", ""};
        QTest::newRow("switched, dialog cancelled") << MidRipRow{true, 2, "", "", "123", "", "456"};
        QTest::newRow("checked") << MidRipRow{false, 1, "b.txt", "123", "", "456", ""};
        // clang-format on
    }

    // Clicks on Check2 run between two lines of a rip; the dialog holds the
    // rip until it closes, and the next line goes where the choice says.
    void outputChangedMidRip() {
        QFETCH(MidRipRow, row);
        const auto& [startInFile, clicks, midAnswer, toList, toA, toB, toDefault] = row;
        open(dir_->path());
        if (startInFile) {
            dialogs_->answer(path("a.txt"));
            check("Check2")->click();
        }
        bool heldRip = false;
        if (midAnswer != "-") {
            dialogs_->answer(midAnswer.isEmpty() ? std::nullopt : std::optional(path(midAnswer)));
            dialogs_->whileOpen(
                [&] { heldRip = window_->ripping() && window_->ripState().Ripcount == 3; });
        }
        rip(file("s.txt", numberedLines(6)), "2", [&](int pass) {
            for (int i = 0; pass == 4 && i < clicks; ++i) check("Check2")->click();
        });
        QCOMPARE(listed(), QString::fromLatin1(bLines(toList)).split("\r\n", Qt::SkipEmptyParts));
        QCOMPARE(readFile(path("a.txt")), bLines(toA));
        QCOMPARE(readFile(path("b.txt")), bLines(toB));
        QCOMPARE(readFile(QDir(dir_->path()).canonicalPath() + "/tmpresult.txt"),
                 bLines(toDefault));
        QCOMPARE(heldRip, midAnswer != "-");
        QCOMPARE(status(), QStringLiteral("6 values ripped"));
    }

    void save_data() {
        QTest::addColumn<SaveRow>("row");
        QByteArray many;
        for (int i = 1; i <= 40000; ++i) many += "a" + QByteArray::number(i) + "\r\n";
        // clang-format off
        QTest::newRow("three items") << SaveRow{"a|1\r\nb|2\nc|3", "2,1", {}, "1:a\r\n2:b\r\n3:c\r\n"};
        QTest::newRow("an empty item") << SaveRow{"a|\r\nb|2\r\n", "2", {}, "\r\n2\r\n"};
        QTest::newRow("onto a longer file") << SaveRow{"a|1\r\n", "1", QByteArray(5000, 'z'), "a\r\n"};
        QTest::newRow("not UTF-8, byte for byte") << SaveRow{"\xff\xfe|1\r\ncaf\xe9|2\r\n\x80|3\r\n", "1", {}, "\xff\xfe\r\ncaf\xe9\r\n\x80\r\n"};
        QTest::newRow("40000 items: no 32767 limit") << SaveRow{numberedLines(40000), "1", {}, many};
        // clang-format on
    }

    // Success leaves the status line alone and nothing beside the file.
    void save() {
        QFETCH(SaveRow, row);
        const auto& [source, fields, existing, expected] = row;
        if (!existing.isNull()) file("saved.txt", existing);
        rip(file("source.txt", source), fields);
        const QString ripped = status();
        dialogs_->answer(path("saved.txt"));
        click("Saverip");
        QCOMPARE(readFile(path("saved.txt")), expected);
        QCOMPARE(status(), ripped);
        QCOMPARE(filesInDir(), (QStringList{"saved.txt", "source.txt"}));
    }

    void saveFailure_data() {
        QTest::addColumn<QString>("target");  // in the temporary folder; null: a cancel
        QTest::addColumn<bool>("halfWay");    // the disk fills up half way through
        QTest::addColumn<QStringList>("files");
        // clang-format off
        QTest::newRow("dialog cancelled") << QString() << false << QStringList{"saved.txt", "source.txt"};
        QTest::newRow("folder missing") << "missing/saved.txt" << false << QStringList{"saved.txt", "source.txt"};
        QTest::newRow("a folder") << "folder" << false << QStringList{"folder", "saved.txt", "source.txt"};
        QTest::newRow("fails half way") << "saved.txt" << true << QStringList{"saved.txt", "source.txt"};
        // clang-format on
    }

    // "Nothing saved...", the reason (if any) in its tooltip, the file that was
    // there as it was, no temporary file behind; once the cause is gone, it
    // saves the list as it was.
    void saveFailure() {
        QFETCH(QString, target);
        QFETCH(bool, halfWay);
        QFETCH(QStringList, files);
        const QByteArray precious = "kept\r\nas it was\r\n";
        file("saved.txt", precious);
        if (files.contains("folder")) QVERIFY(QDir(dir_->path()).mkdir("folder"));
        if (halfWay) window_->setListSaver(std::make_unique<HalfWaySaver>());
        rip(file("source.txt", numberedLines(3)), "1");
        dialogs_->answer(target.isNull() ? std::nullopt : std::optional(path(target)));
        click("Saverip");
        QCOMPARE(status(), kNothingSaved);
        QCOMPARE(control<QLabel>(*window_, "Statu")->toolTip().isEmpty(), target.isNull());
        QCOMPARE(readFile(path("saved.txt")), precious);
        QCOMPARE(filesInDir(), files);

        window_->setListSaver(std::make_unique<kolvane::ListSaver>());
        dialogs_->answer(path("saved.txt"));
        click("Saverip");
        QCOMPARE(readFile(path("saved.txt")), QByteArray("a1\r\na2\r\na3\r\n"));
    }
};

QTEST_MAIN(FileHandlersTest)
#include "filehandlers_test.moc"
