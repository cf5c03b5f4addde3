// kolvane: the desktop window.
#include <QApplication>

#include "mainwindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvane"));
    QApplication::setDesktopFileName(QStringLiteral("org.kolvane.Kolvane"));
    kolvane::MainWindow window;
    window.show();
    return QApplication::exec();
}
