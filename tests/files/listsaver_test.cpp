// ListSaver: the items with CR LF, written whole or not at all over a regular
// file, and in place over a device or a pipe. (The bytes themselves are the
// window's save test's.)
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "listsaver.h"

using kolvane::ListSaver;

namespace {

// 300,000 items, about 3.4 MB once written: four blocks of the saver.
kolvane::ResultStore manyItems() {
    kolvane::ResultStore store;
    for (int i = 0; i < 300'000; ++i) store.append("item " + std::to_string(i));
    return store;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class ListSaverTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir_;
    QString path(const char* name) { return dir_.filePath(name); }
    // Nothing may be left beside the target.
    QStringList entries() {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot);
    }

  private slots:
    // Whichever block fails half written, the file there stays as it was;
    // with none failing, every block replaces a longer file.
    void wholeOrNothing() {
        for (const int failAt : {1, 4, 0}) {
            QFile kept(path("saved.txt"));
            QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write(QByteArray(4 << 20, 'k')) > 0);
            kept.close();
            int blocks = 0;
            const ListSaver saver([&](QFileDevice& file, const char* data, qint64 size) {
                if (++blocks != failAt) return ListSaver::writeWhole(file, data, size);
                file.write(data, size / 2);
                return false;
            });
            QCOMPARE(saver.save(manyItems(), path("saved.txt")).has_value(), failAt != 0);
            const QByteArray now = readAll(path("saved.txt"));
            if (failAt != 0) QCOMPARE(now, QByteArray(4 << 20, 'k'));
            if (failAt == 0) QVERIFY(now.startsWith("item 0\r\nitem 1\r\n"));
            if (failAt == 0) QVERIFY(now.endsWith("\r\nitem 299999\r\n") && blocks == 4);
            QCOMPARE(entries(), QStringList{"saved.txt"});
        }
    }

    // A pipe is written, not replaced by a plain file; a full device fails.
    void devicesWrittenInPlace() {
        const QByteArray pipe = QFile::encodeName(path("pipe"));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        // A reader first, so that opening the pipe for writing does not wait.
        const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK);
        kolvane::ResultStore two;
        two.append("a:1");
        two.append("b:2");
        QCOMPARE(ListSaver().save(two, path("pipe")), std::nullopt);
        char buffer[64] = {};
        const ssize_t got = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        QCOMPARE(QByteArray(buffer, got > 0 ? got : 0), QByteArray("a:1\r\nb:2\r\n"));
        QVERIFY(!QFileInfo(path("pipe")).isFile());
        QVERIFY(ListSaver().save(manyItems(), "/dev/full").has_value());
    }
};

QTEST_MAIN(ListSaverTest)
#include "listsaver_test.moc"
