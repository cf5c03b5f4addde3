// ListSaver: the exact bytes of every item with CR LF, written whole or not at
// all over a regular file, and in place over a device or a pipe.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include "listsaver.h"

using kolvane::ListSaver;

namespace {

kolvane::ResultStore storeOf(const QList<QByteArray>& items) {
    kolvane::ResultStore store;
    for (const QByteArray& item : items) store.append(item.toStdString());
    return store;
}

// About 3.4 MB once written: four blocks of the saver.
QList<QByteArray> manyItems() {
    QList<QByteArray> items;
    for (int i = 0; i < 300'000; ++i) items << "item " + QByteArray::number(i);
    return items;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

bool isKind(const QString& path, mode_t kind) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
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
    void cleanup() {
        for (const QString& name : entries()) QVERIFY(QFile::remove(dir_.filePath(name)));
    }

    // Empty items, bytes that are not UTF-8, CR and NUL inside; then many
    // blocks over a longer file.
    void content() {
        const QList<QByteArray> odd{"", "\xff\xfe", QByteArray("caf\xe9\rx\0y", 8), ""};
        ListSaver saver;
        QCOMPARE(saver.save(storeOf(odd), path("saved.txt")), std::nullopt);
        QCOMPARE(readAll(path("saved.txt")),
                 QByteArray("\r\n\xff\xfe\r\ncaf\xe9\rx\0y\r\n\r\n", 18));
        QByteArray expected;
        for (const QByteArray& item : manyItems()) expected += item + "\r\n";
        QFile longer(path("saved.txt"));
        QVERIFY(longer.open(QIODevice::WriteOnly) && longer.write(QByteArray(4 << 20, 'z')) > 0);
        longer.close();
        QCOMPARE(saver.save(storeOf(manyItems()), path("saved.txt")), std::nullopt);
        QCOMPARE(readAll(path("saved.txt")), expected);
        QCOMPARE(entries(), QStringList{"saved.txt"});
    }

    // Whichever block fails half written, the file there stays as it was.
    void failsPartWay() {
        for (const int failAt : {1, 2, 4}) {
            QFile kept(path("saved.txt"));
            QVERIFY(kept.open(QIODevice::WriteOnly) && kept.write("kept\r\n") == 6);
            kept.close();
            int blocks = 0;
            const ListSaver saver([&](QFileDevice& file, const char* data, qint64 size) {
                if (++blocks != failAt) return ListSaver::writeWhole(file, data, size);
                file.write(data, size / 2);
                return false;
            });
            QVERIFY(saver.save(storeOf(manyItems()), path("saved.txt")).has_value());
            QCOMPARE(blocks, failAt);
            QCOMPARE(readAll(path("saved.txt")), QByteArray("kept\r\n"));
            QCOMPARE(entries(), QStringList{"saved.txt"});
        }
    }

    // A pipe is written, not replaced by a plain file; a full device fails
    // the save and is still the device afterwards.
    void devicesWrittenInPlace() {
        const QByteArray pipe = QFile::encodeName(path("pipe"));
        QCOMPARE(::mkfifo(pipe.constData(), 0600), 0);
        // A reader first, so that opening the pipe for writing does not wait.
        const int reader = ::open(pipe.constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        const auto failed = ListSaver().save(storeOf({"a:1", "b:2"}), path("pipe"));
        char buffer[64] = {};
        const ssize_t got = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        QCOMPARE(failed, std::nullopt);
        QCOMPARE(QByteArray(buffer, got > 0 ? got : 0), QByteArray("a:1\r\nb:2\r\n"));
        QVERIFY(isKind(path("pipe"), S_IFIFO));

        const QByteArray full = QFile::encodeName(path("full"));
        if (::mknod(full.constData(), S_IFCHR | 0666, ::makedev(1, 7)) != 0) QSKIP("not root");
        QVERIFY(ListSaver().save(storeOf(manyItems()), path("full")).has_value());
        QVERIFY(isKind(path("full"), S_IFCHR));
        QCOMPARE(entries(), (QStringList{"full", "pipe"}));
    }
};

QTEST_MAIN(ListSaverTest)
#include "listsaver_test.moc"
