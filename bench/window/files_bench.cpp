// files_bench: the window's file handlers on the reference file, offscreen,
// with dialogs that answer at once.
//   - ">>" deep in the file: the window's part of a click plus the preview
//     stepping on from line 1,000,000 (target: each under 50 ms); also one
//     read of that line with nothing remembered, which is what every click
//     would cost if the file were read from its first line each time.
//   - "Save" of the list that ripping fields "2,4" fills (2,000,000 items),
//     timed against kolvane-rip writing the same results in the same run
//     (target: under 1.5 times its time), and checked byte for byte.
//
// Usage: files_bench REFERENCE [ROUNDS]   (bench/data/ref.txt from bench/run.sh)
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <vector>

#include "benchargs.h"
#include "commondialog.h"
#include "mainwindow.h"
#include "sourcepreview.h"

namespace {

constexpr std::int64_t kDeepLine = 1'000'000;
constexpr int kClicks = 200;
constexpr double kClickTarget = 0.050;
constexpr double kSaveTarget = 1.5;

template <class W>
W* control(kolvane::MainWindow& window, const char* name) {
    W* found = window.findChild<W*>(QString::fromLatin1(name));
    if (!found) {
        std::fprintf(stderr, "files_bench: no control %s\n", name);
        std::exit(1);
    }
    return found;
}

double seconds(const QElapsedTimer& clock) {
    return static_cast<double>(clock.nsecsElapsed()) / 1e9;
}

// Until what the click started is done: a load or ">>" reads its line, and
// a save writes, on another thread while the window's events run.
double timeClick(QPushButton* button) {
    QElapsedTimer clock;
    clock.start();
    button->click();
    QWidget* window = button->window();
    auto* preview = window->findChild<QWidget*>(QStringLiteral("previewLine"));
    auto* save = window->findChild<QWidget*>(QStringLiteral("saveButton"));
    while (preview->cursor().shape() == Qt::BusyCursor || !save->isEnabled()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
    }
    return seconds(clock);
}

double best(const std::vector<double>& values) {
    return *std::min_element(values.begin(), values.end());
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

double worst(const std::vector<double>& values) {
    return *std::max_element(values.begin(), values.end());
}

const char* verdict(bool met) {
    return met ? "met" : "MISSED";
}

double runCli(const QString& reference, const QString& out) {
    QFile::remove(out);
    QElapsedTimer clock;
    clock.start();
    const int code =
        QProcess::execute(QStringLiteral(KOLVANE_RIP_PATH),
                          {"--threads", "1", "-f", "2,4", "--eol", "crlf", "-a", out, reference});
    const double taken = seconds(clock);
    if (code != 0) {
        std::fprintf(stderr, "files_bench: kolvane-rip failed (%d)\n", code);
        std::exit(1);
    }
    return taken;
}

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void fail(const char* what) {
    std::fprintf(stderr, "files_bench: %s\n", what);
    std::exit(1);
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const std::optional<BenchArgs> args = benchArgs("files_bench", argc, argv, 5);
    if (!args) return 2;
    const QString reference = args->reference;
    const int rounds = args->rounds;
    QTemporaryDir dir;
    const QString cliOut = dir.filePath(QStringLiteral("cli.txt"));
    const QString saved = dir.filePath(QStringLiteral("saved.txt"));

    AnsweringDialogs dialogs;
    kolvane::MainWindow window(dialogs);
    window.show();
    for (int i = 0; i < 10; ++i) QCoreApplication::processEvents();
    auto* text2 = control<QLineEdit>(window, "previewLine");
    auto* next = control<QPushButton>(window, "nextLineButton");
    runCli(reference, cliOut);  // warms the page cache

    // ">>": the load, then one click that reads up to the deep line with
    // nothing remembered, then clicks that step on from there.
    dialogs.answer = reference;
    const double load = timeClick(control<QPushButton>(window, "loadButton"));
    if (text2->text().isEmpty()) fail("the load failed");
    // A click on ">>" is the window's part (the box and its tooltip), timed
    // near the start, plus the preview's read, timed deep in the file with
    // the window's own SourcePreview class: stepping a window a million lines
    // there would take minutes. First one read with nothing remembered, which
    // is what every click would cost if the file were read from line 1.
    std::vector<double> clicks;
    for (int i = 0; i < kClicks; ++i) clicks.push_back(timeClick(next));
    if (text2->text().isEmpty()) fail(">> lost the file");
    const std::string path = QFile::encodeName(reference).toStdString();
    kolvane::SourcePreview preview;
    QElapsedTimer clock;
    clock.start();
    auto deep = preview.line(path, kDeepLine);
    const double cold = seconds(clock);
    if (!deep || !*deep) fail("no deep line");
    const QString deepLine = QString::fromStdString((*deep)->start);
    std::vector<double> steps;
    for (int i = 1; i <= kClicks; ++i) {
        clock.restart();
        auto line = preview.line(path, kDeepLine + i);
        steps.push_back(seconds(clock) + clicks[static_cast<std::size_t>(i - 1)]);
        if (!line || !*line) fail(">> lost count");
    }
    if (!deepLine.startsWith(QStringLiteral("C%1|").arg(kDeepLine, 8, 10, QChar('0')))) {
        std::fprintf(stderr, "files_bench: line %lld reads %s\n", static_cast<long long>(kDeepLine),
                     qPrintable(deepLine.left(40)));
        return 1;
    }

    // "Save": the list of a rip of fields 2,4, against kolvane-rip's output.
    control<QLineEdit>(window, "sourcePathEdit")->setText(reference);
    control<QLineEdit>(window, "fieldsEdit")->setText(QStringLiteral("2,4"));
    control<QPushButton>(window, "ripButton")->click();
    const int items = control<QListView>(window, "resultList")->model()->rowCount();
    auto* saverip = control<QPushButton>(window, "saveButton");
    dialogs.answer = saved;
    std::vector<double> cli, save;
    for (int round = 0; round < rounds; ++round) {
        cli.push_back(runCli(reference, cliOut));
        QFile::remove(saved);
        save.push_back(timeClick(saverip));
    }
    if (control<QLabel>(window, "statusLabel")->text() !=
        QStringLiteral("%1 values ripped").arg(items)) {
        fail("the save failed");
    }
    const bool same = readAll(saved) == readAll(cliOut);

    const double saveRatio = best(save) / best(cli);
    std::printf("files benchmark: %s, %lld bytes\n", qPrintable(reference),
                static_cast<long long>(QFileInfo(reference).size()));
    std::printf("  load (first line)                       %8.2f ms\n", load * 1e3);
    std::printf(
        "  >> at line %lld, nothing remembered    %8.2f ms  (every click, read from line 1)\n",
        static_cast<long long>(kDeepLine), cold * 1e3);
    std::printf(
        "  >> from line %lld on, %d clicks     median %.3f ms, slowest %.3f ms  "
        "target < %.0f ms  %s\n",
        static_cast<long long>(kDeepLine), kClicks, median(steps) * 1e3, worst(steps) * 1e3,
        kClickTarget * 1e3, verdict(worst(steps) < kClickTarget));
    std::printf("  kolvane-rip --threads 1 -f 2,4 -a FILE  %8.3f s (median %.3f s), best of %d\n",
                best(cli), median(cli), rounds);
    std::printf(
        "  Save, %d items                     %8.3f s (median %.3f s)  %.2fx  "
        "target < %.1fx  %s%s\n",
        items, best(save), median(save), saveRatio, kSaveTarget, verdict(saveRatio < kSaveTarget),
        same ? "" : "  (saved file differs from kolvane-rip's!)");
    return same ? 0 : 1;
}
