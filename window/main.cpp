// kolvane: the desktop window. `kolvane FILE` starts with FILE loaded.
#include <QApplication>
#include <cstdio>

#include "commandline.h"
#include "commondialog.h"
#include "mainwindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvane"));
    QApplication::setApplicationVersion(QStringLiteral(KOLVANE_VERSION));
    QApplication::setDesktopFileName(QStringLiteral("org.kolvane.Kolvane"));

    const kolvane::CommandLine line = kolvane::readCommandLine(QApplication::arguments());
    if (line.exitNow) {
        std::fputs(qPrintable(line.message), *line.exitNow == 0 ? stdout : stderr);
        return *line.exitNow;
    }
    kolvane::QtFileDialogs dialogs;
    kolvane::MainWindow window(dialogs);
    // Shown first: the window is there while a slow source is looked at.
    window.show();
    if (!line.source.isEmpty()) window.loadSource(line.source);
    return QApplication::exec();
}
