// kolvane: the desktop window. `kolvane FILE` starts with FILE loaded.
#include <QApplication>
#include <csignal>
#include <cstdio>
#include <string>

#include "commandline.h"
#include "commondialog.h"
#include "mainwindow.h"

namespace {

void nameApplication() {
    QCoreApplication::setApplicationName(QStringLiteral("Kolvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(KOLVANE_VERSION));
}

// The arguments byte for byte: a file name that is not UTF-8 keeps its bytes.
QStringList arguments(int argc, char** argv) {
    QStringList list;
    for (int i = 0; i < argc; ++i) list << QString::fromLatin1(argv[i]);
    return list;
}

int finish(const kolvane::CommandLine& line) {
    std::fputs(qPrintable(line.message), *line.exitNow == 0 ? stdout : stderr);
    return *line.exitNow;
}

}  // namespace

int main(int argc, char** argv) {
    // A FIFO or pipe whose reader went away fails the write that follows
    // with a message, instead of ending the program with everything unsaved.
    std::signal(SIGPIPE, SIG_IGN);
    const std::string dir = kolvane::workDir();
    {
        // --help and --version need no display.
        QCoreApplication reader(argc, argv);
        nameApplication();
        const kolvane::CommandLine early = kolvane::readCommandLine(arguments(argc, argv), dir);
        if (early.exitNow == 0) return finish(early);
    }
    QApplication app(argc, argv);
    nameApplication();
    QApplication::setDesktopFileName(QStringLiteral("org.kolvane.Kolvane"));
    // Read again without the toolkit's own options, which it took out of argv.
    const kolvane::CommandLine line = kolvane::readCommandLine(arguments(argc, argv), dir);
    if (line.exitNow) return finish(line);
    kolvane::QtFileDialogs dialogs;
    kolvane::MainWindow window(dialogs);
    // Shown first: the window is there while a slow source is looked at.
    window.show();
    if (!line.source.empty()) window.loadSource(line.source);
    return QApplication::exec();
}
