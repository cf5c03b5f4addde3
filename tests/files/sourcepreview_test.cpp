// SourcePreview: the same line whether it is reached step by step, directly
// or going back, and a remembered place that dies with the version of the
// file it was in; a line of any length in bounded memory, and a slow source
// given up at a deadline. (The line rules are the engine's reader's.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <thread>

#include "sourcepreview.h"

using kolvane::SourcePreview;

namespace {

std::string local(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Writes the file with the modification time `mtime`.
void write(const QString& path, const QByteArray& bytes, time_t mtime) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    file.close();
    const struct timespec times[2] = {{mtime, 0}, {mtime, 0}};
    QCOMPARE(::utimensat(AT_FDCWD, local(path).c_str(), times, 0), 0);
}

// Line n as the preview gives it: the line ("+" after it when only its start
// is kept), "<none>" past the end, or "<error>".
QByteArray ask(SourcePreview& preview, const QString& path, std::int64_t n) {
    auto line = preview.line(local(path), n);
    if (!line) return "<error>";
    if (!*line) return "<none>";
    return QByteArray::fromStdString((*line)->start) + ((*line)->cut ? "+" : "");
}

}  // namespace

class SourcePreviewTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;

  private slots:
    // Step by step past the end, again (a load after a load), then from the
    // last line down. The remembered place must lie after the LF of a CR LF
    // that two blocks cut in two; of a long line only the start is kept.
    void lines() {
        const QByteArray wide(qsizetype(SourcePreview::kBlockBytes) - 1, 'w');
        const QByteArray start = wide.left(SourcePreview::kKeptBytes) + "+";
        const QList<QByteArray> expected{start, "next", "", "last", "<none>"};
        const QString path = dir_.filePath("s.txt");
        write(path, wide + "\r\nnext\n\rlast", 1'000'000'000);
        SourcePreview stepping, jumping;
        for (std::int64_t n = 1; n <= 5; ++n) {
            QCOMPARE(ask(stepping, path, n), expected[n - 1]);
            QCOMPARE(ask(stepping, path, n), expected[n - 1]);
        }
        for (std::int64_t n = 4; n >= 1; --n) QCOMPARE(ask(jumping, path, n), expected[n - 1]);
    }

    // After line 2 of one version, line 3 of the next version is that
    // version's: grown, or the same size and time but renamed over.
    void changedFile() {
        const QString path = dir_.filePath("s.txt");
        for (const bool renamed : {false, true}) {
            write(path, "a1\r\na2\r\na3\r\n", 1'000'000'000);
            SourcePreview preview;
            QCOMPARE(ask(preview, path, 2), QByteArray("a2"));
            const QByteArray after =
                renamed ? "x\r\ny\r\nzzzz\r\n" : "first\r\nsecond\r\nthird\r\n";
            const QString written = renamed ? dir_.filePath("new.txt") : path;
            write(written, after, renamed ? 1'000'000'000 : 1'000'000'100);
            if (renamed) QCOMPARE(::rename(local(written).c_str(), local(path).c_str()), 0);
            QCOMPARE(ask(preview, path, 3), after.split('\n')[2].chopped(1));
        }
    }

    // A FIFO gives its line once its writer comes; a FIFO without a writer
    // fails at the deadline; a device that never ends a line shows its start.
    void slowSources() {
        SourcePreview preview(std::chrono::milliseconds(50));
        const QString lonely = dir_.filePath("lonely"), fifo = dir_.filePath("fifo");
        QCOMPARE(::mkfifo(local(lonely).c_str(), 0600) + ::mkfifo(local(fifo).c_str(), 0600), 0);
        QCOMPARE(ask(preview, lonely, 1), QByteArray("<error>"));
        std::thread writer([&] {
            const int fd = ::open(local(fifo).c_str(), O_WRONLY);
            QCOMPARE(::write(fd, "a|b\n", 4), 4);
            ::close(fd);
        });
        QCOMPARE(ask(preview, fifo, 1), QByteArray("a|b"));
        writer.join();
        SourcePreview patient;
        QCOMPARE(ask(patient, "/dev/zero", 1),
                 QByteArray(qsizetype(SourcePreview::kKeptBytes), '\0') + "+");
    }

    // A source read once keeps what the preview read, and no more than its
    // bound: a line past it fails, and the rip's source still gives every
    // byte from the first, once.
    void readOnce() {
        SourcePreview preview(std::chrono::seconds(5), std::size_t{1} << 20);
        const QString fifo = dir_.filePath("once");
        QCOMPARE(::mkfifo(local(fifo).c_str(), 0600), 0);
        const std::string all = "l1\nl2\n" + std::string(std::size_t{2} << 20, 'w') + "\nlast\n";
        std::thread writer([&] {
            const int fd = ::open(local(fifo).c_str(), O_WRONLY);
            for (std::size_t at = 0; at < all.size();) {
                const ssize_t n = ::write(fd, all.data() + at, all.size() - at);
                if (n <= 0) break;
                at += std::size_t(n);
            }
            ::close(fd);
        });
        const QList<QByteArray> seen{ask(preview, fifo, 2), ask(preview, fifo, 1),
                                     ask(preview, fifo, 4)};
        std::string got;
        if (auto source = preview.takeSource(local(fifo))) {
            std::vector<char> buf(1 << 16);
            for (;;) {
                const kolvane::IoResult r = source->read(buf);
                if (r.failed() || (r.bytes == 0 && !r.noDataYet)) break;
                got.append(buf.data(), r.bytes);
            }
        }
        writer.join();
        QCOMPARE(seen, (QList<QByteArray>{"l2", "l1", "<error>"}));
        QVERIFY(got == all);
        QVERIFY(!preview.takeSource(local(fifo)));
    }
};

QTEST_MAIN(SourcePreviewTest)
#include "sourcepreview_test.moc"
