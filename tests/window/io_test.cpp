// What the window reads and writes: a source read once keeps every line from
// preview to rip, a Save onto a FIFO holds no event up, closing mid-rip asks,
// names that are not UTF-8 load, and typed separators mean the bytes a
// Windows-1252 source shows.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QMimeData>
#include <condition_variable>
#include <mutex>
#include <thread>

#include "commandline.h"
#include "windowtest.h"

using namespace kolvane::test;

namespace {

// The longest gap between the ticks of a 10 ms timer, from start() to stop().
struct GapMeter {
    QTimer timer;
    QElapsedTimer clock;
    qint64 longest = 0;
    int ticks = 0;
    std::function<void(int)> onTick;
    GapMeter() {
        timer.setInterval(10);
        QObject::connect(&timer, &QTimer::timeout, [this] {
            longest = std::max(longest, clock.restart());
            if (onTick) onTick(++ticks);
        });
    }
    void start() {
        clock.start();
        timer.start();
    }
};

// What a reader of FIFO `name` gets until its writer closes; it gives up
// after two seconds without a byte or a writer.
std::string readFifo(const char* name) {
    const int fd = ::open(name, O_RDONLY | O_NONBLOCK);
    std::string got;
    char buf[4096];
    for (pollfd wait{fd, POLLIN, 0}; ::poll(&wait, 1, 2000) > 0;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n == 0) break;
        if (n > 0) got.append(buf, std::size_t(n));
    }
    ::close(fd);
    return got;
}

}  // namespace

class IoTest : public QObject, WindowFixture {
    Q_OBJECT

  private slots:
    void init() { setUp(); }
    void cleanup() { tearDown(); }

    // The preview reads ahead of its line; the rip still gets line 1 on.
    void fifoPreviewThenRip() {
        HeldFifo fifo(path("fifo"), numberedLines(500));
        loadFile(path("fifo"));
        QCOMPARE(text("previewLine"), QStringLiteral("a1|b1|c1"));
        click("nextLineButton");
        QCOMPARE(text("previewLine"), QStringLiteral("a2|b2|c2"));
        rip(path("fifo"), "2", [&](int) { fifo.release(); });
        QCOMPARE(listed().size(), 500);
        QCOMPARE(listed().first(), QStringLiteral("b1"));
        QCOMPARE(listed().last(), QStringLiteral("b500"));
    }

    // Save onto a FIFO, and a rip file to file into one, wait for its reader
    // without holding the window's events up; without a reader, Escape gives
    // the work up.
    void fifoAsOutput() {
        const QString source = file("s.txt", numberedLines(3));
        const QByteArray fifo = QFile::encodeName(path("out"));
        QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);
        for (const bool save : {true, false}) {
            open();
            const auto write = [&] {
                if (!save) return void(rip(source, "1"));
                answer(path("out"));
                click("saveButton");
                QTRY_VERIFY(control(*window_, "saveButton")->isEnabled());
            };
            // The list to save, or the FIFO as the output file.
            save ? void(rip(source, "1")) : chooseOutfile(path("out"));
            std::string got;
            GapMeter meter;
            std::thread reader;
            // A window that blocks until the reader comes shows a long gap.
            meter.onTick = [&](int ticks) {
                if (ticks == 10) reader = std::thread([&] { got = readFifo(fifo.constData()); });
            };
            meter.start();
            write();
            reader.join();
            QCOMPARE(QByteArray::fromStdString(got), QByteArray("a1\r\na2\r\na3\r\n"));
            QVERIFY2(meter.longest < 100, qPrintable(QString::number(meter.longest)));
            QCOMPARE(status(), save ? "3 values saved" : "3 values ripped");
            meter.ticks = 0;
            meter.onTick = [&](int ticks) {
                if (ticks == 20) QTest::keyClick(window_.get(), Qt::Key_Escape);
            };
            write();
            QTRY_COMPARE(status(), save ? "Nothing saved..." : "0 values ripped (stopped)");
            QVERIFY2(meter.longest < 100, qPrintable(QString::number(meter.longest)));
        }
    }

    // A save that lasts shows its progress, and "Stop" in the place of
    // "Save", until the file is whole.
    void saveProgress() {
        auto clock = std::chrono::steady_clock::now();
        std::mutex mutex;
        std::condition_variable changed;
        bool released = false;
        auto services = testServices();
        services.pump.now = [&] { return clock; };
        services.writeBlock = [&](QFileDevice& file, const char* data, qint64 size) {
            std::unique_lock lock(mutex);
            changed.wait_for(lock, std::chrono::seconds(5), [&] { return released; });
            return file.write(data, size) == size;
        };
        open({}, std::move(services));
        rip(file("s.txt", numberedLines(3)), "1");
        answer(path("saved.txt"));
        QTest::mouseClick(control<QPushButton>(*window_, "saveButton"), Qt::LeftButton);
        clock += std::chrono::milliseconds(400);
        QWidget* bar = control(*window_, "ripProgress");
        QWidget* stop = control(*window_, "stopButton");
        QTRY_VERIFY(bar->isVisible() && stop->isVisible());
        QCOMPARE(status(), QStringLiteral("saving"));
        {
            std::lock_guard lock(mutex);
            released = true;
        }
        changed.notify_all();
        settle();
        QCOMPARE(readFile(path("saved.txt")), QByteArray("a1\r\na2\r\na3\r\n"));
        QVERIFY(!bar->isVisible() && control(*window_, "saveButton")->isVisible());
    }

    // Closing mid-rip asks as closing after it does: Cancel rips on, Save
    // saves what was ripped and closes, Discard closes.
    void closingMidRip() {
        auto reply = QMessageBox::Cancel;
        int asked = 0;
        auto services = testServices();
        services.askUnsaved = [&](QWidget*, kolvane::UnsavedBefore before) {
            if (before != kolvane::UnsavedBefore::closing) return QMessageBox::Discard;
            return ++asked, reply;
        };
        open({}, std::move(services));
        const QString source = file("s.txt", numberedLines(5));
        // Closes once two results are listed; the rows listed at the end.
        const auto closeAtTwo = [&] {
            bool closed = false;
            rip(source, "1", [&](int) {
                if (list()->model()->rowCount() == 2 && !std::exchange(closed, true))
                    window_->close();
            });
            return list()->model()->rowCount();
        };
        QCOMPARE(closeAtTwo(), 5);
        QVERIFY(window_->isVisible());
        reply = QMessageBox::Save;
        answer(path("saved.txt"));
        QCOMPARE(closeAtTwo(), 2);
        QTRY_VERIFY(!window_->isVisible());
        QCOMPARE(readFile(path("saved.txt")), QByteArray("a1\r\na2\r\n"));
        window_->show();
        reply = QMessageBox::Discard;
        QCOMPARE(closeAtTwo(), 2);
        QVERIFY(!window_->isVisible());
        QCOMPARE(asked, 3);
    }

    // A name that is not UTF-8, from the command line or dropped, shows
    // decoded and loads.
    void nameNotUtf8() {
        const std::string dir = QFile::encodeName(dir_->path()).toStdString();
        const kolvane::CommandLine line =
            kolvane::readCommandLine({"kolvane", QString::fromLatin1("./caf\xe9.txt")}, dir);
        QCOMPARE(line.source, dir + "/caf\xe9.txt");
        const int fd = ::open(line.source.c_str(), O_WRONLY | O_CREAT, 0600);
        QCOMPARE(::write(fd, "x|1\r\n", 5), 5);
        ::close(fd);
        QMimeData mime;
        mime.setUrls({QUrl::fromEncoded(
            "file://" + QByteArray::fromStdString(line.source).toPercentEncoding("/"))});
        QDropEvent drop(QPointF(5, 5), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
        // Straight to the window: the application passes a drop on only
        // during a drag of its own.
        static_cast<QObject*>(window_.get())->event(&drop);
        settle();
        QCOMPARE(text("sourcePathEdit"), dir_->path() + "/caf\u00e9.txt");
        QCOMPARE(text("previewLine"), QStringLiteral("x|1"));
        box("previewLine")->clear();
        loadFile(line.source);
        QCOMPARE(text("previewLine"), QStringLiteral("x|1"));
        box("fieldsEdit")->setText("1");
        click("ripButton");
        QCOMPARE(listed(), QStringList{"x"});
    }

    // Beside a source shown as Windows-1252, a typed § splits at 0xA7 and a
    // typed · joins with 0xB7; beside UTF-8, they are UTF-8.
    void typedAsShown() {
        const QByteArray rows[][2] = {
            {"caf\xe9\xa7x\r\n",
             "x\xb7"
             "caf\xe9\r\n"},
            {"caf\xc3\xa9\xc2\xa7x\r\n",
             "x\xc2\xb7"
             "caf\xc3\xa9\r\n"},
        };
        for (const auto& [source, saved] : rows) {
            loadFile(file("s.txt", source));
            QVERIFY(text("previewLine").startsWith("caf\u00e9\u00a7"));
            box("splitEdit")->setText("\u00a7");
            box("joinEdit")->setText("\u00b7");
            rip(path("s.txt"), "2,1");
            answer(path("saved.txt"));
            click("saveButton");
            QCOMPARE(readFile(path("saved.txt")), saved);
        }
    }
};

QTEST_MAIN(IoTest)
#include "io_test.moc"
