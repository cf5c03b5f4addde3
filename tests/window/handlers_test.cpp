// The file handlers with scripted dialogs and real files: the path the one
// dialog remembers, loading and ">>", the output file, and saving the list.
#include "windowtest.h"

using namespace kolvane::test;

namespace {

const QString kNoFile = QStringLiteral("No file opened...");
const QString kNothingSaved = QStringLiteral("Nothing saved...");

struct LoadRow {
    const char* name;
    QByteArray bytes;     // null: nothing there; "/": a folder
    bool cancel = false;  // the dialog is cancelled
    QString line2;        // Text2 after ">>" once loaded; null: the load fails
};

}  // namespace

class HandlersTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // One dialog object serves all three uses: each starts from the path
    // confirmed last in any of them; a cancel leaves that path.
    void rememberedPath() {
        const QString source = file("source.txt", "a|1\r\n");
        answer(source);
        click("Loadfile");
        chooseOutfile(path("out.txt"));
        check("Check2")->click();  // unchecked: no dialog
        rip(source, "1");
        answer(std::nullopt);
        answer(path("saved.txt"));
        click("Saverip");
        click("Saverip");
        QCOMPARE(dialogs_.shown,
                 (QStringList{"open ", "append " + source, "save " + path("out.txt"),
                              "save " + path("out.txt")}));
    }

    // A failed load has put the path into Text1 (a cancel has not); Text2 and
    // Previewline keep what the earlier load and ">>" left, and ">>" goes on
    // from there. Success writes no status text.
    void load() {
        const LoadRow rows[] = {
            {"lines", "one|1\r\ntwo\r\n", false, "two"},
            {"first line empty", "\r\ntwo\r\n", false, "two"},
            {"empty file", "", false, {}},
            {"missing", {}, false, {}},
            {"a folder", "/", false, {}},
            {"cancelled", "x\r\n", true, {}},
        };
        for (const LoadRow& row : rows) {
            open();
            const QString earlier = file("earlier.txt", "p1\r\np2\r\np3\r\n");
            answer(earlier);
            click("Loadfile");
            click("Command1");
            click("Saverip");  // an earlier status text to keep
            if (row.bytes == "/")
                QVERIFY(QDir().mkpath(path(row.name)));
            else if (!row.bytes.isNull())
                file(row.name, row.bytes);
            answer(row.cancel ? std::nullopt : std::optional(path(row.name)));
            click("Loadfile");
            const bool loaded = !row.line2.isNull();
            QCOMPARE(text("Text1"), row.cancel ? earlier : path(row.name));
            QCOMPARE(status(), loaded ? kNothingSaved : kNoFile);
            click("Command1");
            QCOMPARE(text("Text2"), loaded ? row.line2 : row.cancel ? "p3" : "p2");
        }
    }

    // ">>" before any load shows line 1; past the end it keeps the last line
    // and still counts; a file that cannot be read says so.
    void preview() {
        box("Text1")->setText(file("s.txt", "one\r\ntwo\r\n"));
        QStringList seen;
        for (int i = 0; i < 3; ++i) {
            click("Command1");
            seen << text("Text2");
        }
        QCOMPARE(seen, (QStringList{"one", "two", "two"}));
        box("Text1")->setText(file("t.txt", "1\n2\n3\n4\n5\n"));
        click("Command1");
        QCOMPARE(text("Text2"), QStringLiteral("4"));
        QCOMPARE(status(), QString());
        box("Text1")->setText(path("missing.txt"));
        click("Command1");
        QCOMPARE(status(), kNoFile);
        QVERIFY(statu()->toolTip().contains("missing.txt"));
    }

    // Cancelled, the output file is tmpresult.txt in the folder the window
    // started in, however the process moved since; it is only ever appended
    // to, and only from the first result. Unchecking changes nothing.
    void outputFile() {
        const QString fallback = QDir(dir_->path()).canonicalPath() + "/tmpresult.txt";
        open(dir_->path());
        answer(std::nullopt);
        check("Check2")->click();
        QCOMPARE(status(), QStringLiteral("default : tmpresult.txt"));
        QVERIFY(check("Check2")->isChecked() && !QFile::exists(fallback));
        rip(file("s.txt", "a|1\r\nb|2\r\n"), "2");
        rip(path("s.txt"), "1");
        QCOMPARE(readFile(fallback), QByteArray("1\r\n2\r\na\r\nb\r\n"));
        QCOMPARE(listed(), QStringList());
        check("Check2")->click();
        QCOMPARE(status(), QStringLiteral("2 values ripped"));
    }

    // The list's bytes, not what it shows, are saved; success leaves the
    // status line alone. Empty, the list is not saved and no dialog shows.
    void save() {
        click("Saverip");
        QCOMPARE(status(), kNothingSaved);
        rip(file("s.txt", "\xff\xfe|1\r\ncaf\xe9|\r\n"), "1,2");
        answer(path("saved.txt"));
        click("Saverip");
        QCOMPARE(readFile(path("saved.txt")), QByteArray("\xff\xfe:1\r\ncaf\xe9:\r\n"));
        QCOMPARE(status(), QStringLiteral("2 values ripped"));
    }

    // "Nothing saved...", the reason in its tooltip, the file there as it was.
    void saveFailure() {
        kolvane::WindowServices failing;
        failing.writeBlock = [](QFileDevice& file, const char* data, qint64 size) {
            file.write(data, size / 2);
            return false;
        };
        open({}, std::move(failing));
        file("saved.txt", "kept\r\n");
        rip(file("s.txt", numberedLines(3)), "1");
        for (const auto& target : {std::optional<QString>(), std::optional(path("saved.txt"))}) {
            answer(target);
            click("Saverip");
            QCOMPARE(status(), kNothingSaved);
            QCOMPARE(statu()->toolTip().isEmpty(), !target);
        }
        QCOMPARE(readFile(path("saved.txt")), QByteArray("kept\r\n"));
    }
};

QTEST_MAIN(HandlersTest)
#include "handlers_test.moc"
