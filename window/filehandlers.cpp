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
void MainWindow::Form_Load() {
    state_.Startdir = localPath(QDir::currentPath());
}

void MainWindow::Loadfile_Click() {
    const std::optional<QString> chosen = CD.ShowOpen(this);
    if (!chosen) return showStatus(kNoFile);
    loadSource(*chosen);
}

void MainWindow::loadSource(const QString& path) {
    Text1->setText(path);
    // The box, not the dialog or the drop, names the source from here on.
    auto first = preview_.line(sourcePath(), 1);
    if (!first) return showStatus(kNoFile, reasonOf(first.error()));
    // A file without a single line has nothing to preview: a failed load.
    if (!*first) return showStatus(kNoFile);
    state_.Previewline = 1;
    setPreview(std::move(**first), 1);
}

void MainWindow::Command1_Click() {
    // Raised first: it stays raised whether or not the line can be read.
    ++state_.Previewline;
    auto wanted = preview_.line(sourcePath(), state_.Previewline);
    if (!wanted) return showStatus(kNoFile, reasonOf(wanted.error()));
    // Past the last line the box keeps what it shows.
    if (*wanted) setPreview(std::move(**wanted), state_.Previewline);
}

void MainWindow::setPreview(PreviewLine bytes, std::int64_t line) {
    // A box lays out all its text at every change: it gets a screenful, far
    // less than the preview keeps of a line, so a cut line shows its mark.
    constexpr qsizetype kPreviewChars = 500;
    previewBytes_ = std::move(bytes.start);
    previewCut_ = bytes.cut;
    previewShown_ = line;
    Text2->setText(displayStart(previewBytes_, kPreviewChars));
    // The start of a long line, field 1, is what helps.
    Text2->setCursorPosition(0);
    updateFieldTip();
}

void MainWindow::Saverip_Click() {
    saveList();
}

bool MainWindow::saveList() {
    if (store_.empty()) return showStatus(kNothingSaved), false;
    const std::optional<QString> chosen = CD.ShowSave(this);
    if (!chosen) return showStatus(kNothingSaved), false;
    if (const std::optional<QString> why = saver_.save(store_, *chosen)) {
        return showStatus(kNothingSaved, *why), false;
    }
    unsaved_ = false;
    return true;
}

// Also runs in the middle of a rip, between two lines; the rip waits while the
// dialog is open and takes the new Outfile from its next line on.
void MainWindow::Check2_Click() {
    if (Check2->checkState() != Qt::Checked) return;
    // Results are appended to the file: there is nothing to replace.
    if (const std::optional<QString> chosen = CD.ShowSave(this, SaveKind::Append)) {
        state_.Outfile = localPath(*chosen);
        return;
    }
    showStatus(kDefaultOutput);
    // Used as it stands: a start directory of "/" gives "//tmpresult.txt".
    state_.Outfile = state_.Startdir + "/tmpresult.txt";
}

std::string MainWindow::sourcePath() const {
    return localPath(Text1->text());
}

void MainWindow::showStatus(const QString& text, const QString& why) {
    Statu->setText(text);
    Statu->setToolTip(why);
}

}  // namespace kolvane
