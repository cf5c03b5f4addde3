// longheader_bench: the real window, offscreen, on a source whose first line
// is huge (`id|<N MiB of letters>|email`, then a few records), with "First
// line holds names" on and a field list by name, as a user would set it up.
// Reports the longest gap between two event passes from the load on, and
// how many gaps passed 100 ms: what a user feels as a freeze. Halfway it
// rips, which reads the header record again.
//
// Usage: longheader_bench [MIB] [SECONDS]   (default 500 MiB, 10 s)
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "benchargs.h"
#include "mainwindow.h"

namespace {

constexpr qint64 kFreeze = 100'000'000;  // ns: a gap a user notices

bool writeSource(const QString& path, qint64 mib) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    file.write("id|");
    const QByteArray chunk(1 << 20, 'x');
    for (qint64 i = 0; i < mib; ++i) file.write(chunk);
    file.write("|email\n");
    for (int i = 0; i < 1000; ++i) file.write(QByteArray::number(i) + "|n|a@x\n");
    return file.error() == QFileDevice::NoError;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const qint64 mib = argc > 1 ? std::atoll(argv[1]) : 500;
    const qint64 seconds = argc > 2 ? std::atoll(argv[2]) : 10;
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("longheader.txt"));
    if (mib <= 0 || seconds <= 0 || !writeSource(source, mib)) {
        std::fprintf(stderr, "longheader_bench: cannot write %s\n", qPrintable(source));
        return 2;
    }
    AnsweringDialogs dialogs;
    dialogs.answer = source;
    kolvane::MainWindow window(dialogs, {});
    window.show();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();

    QElapsedTimer clock;
    clock.start();
    qint64 last = 0, longest = 0, freezes = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        const qint64 now = clock.nsecsElapsed();
        longest = std::max(longest, now - last);
        freezes += now - last > kFreeze;
        last = now;
    });
    tick.start(5);
    window.findChild<QPushButton*>(QStringLiteral("loadButton"))->click();
    window.findChild<QCheckBox*>(QStringLiteral("headerCheck"))->setChecked(true);
    window.findChild<QLineEdit*>(QStringLiteral("fieldsEdit"))->setText(QStringLiteral("email,id"));
    // Halfway, "Rip": the header record is read again, by the rip.
    bool ripped = false;
    while (clock.nsecsElapsed() < seconds * 1'000'000'000) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        if (!ripped && clock.nsecsElapsed() > seconds * 500'000'000) {
            window.findChild<QPushButton*>(QStringLiteral("ripButton"))->click();
            ripped = true;
        }
    }
    // The load must have happened for the gaps to mean anything.
    auto* preview = window.findChild<QLineEdit*>(QStringLiteral("previewLine"));
    if (preview == nullptr || !preview->text().startsWith(QStringLiteral("id|x"))) {
        std::fprintf(stderr, "longheader_bench: the source was not loaded\n");
        return 1;
    }
    std::printf("longheader_bench: first line of %lld MiB, names on, %lld s\n", mib, seconds);
    std::printf("  longest gap between event passes: %.1f ms; gaps over 100 ms: %lld\n",
                static_cast<double>(longest) / 1e6, freezes);
    return 0;
}
