// ListSaver: a failed save names its cause, and a save stopped while a FIFO's
// reader does not read leaves that reader whole lines.
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>
#include <thread>

#include "listsaver.h"

using kolvane::ListSaver;
using kolvane::ResultStore;
using kolvane::SaveControl;

namespace {

// Items of many lengths, so that blocks end anywhere in a pipe's pages.
ResultStore numbered(int count) {
    ResultStore items;
    for (int i = 0; i < count; ++i)
        items.append("item" + std::to_string(std::int64_t{i} * 7919 % 100003));
    return items;
}
QByteArray saved(const ResultStore& items) {
    QByteArray all;
    for (std::size_t i = 0; i < items.size(); ++i) {
        all += QByteArray::fromStdString(std::string(items.at(i))) + "\r\n";
    }
    return all;
}

}  // namespace

class ListSaverTest : public QObject {
    Q_OBJECT

  private slots:
    // A write that meets the limit first writes what fits without a word; the
    // cause shows only on the next one.
    void failureNamesItsCause_data() {
        QTest::addColumn<QString>("target");
        QTest::addColumn<rlim_t>("sizeLimit");
        QTest::addColumn<QString>("cause");
        QTest::newRow("device full") << "/dev/full" << RLIM_INFINITY << "No space left on device";
        QTest::newRow("limit reached in the last block")
            << "" << rlim_t{100000} << "File too large";
    }
    void failureNamesItsCause() {
        QFETCH(QString, target);
        QFETCH(rlim_t, sizeLimit);
        QFETCH(QString, cause);
        QTemporaryDir dir;
        if (target.isEmpty()) target = dir.filePath("out.txt");
        const ResultStore items = numbered(20000);
        rlimit before{};
        QCOMPARE(::getrlimit(RLIMIT_FSIZE, &before), 0);
        rlimit limit = before;
        limit.rlim_cur = sizeLimit;
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        QCOMPARE(::setrlimit(RLIMIT_FSIZE, &limit), 0);
        SaveControl control;
        const std::optional<QString> why = ListSaver().save(items, target, control);
        ::setrlimit(RLIMIT_FSIZE, &before);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(why.value_or("saved"), cause);
    }

    // The reader takes a little and then nothing: the stopped save leaves
    // whole lines in the pipe, the first ones of the list.
    void stopOnAFifoEndsOnALine() {
        QTemporaryDir dir;
        const QByteArray fifo = QFile::encodeName(dir.filePath("fifo"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        const ResultStore items = numbered(300000);
        SaveControl control;
        std::optional<QString> why;
        std::thread saver([&] { why = ListSaver().save(items, dir.filePath("fifo"), control); });
        const int fd = ::open(fifo.constData(), O_RDONLY);
        QByteArray got(100000, '\0');
        for (qsizetype n = 0; n < got.size();) {
            const ssize_t r = ::read(fd, got.data() + n, std::size_t(got.size() - n));
            QVERIFY(r > 0);
            n += r;
        }
        control.cancel = true;
        saver.join();
        QCOMPARE(why.value_or("saved"), QStringLiteral("stopped: the file was left as it was"));
        char buf[65536];
        for (ssize_t r; (r = ::read(fd, buf, sizeof buf)) > 0;) got.append(buf, r);
        ::close(fd);
        QVERIFY(got.endsWith("\r\n"));
        QVERIFY(saved(items).startsWith(got));
    }
};

QTEST_GUILESS_MAIN(ListSaverTest)
#include "listsaver_test.moc"
