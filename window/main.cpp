// kolvane: the desktop window.
#include <QApplication>

#include "commondialog.h"
#include "mainwindow.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Kolvane"));
    QApplication::setDesktopFileName(QStringLiteral("org.kolvane.Kolvane"));
    kolvane::QtFileDialogs dialogs;
    kolvane::MainWindow window(dialogs);
    window.show();
    return QApplication::exec();
}
