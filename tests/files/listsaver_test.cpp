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
#include "resultstore.h"

using kolvane::ListSaver;

namespace {

using Items = QList<QByteArray>;

// Fails at block `failAt` (counted from 1) after writing half of it.
class FailingSaver : public ListSaver {
  public:
    explicit FailingSaver(int failAt) : failAt_(failAt) {}
    int blocks = 0;

  protected:
    bool writeBlock(QFileDevice& file, const char* data, qint64 size) override {
        if (++blocks != failAt_) return ListSaver::writeBlock(file, data, size);
        (void)ListSaver::writeBlock(file, data, size / 2);
        return false;
    }

  private:
    int failAt_;
};

kolvane::ResultStore storeOf(const Items& items) {
    kolvane::ResultStore store;
    for (const QByteArray& item : items) store.append(item.toStdString());
    return store;
}

QByteArray joined(const Items& items) {
    QByteArray bytes;
    for (const QByteArray& item : items) bytes += item + "\r\n";
    return bytes;
}

// About 3.4 MB once written: four blocks of the saver.
Items manyItems() {
    Items items;
    for (int i = 0; i < 300'000; ++i) items << "item " + QByteArray::number(i);
    return items;
}

void write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Everything in the folder: nothing may be left beside the target.
QStringList entries(const QTemporaryDir& dir) {
    return QDir(dir.path())
        .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
}

bool isKind(const QString& path, mode_t kind) {
    struct stat st {};
    return ::lstat(QFile::encodeName(path).constData(), &st) == 0 && (st.st_mode & S_IFMT) == kind;
}

}  // namespace

class ListSaverTest : public QObject {
    Q_OBJECT

  private slots:
    void content_data() {
        QTest::addColumn<Items>("items");
        QTest::addColumn<bool>("existing");  // over a 4 MiB file
        const Items odd{"", "\xff\xfe", QByteArray("caf\xe9\rx\0y", 8), ""};
        QTest::newRow("no items: an empty file") << Items{} << true;
        QTest::newRow("empty, not UTF-8, CR and NUL inside") << odd << false;
        QTest::newRow("several blocks, over a longer file") << manyItems() << true;
    }

    void content() {
        QFETCH(Items, items);
        QFETCH(bool, existing);
        QTemporaryDir dir;
        const QString path = dir.filePath("saved.txt");
        if (existing) write(path, QByteArray(4 << 20, 'z'));
        ListSaver saver;
        QCOMPARE(saver.save(storeOf(items), path), std::nullopt);
        QCOMPARE(readAll(path), joined(items));
        QCOMPARE(entries(dir), QStringList{"saved.txt"});
    }

    void failsPartWay_data() {
        QTest::addColumn<int>("failAt");
        QTest::newRow("first block") << 1;
        QTest::newRow("second block") << 2;
        QTest::newRow("last block") << 4;
    }

    // Whichever block fails, the file there stays as it was and nothing is
    // left beside it.
    void failsPartWay() {
        QFETCH(int, failAt);
        QTemporaryDir dir;
        const QString path = dir.filePath("saved.txt");
        write(path, "kept\r\n");
        FailingSaver saver(failAt);
        QVERIFY(saver.save(storeOf(manyItems()), path).has_value());
        QCOMPARE(saver.blocks, failAt);
        QCOMPARE(readAll(path), QByteArray("kept\r\n"));
        QCOMPARE(entries(dir), QStringList{"saved.txt"});
    }

    // A pipe is written, not replaced by a plain file.
    void pipeWrittenInPlace() {
        QTemporaryDir dir;
        const QString path = dir.filePath("pipe");
        QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        // A reader first, so that opening the pipe for writing does not wait.
        const int reader = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK);
        QVERIFY(reader >= 0);
        ListSaver saver;
        const auto failed = saver.save(storeOf({"a:1", "b:2"}), path);
        char buffer[64] = {};
        const ssize_t got = ::read(reader, buffer, sizeof buffer);
        ::close(reader);
        QCOMPARE(failed, std::nullopt);
        QCOMPARE(QByteArray(buffer, got > 0 ? got : 0), QByteArray("a:1\r\nb:2\r\n"));
        QVERIFY(isKind(path, S_IFIFO));
        QCOMPARE(entries(dir), QStringList{"pipe"});
    }

    // A full device fails the save and is still the device afterwards.
    void fullDeviceKept() {
        QTemporaryDir dir;
        const QString path = dir.filePath("full");
        if (::mknod(QFile::encodeName(path).constData(), S_IFCHR | 0666, ::makedev(1, 7)) != 0) {
            QSKIP("cannot make a device node here (not root)");
        }
        ListSaver saver;
        QVERIFY(saver.save(storeOf(manyItems()), path).has_value());
        QVERIFY(isKind(path, S_IFCHR));
        QCOMPARE(entries(dir), QStringList{"full"});
    }
};

QTEST_MAIN(ListSaverTest)
#include "listsaver_test.moc"
