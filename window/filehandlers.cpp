// The handlers that choose, load, preview and save files. The file dialogs and
// the source preview (files/) plug in here; until then they do nothing, and a
// source path can be typed into Text1.
#include <QDir>
#include <QFile>

#include "mainwindow.h"

namespace kolvane {

// Runs before the window is first shown. The default output file lives in the
// directory the program was started from, however the process moves later.
void MainWindow::Form_Load() {
    state_.Startdir = QFile::encodeName(QDir::currentPath()).toStdString();
}

void MainWindow::Loadfile_Click() {}

void MainWindow::Command1_Click() {}

void MainWindow::Saverip_Click() {}

void MainWindow::Check2_Click() {}

}  // namespace kolvane
