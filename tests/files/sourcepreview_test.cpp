// SourcePreview: single lines by number with the rip's line rules, the same
// answers whether a line is reached step by step, directly or going back,
// and a remembered place that dies with the version of the file it was in.
#include <fcntl.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <cerrno>
#include <cstring>
#include <optional>
#include <string>

#include "linereader.h"
#include "sourcepreview.h"

using kolvane::SourcePreview;

namespace {

using Lines = QList<QByteArray>;

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Line n as the preview gives it: the line, "<none>" past the end, or
// "<error>".
QByteArray ask(SourcePreview& preview, const QString& path, std::int64_t n) {
    auto line = preview.line(local(path), n);
    if (!line) return "<error>";
    if (!*line) return "<none>";
    return QByteArray::fromStdString(**line);
}

void setMtime(const QString& path, std::int64_t seconds) {
    struct timespec times[2] = {{static_cast<time_t>(seconds), 0},
                                {static_cast<time_t>(seconds), 0}};
    QVERIFY(::utimensat(AT_FDCWD, local(path).c_str(), times, 0) == 0);
}

}  // namespace

class SourcePreviewTest : public QObject {
    Q_OBJECT

  private slots:
    void lines_data();
    void lines();
    void changedFile_data();
    void changedFile();
    void failures_data();
    void failures();
};

void SourcePreviewTest::lines_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Lines>("expected");

    QTest::newRow("LF") << QByteArray("a\nb\nc\n") << Lines{"a", "b", "c"};
    QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc\r\n") << Lines{"a", "b", "c"};
    QTest::newRow("CR") << QByteArray("a\rb\rc\r") << Lines{"a", "b", "c"};
    QTest::newRow("mixed, last line unterminated")
        << QByteArray("a\r\nb\nc\rd\n\re") << Lines{"a", "b", "c", "d", "", "e"};
    QTest::newRow("LF CR is two line ends") << QByteArray("a\n\rb") << Lines{"a", "", "b"};
    QTest::newRow("empty lines") << QByteArray("\r\n\r\nx\r\n\r\n") << Lines{"", "", "x", ""};
    QTest::newRow("empty file") << QByteArray() << Lines{};
    // The remembered place must lie after the LF of a CR LF that a block of
    // the reader cuts in two, or the next line would come out empty.
    const QByteArray wide(qsizetype(kolvane::LineReader::kBlockSize) - 1, 'w');
    QTest::newRow("CR LF across a block")
        << wide + "\r\nnext\r\nlast" << Lines{wide, "next", "last"};
}

void SourcePreviewTest::lines() {
    QFETCH(QByteArray, bytes);
    QFETCH(Lines, expected);
    QTemporaryDir dir;
    const QString path = dir.filePath("s.txt");
    write(path, bytes);
    const std::int64_t count = expected.size();

    // Step by step, one preview, past the end and on.
    SourcePreview stepping;
    for (std::int64_t n = 1; n <= count + 2; ++n) {
        QCOMPARE(ask(stepping, path, n), n <= count ? expected[n - 1] : "<none>");
    }
    // Back to the first line, then forward again.
    QCOMPARE(ask(stepping, path, 1), count ? expected[0] : "<none>");
    for (std::int64_t n = 2; n <= count; ++n) QCOMPARE(ask(stepping, path, n), expected[n - 1]);
    // Each line directly, from the last down.
    SourcePreview jumping;
    for (std::int64_t n = count; n >= 1; --n) QCOMPARE(ask(jumping, path, n), expected[n - 1]);
}

void SourcePreviewTest::changedFile_data() {
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<bool>("sameMtime");  // the new version gets the old time
    QTest::addColumn<bool>("renamed");    // written beside and renamed over

    QTest::newRow("grown") << QByteArray("first line\r\nsecond line\r\nthird line\r\n") << false
                           << false;
    QTest::newRow("shrunk") << QByteArray("1\r\n2\r\n3\r\n") << false << false;
    // Same size, but line 3 starts elsewhere: a stale place would give "zz".
    QTest::newRow("same size, other time") << QByteArray("x\r\ny\r\nzzzz\r\n") << false << false;
    QTest::newRow("renamed over, same size and time")
        << QByteArray("x\r\ny\r\nzzzz\r\n") << true << true;
}

// After line 2 of one version, line 3 of the next version is that version's.
void SourcePreviewTest::changedFile() {
    QFETCH(QByteArray, after);
    QFETCH(bool, sameMtime);
    QFETCH(bool, renamed);
    QTemporaryDir dir;
    const QString path = dir.filePath("s.txt");
    write(path, "a1\r\na2\r\na3\r\n");
    setMtime(path, 1'000'000'000);
    SourcePreview preview;
    QCOMPARE(ask(preview, path, 1), QByteArray("a1"));
    QCOMPARE(ask(preview, path, 2), QByteArray("a2"));

    const QString written = renamed ? dir.filePath("new.txt") : path;
    write(written, after);
    setMtime(written, sameMtime ? 1'000'000'000 : 1'000'000'100);
    if (renamed) QVERIFY(::rename(local(written).c_str(), local(path).c_str()) == 0);

    QCOMPARE(ask(preview, path, 3), after.split('\n')[2].chopped(1));
}

void SourcePreviewTest::failures_data() {
    QTest::addColumn<QString>("name");  // in the temporary folder; "" for no path
    QTest::addColumn<QString>("cause");

    QTest::newRow("no path") << ""
                             << "no source file given";
    QTest::newRow("missing file") << "missing.txt" << QString::fromLocal8Bit(std::strerror(ENOENT));
    QTest::newRow("a folder") << "folder" << QString::fromLocal8Bit(std::strerror(EISDIR));
}

void SourcePreviewTest::failures() {
    QFETCH(QString, name);
    QFETCH(QString, cause);
    QTemporaryDir dir;
    QVERIFY(QDir(dir.path()).mkdir("folder"));
    const std::string path = name.isEmpty() ? std::string() : local(dir.filePath(name));
    SourcePreview preview;
    auto line = preview.line(path, 1);
    QVERIFY(!line);
    QCOMPARE(QString::fromLocal8Bit(line.error().cause), cause);
    QCOMPARE(line.error().file, path);
}

QTEST_MAIN(SourcePreviewTest)
#include "sourcepreview_test.moc"
