// window_bench: the real window, offscreen, ripping the reference file's fields
// "2,4" into its visible list and in file-to-file mode, timed against
// kolvane-rip doing the same job in the same run on one thread, as the
// window's rip runs (its settings may change between two lines). Also reports the longest gap
// between two event passes (what a user would feel as a freeze) and what the
// list costs in memory.
//
// Usage: window_bench REFERENCE [ROUNDS]   (bench/data/ref.txt from bench/run.sh)
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "benchargs.h"
#include "mainwindow.h"

namespace {

constexpr double kListTarget = 1.3;
constexpr double kFileTarget = 1.0;
constexpr double kGapTarget = 0.050;
constexpr std::int64_t kBytesPerItem = 16;

// Resident or peak resident memory of this process in bytes, from /proc.
std::int64_t memory(const char* field) {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field)) {
            return line.mid(static_cast<qsizetype>(std::strlen(field)))
                       .trimmed()
                       .split(' ')
                       .first()
                       .toLongLong() *
                   1024;
        }
    }
    return 0;
}

double mib(std::int64_t bytes) {
    return static_cast<double>(bytes) / (1 << 20);
}

struct Timing {
    double seconds = 0;
    double longestGap = 0;  // between two event passes, or a pass and the rip's ends
    double gapEnds = 0;     // seconds into the rip when the longest gap ended
};

// Clicks "Rip" and times the rip. The session reports every event pass.
Timing clickRip(kolvane::MainWindow& window) {
    QElapsedTimer clock;
    std::vector<qint64> passes;
    passes.reserve(4096);
    const auto probe =
        QObject::connect(window.findChild<kolvane::RipSession*>(), &kolvane::RipSession::progress,
                         [&] { passes.push_back(clock.nsecsElapsed()); });
    clock.start();
    window.findChild<QPushButton*>(QStringLiteral("ripButton"))->click();
    const qint64 end = clock.nsecsElapsed();
    QObject::disconnect(probe);

    passes.push_back(end);
    qint64 gap = 0, gapEnds = 0, last = 0;
    for (qint64 at : passes) {
        if (at - last > gap) {
            gap = at - last;
            gapEnds = at;
        }
        last = at;
    }
    return {static_cast<double>(end) / 1e9, static_cast<double>(gap) / 1e9,
            static_cast<double>(gapEnds) / 1e9};
}

double runCli(const QString& reference, const QString& out) {
    QFile::remove(out);
    QElapsedTimer clock;
    clock.start();
    const int code =
        QProcess::execute(QStringLiteral(KOLVANE_RIP_PATH),
                          {"--threads", "1", "-f", "2,4", "--eol", "crlf", "-a", out, reference});
    const double seconds = static_cast<double>(clock.nsecsElapsed()) / 1e9;
    if (code != 0) {
        std::fprintf(stderr, "window_bench: kolvane-rip failed (%d)\n", code);
        std::exit(1);
    }
    return seconds;
}

double best(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::optional<BenchArgs> args = benchArgs("window_bench", argc, argv, 3);
    if (!args) return 2;
    const QString reference = args->reference;
    const int rounds = args->rounds;
    QTemporaryDir dir;
    const QString cliOut = dir.filePath(QStringLiteral("cli.txt"));
    const QString windowOut = dir.filePath(QStringLiteral("window.txt"));

    AnsweringDialogs dialogs;
    dialogs.answer = windowOut;
    // Each round rips over the last one's results on purpose.
    kolvane::WindowServices services;
    services.askUnsaved = [](QWidget*, kolvane::UnsavedBefore) { return QMessageBox::Discard; };
    kolvane::MainWindow window(dialogs, std::move(services));
    window.show();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    window.findChild<QLineEdit*>(QStringLiteral("sourcePathEdit"))->setText(reference);
    window.findChild<QLineEdit*>(QStringLiteral("fieldsEdit"))->setText(QStringLiteral("2,4"));
    auto* check2 = window.findChild<QCheckBox*>(QStringLiteral("toFileCheck"));
    auto* list = window.findChild<QListView*>(QStringLiteral("resultList"));

    runCli(reference, cliOut);  // warms the page cache
    const std::int64_t emptyWindow = memory("VmRSS:");
    std::vector<double> cli, toList, toFile;
    Timing listGap, fileGap;  // the runs with the longest gap
    std::int64_t listMemory = 0;
    qint64 items = 0;
    for (int round = 0; round < rounds; ++round) {
        cli.push_back(runCli(reference, cliOut));

        check2->setChecked(false);
        const Timing inList = clickRip(window);
        toList.push_back(inList.seconds);
        if (inList.longestGap > listGap.longestGap) listGap = inList;
        if (round == 0) {
            listMemory = memory("VmRSS:") - emptyWindow;
            items = list->model()->rowCount();
        }

        // Checked as the user does: the dialog answers windowOut.
        QFile::remove(windowOut);
        check2->click();
        const Timing inFile = clickRip(window);
        toFile.push_back(inFile.seconds);
        if (inFile.longestGap > fileGap.longestGap) fileGap = inFile;
    }

    // The list holds what kolvane-rip wrote, less the CR LF of every line.
    const std::int64_t resultBytes = QFileInfo(cliOut).size() - 2 * items;
    check2->setChecked(false);
    QCoreApplication::processEvents();
    const bool same = QFileInfo(windowOut).size() == QFileInfo(cliOut).size();

    const double cliBest = best(cli);
    const double listRatio = best(toList) / cliBest;
    const double fileRatio = best(toFile) / cliBest;
    const std::int64_t budget = resultBytes + kBytesPerItem * items;
    std::printf("window benchmark: %s, %lld bytes, fields 2,4, best of %d\n", qPrintable(reference),
                static_cast<long long>(QFileInfo(reference).size()), rounds);
    std::printf("  kolvane-rip --threads 1 -a FILE  %.3f s (median %.3f s)\n", cliBest,
                median(cli));
    std::printf("  window, visible list      %.3f s (median %.3f s)  %.2fx  target <= %.1fx  %s\n",
                best(toList), median(toList), listRatio, kListTarget,
                verdict(listRatio <= kListTarget));
    std::printf(
        "  window, file to file      %.3f s (median %.3f s)  %.2fx  target <= %.1fx  %s%s\n",
        best(toFile), median(toFile), fileRatio, kFileTarget, verdict(fileRatio <= kFileTarget),
        same ? "" : "  (output differs in size!)");
    std::printf(
        "  longest gap between event passes: list %.1f ms (ending %.2f s in), file %.1f ms "
        "(ending %.2f s in)  target <= %.0f ms  %s\n",
        listGap.longestGap * 1e3, listGap.gapEnds, fileGap.longestGap * 1e3, fileGap.gapEnds,
        kGapTarget * 1e3, verdict(std::max(listGap.longestGap, fileGap.longestGap) <= kGapTarget));
    std::printf(
        "  list of %lld items: %.1f MiB on top of the empty window's %.1f MiB; "
        "results %.1f MiB + %lld B/item = %.1f MiB  %s\n",
        static_cast<long long>(items), mib(listMemory), mib(emptyWindow), mib(resultBytes),
        static_cast<long long>(kBytesPerItem), mib(budget), verdict(listMemory <= budget));
    std::printf("  peak resident memory: %.1f MiB\n", mib(memory("VmHWM:")));
    return 0;
}
