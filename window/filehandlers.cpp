// The handlers that choose, load, preview and save files, and the start-up
// record of the directory the default output file goes to.
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>

#include "displaytext.h"
#include "elidinglabel.h"
#include "mainwindow.h"

namespace kolvane {

namespace {

const QString kNoFile = QStringLiteral("No file opened...");
const QString kDefaultOutput = QStringLiteral("default : tmpresult.txt");
const QString kNothingSaved = QStringLiteral("Nothing saved...");

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

QString reasonOf(const Error& error) {
    return QString::fromLocal8Bit(error.message());
}

}  // namespace

// Runs before the window is first shown. The default output file lives in the
// directory the program was started from, however the process moves later.
void MainWindow::recordStartDir() {
    record_.startDir = localPath(QDir::currentPath());
}

void MainWindow::onLoadClicked() {
    const std::optional<QString> chosen = fileDialog_.showOpen(this);
    if (!chosen) return showStatus(kNoFile);
    loadSource(*chosen);
}

void MainWindow::loadSource(const QString& path) {
    sourcePathEdit->setText(path);
    // The box, not the dialog or the drop, names the source from here on.
    auto first = preview_.line(sourcePath(), 1);
    if (!first) return showStatus(kNoFile, reasonOf(first.error()));
    // A file without a single line has nothing to preview: a failed load.
    if (!*first) return showStatus(kNoFile);
    record_.previewLineNumber = 1;
    setPreview(std::move(**first), 1);
}

void MainWindow::onNextLineClicked() {
    // Raised first: it stays raised whether or not the line can be read.
    ++record_.previewLineNumber;
    auto wanted = preview_.line(sourcePath(), record_.previewLineNumber);
    if (!wanted) return showStatus(kNoFile, reasonOf(wanted.error()));
    // Past the last line the box keeps what it shows.
    if (*wanted) setPreview(std::move(**wanted), record_.previewLineNumber);
}

void MainWindow::setPreview(PreviewLine bytes, std::int64_t line) {
    // A box lays out all its text at every change: it gets a screenful, far
    // less than the preview keeps of a line, so a cut line shows its mark.
    constexpr qsizetype kPreviewChars = 500;
    previewBytes_ = std::move(bytes.start);
    previewCut_ = bytes.cut;
    previewShown_ = line;
    previewLine->setText(displayStart(previewBytes_, kPreviewChars));
    // The start of a long line, field 1, is what helps.
    previewLine->setCursorPosition(0);
    updateFieldTip();
}

void MainWindow::onSaveClicked() {
    saveList();
}

bool MainWindow::saveList() {
    if (store_.empty()) return showStatus(kNothingSaved), false;
    const std::optional<QString> chosen = fileDialog_.showSave(this);
    if (!chosen) return showStatus(kNothingSaved), false;
    if (const std::optional<QString> why = saver_.save(store_, *chosen)) {
        return showStatus(kNothingSaved, *why), false;
    }
    unsaved_ = false;
    return true;
}

// Also runs in the middle of a rip, between two lines; the rip waits while the
// dialog is open and takes the new outputPath from its next line on.
void MainWindow::onToFileClicked() {
    if (toFileCheck->checkState() != Qt::Checked) return;
    // Results are appended to the file: there is nothing to replace.
    if (const std::optional<QString> chosen = fileDialog_.showSave(this, SaveKind::Append)) {
        record_.outputPath = localPath(*chosen);
        return;
    }
    showStatus(kDefaultOutput);
    // Used as it stands: a start directory of "/" gives "//tmpresult.txt".
    record_.outputPath = record_.startDir + "/tmpresult.txt";
}

std::string MainWindow::sourcePath() const {
    return localPath(sourcePathEdit->text());
}

void MainWindow::showStatus(const QString& text, const QString& why) {
    statusLabel->setText(text);
    statusLabel->setToolTip(why);
}

}  // namespace kolvane
