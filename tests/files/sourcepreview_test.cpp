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

#include "linereader.h"
#include "sourcepreview.h"

using kolvane::SourcePreview;

namespace {

using Lines = QList<QByteArray>;

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Writes the file and, unless `mtime` is 0, sets its modification time.
void write(const QString& path, const QByteArray& bytes, time_t mtime = 0) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
    file.close();
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    if (mtime) QCOMPARE(::utimensat(AT_FDCWD, local(path).c_str(), times, 0), 0);
}

// Line n as the preview gives it: the line, "<none>" past the end, or
// "<error>".
QByteArray ask(SourcePreview& preview, const QString& path, std::int64_t n) {
    auto line = preview.line(local(path), n);
    if (!line) return "<error>";
    return *line ? QByteArray::fromStdString(**line) : "<none>";
}

}  // namespace

class SourcePreviewTest : public QObject {
    Q_OBJECT

  private slots:
    void lines_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<Lines>("expected");
        // The remembered place must lie after the LF of a CR LF that a block
        // of the reader cuts in two, or the next line would come out empty.
        const QByteArray wide(qsizetype(kolvane::LineReader::kBlockSize) - 1, 'w');
        // clang-format off
        QTest::newRow("LF") << QByteArray("a\nb\nc\n") << Lines{"a", "b", "c"};
        QTest::newRow("CR LF") << QByteArray("a\r\nb\r\nc\r\n") << Lines{"a", "b", "c"};
        QTest::newRow("CR") << QByteArray("a\rb\rc\r") << Lines{"a", "b", "c"};
        QTest::newRow("mixed, last line unterminated") << QByteArray("a\r\nb\nc\rd\n\re") << Lines{"a", "b", "c", "d", "", "e"};
        QTest::newRow("LF CR is two line ends") << QByteArray("a\n\rb") << Lines{"a", "", "b"};
        QTest::newRow("empty lines") << QByteArray("\r\n\r\nx\r\n\r\n") << Lines{"", "", "x", ""};
        QTest::newRow("empty file") << QByteArray() << Lines{};
        QTest::newRow("CR LF across a block") << wide + "\r\nnext\r\nlast" << Lines{wide, "next", "last"};
        // clang-format on
    }

    // Step by step past the end, back to line 1 and on again; then each line
    // directly, from the last down, with a fresh preview.
    void lines() {
        QFETCH(QByteArray, bytes);
        QFETCH(Lines, expected);
        QTemporaryDir dir;
        const QString path = dir.filePath("s.txt");
        write(path, bytes);
        const std::int64_t count = expected.size();
        SourcePreview stepping;
        for (std::int64_t n = 1; n <= count + 2; ++n) {
            QCOMPARE(ask(stepping, path, n), n <= count ? expected[n - 1] : "<none>");
        }
        QCOMPARE(ask(stepping, path, 1), count ? expected[0] : "<none>");
        for (std::int64_t n = 2; n <= count; ++n) QCOMPARE(ask(stepping, path, n), expected[n - 1]);
        SourcePreview jumping;
        for (std::int64_t n = count; n >= 1; --n) QCOMPARE(ask(jumping, path, n), expected[n - 1]);
    }

    void changedFile_data() {
        QTest::addColumn<QByteArray>("after");
        QTest::addColumn<bool>("sameMtime");  // the new version gets the old time
        QTest::addColumn<bool>("renamed");    // written beside and renamed over
        // Same size, but line 3 starts elsewhere: a stale place would give "zz".
        const QByteArray sameSize = "x\r\ny\r\nzzzz\r\n";
        // clang-format off
        QTest::newRow("grown") << QByteArray("first line\r\nsecond line\r\nthird line\r\n") << false << false;
        QTest::newRow("shrunk") << QByteArray("1\r\n2\r\n3\r\n") << false << false;
        QTest::newRow("same size, other time") << sameSize << false << false;
        QTest::newRow("renamed over, same size and time") << sameSize << true << true;
        // clang-format on
    }

    // After line 2 of one version, line 3 of the next version is that
    // version's.
    void changedFile() {
        QFETCH(QByteArray, after);
        QFETCH(bool, sameMtime);
        QFETCH(bool, renamed);
        QTemporaryDir dir;
        const QString path = dir.filePath("s.txt");
        write(path, "a1\r\na2\r\na3\r\n", 1'000'000'000);
        SourcePreview preview;
        QCOMPARE(ask(preview, path, 1), QByteArray("a1"));
        QCOMPARE(ask(preview, path, 2), QByteArray("a2"));
        const QString written = renamed ? dir.filePath("new.txt") : path;
        write(written, after, sameMtime ? 1'000'000'000 : 1'000'000'100);
        if (renamed) QCOMPARE(::rename(local(written).c_str(), local(path).c_str()), 0);
        QCOMPARE(ask(preview, path, 3), after.split('\n')[2].chopped(1));
    }

    void failures_data() {
        QTest::addColumn<QString>("name");  // in the temporary folder; "" for no path
        QTest::addColumn<QString>("cause");
        QTest::newRow("no path") << ""
                                 << "no source file given";
        QTest::newRow("missing file")
            << "missing.txt" << QString::fromLocal8Bit(std::strerror(ENOENT));
        QTest::newRow("a folder") << "folder" << QString::fromLocal8Bit(std::strerror(EISDIR));
    }

    void failures() {
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
};

QTEST_MAIN(SourcePreviewTest)
#include "sourcepreview_test.moc"
