// The handlers that choose, load, preview and save files, and the start-up
// record of the directory the default output file goes to.
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QTimer>
#include <utility>

#include "columngrid.h"
#include "displaytext.h"
#include "elidinglabel.h"
#include "frontrules.h"
#include "linecount.h"
#include "mainwindow.h"
#include "resultmodel.h"
#include "sourceopen.h"

namespace kolvane {

namespace {

const QString kNoFile = QStringLiteral("No file opened...");
const QString kNothingSaved = QStringLiteral("Nothing saved...");

// The longest the window waits for a preview or a save in place. Work done by
// then shows at once, as if it ran here; longer work answers later, and the
// window's events run meanwhile.
constexpr std::chrono::milliseconds kAnswerWait{40};

// Counts as the hints write them: 2,000,001.
QString grouped(std::uint64_t count) {
    return QLocale(QLocale::English).toString(static_cast<qulonglong>(count));
}

QString lines(std::uint64_t count) {
    return grouped(count) + (count == 1 ? QStringLiteral(" line") : QStringLiteral(" lines"));
}

std::string localPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

}  // namespace

void MainWindow::onLoadClicked() {
    const std::optional<QString> chosen = fileDialog_.showOpen(this);
    if (!chosen) return showStatus(kNoFile);
    loadSource(*chosen);
}

void MainWindow::loadSource(const QString& path) {
    loadSource(localPath(path));
}

void MainWindow::loadSource(const std::string& path) {
    sourcePathBytes_ = path;
    sourceShownAs_ = ShownAs::utf8;
    sourcePathEdit->setText(displayText(path));
    guessed_ = {};
    offerSuggestion({});
    source_.forget();
    askPreview(true);
    columnGrid_->loadSource(path);
}

void MainWindow::askPreview(bool load) {
    previewAsks_.push_back(load);
    if (!previewTask_.running()) runPreview();
}

void MainWindow::runPreview() {
    // A text box's own cursor is the I-beam.
    if (previewAsks_.empty()) return previewLine->setCursor(Qt::IBeamCursor);
    const bool load = previewAsks_.front();
    previewAsks_.pop_front();
    // Raised first: it stays raised whether or not the line can be read.
    const std::int64_t number = load ? 1 : ++previewLineNumber_;
    // The box, not the dialog or the drop, names the source from here on.
    auto read = [this, path = sourcePath(), number] {
        return preview_.line(path, number, &previewTask_.cancelled());
    };
    auto show = [this, load, number](PreviewAnswer answer) {
        if (!answer) {
            showStatus(kNoFile, QString::fromLocal8Bit(answer.error().message()));
        } else if (*answer) {
            if (load) previewLineNumber_ = 1;
            setPreview(std::move(**answer), number);
            if (load) guessSource();
        } else if (load) {
            // A file without a single line has nothing to preview: a failed
            // load. Past the last line, ">>" leaves the box as it is.
            showStatus(kNoFile);
        }
        runPreview();
    };
    previewTask_.start(this, std::move(read), std::move(show), kAnswerWait);
    // Still reading: the box says so until its line comes.
    if (previewTask_.running()) previewLine->setCursor(Qt::BusyCursor);
}

void MainWindow::dropPreview() {
    previewAsks_.clear();
    previewTask_.drop();
    previewLine->setCursor(Qt::IBeamCursor);
}

void MainWindow::setPreview(PreviewLine bytes, std::int64_t line) {
    // A box lays out all its text at every change: it gets a screenful, far
    // less than the preview keeps of a line, so a cut line shows its mark.
    constexpr qsizetype kPreviewChars = 500;
    previewBytes_ = std::move(bytes.start);
    previewCut_ = bytes.cut;
    previewShown_ = line;
    previewLine->setText(displayStart(previewBytes_, kPreviewChars));
    // Once a line of the source shows as Windows-1252, so does the source.
    if (line > 0 && shownAs(previewBytes_, kPreviewChars) == ShownAs::windows1252) {
        sourceShownAs_ = ShownAs::windows1252;
    }
    // The start of a long line, field 1, is what helps.
    previewLine->setCursorPosition(0);
    // Line 1 holds the names where no sample of the source is read; a path
    // edited by hand leaves them unknown.
    if (line == 1) source_.setFirstLine(previewBytes_);
    if (line == 0) source_.forget();
    updateFieldTip();
    updateWarnings();
}

std::optional<bool> MainWindow::saveList() {
    if (store_.empty()) return showStatus(kNothingSaved), false;
    const std::string source = sourcePath();
    const std::optional<QString> chosen = fileDialog_.showSave(
        this, SaveKind::Replace, source.empty() ? QString() : displayText(source));
    if (!chosen) return showStatus(kNothingSaved), false;
    // Results never go over the file they came from, whatever the dialog was
    // told: a "replace?" answered in haste would lose the source.
    if (writesInto(identityAt(localPath(*chosen)), identityAt(source))) {
        showStatus(QStringLiteral("Not saved: %1 is the source file itself").arg(*chosen));
        return false;
    }
    saveControl_ = std::make_unique<SaveControl>();
    enter(WindowState::saving);
    // Where a rip says its count: this is no rip.
    showStatus(QStringLiteral("saving"));
    showHint({});
    saveTicker_->start();
    // The list stays as it is meanwhile: no rip may start while saving.
    auto write = [this, path = *chosen, control = saveControl_.get()] {
        return saver_.save(store_, path, *control);
    };
    saveTask_.start(
        this, std::move(write),
        [this, path = *chosen](std::optional<QString> why) { saveFinished(why, path); },
        kAnswerWait);
    if (state_ == WindowState::saving) return std::nullopt;
    return !model_->unsaved();
}

void MainWindow::saveFinished(const std::optional<QString>& why, const QString& path) {
    saveTicker_->stop();
    enter(WindowState::idle);
    const bool closing = std::exchange(closePending_, false);
    if (why) return showStatus(kNothingSaved, *why);
    // Also replaces the "Nothing saved..." an earlier failed save left.
    showStatus(QStringLiteral("%1 values saved").arg(store_.size()));
    showHint(QStringLiteral("saved %1 to %2%3")
                 .arg(lines(store_.size()), QFileInfo(path).fileName(), writtenAs()),
             path);
    model_->markSaved();
    if (closing) close();
}

// Also runs in the middle of a rip, between two lines; the rip waits while the
// dialog is open and takes the new outputPath from its next line on.
void MainWindow::onToFileClicked() {
    if (toFileCheck->checkState() != Qt::Checked) return;
    // Results are appended to the file: there is nothing to replace.
    if (const std::optional<QString> chosen = fileDialog_.showSave(this, SaveKind::Append)) {
        outputPath_ = localPath(*chosen);
    } else {
        showStatus(QStringLiteral("default : tmpresult.txt"));
        // Used as it stands: a start directory of "/" gives "//tmpresult.txt".
        outputPath_ = startDir_ + "/tmpresult.txt";
    }
    toFileCheck->setToolTip(QStringLiteral("Results are appended to %1")
                                .arg(QString::fromLocal8Bit(outputPath_.c_str())));
}

void MainWindow::hintAtAppended(bool sameFileThroughout) {
    const ResultsTo now = resultsTo();
    const std::string output = now.file ? now.path : ripTo_.path;
    const QString shown = QString::fromLocal8Bit(output.c_str());
    // Split between two files, the count belongs to neither.
    const QString appended = sameFileThroughout
                                 ? QStringLiteral("appended %1 to %2%3")
                                       .arg(lines(static_cast<std::uint64_t>(session_->ripcount())),
                                            QFileInfo(shown).fileName(), writtenAs())
                                 : QStringLiteral("appended results to %1%2")
                                       .arg(QFileInfo(shown).fileName(), writtenAs());
    showHint(appended, shown);
    // A count still going for an earlier rip gives up when this one starts.
    auto count = [this, output] { return countLines(output, countTask_.cancelled()); };
    auto say = [this, appended, shown](std::optional<std::uint64_t> held) {
        // Only while the hint is still this rip's.
        if (held && statusHintLabel->text() == appended) {
            showHint(appended + QStringLiteral(", now %1").arg(grouped(*held)), shown);
        }
    };
    // Never waited for in place: a count of a large file would hold the
    // window at the end of every rip.
    countTask_.start(this, std::move(count), std::move(say), std::chrono::milliseconds{0});
}

QString MainWindow::writtenAs() const {
    const bool sampleUtf8 =
        shownAs(source_.sample().text, source_.sample().text.size()) == ShownAs::utf8;
    return sourceShownAs_ == ShownAs::utf8 && sampleUtf8
               ? QStringLiteral(" as UTF-8")
               : QStringLiteral(" as the source's own bytes (not UTF-8)");
}

void MainWindow::showHint(const QString& text, const QString& tip) {
    statusHintLabel->setText(text);
    statusHintLabel->setToolTip(tip);
    statusHintLabel->setVisible(!text.isEmpty());
}

std::string MainWindow::sourcePath() const {
    const QString shown = sourcePathEdit->text();
    if (sourcePathBytes_ && shown == displayText(*sourcePathBytes_)) return *sourcePathBytes_;
    return localPath(shown);
}

void MainWindow::showStatus(const QString& text, const QString& why) {
    statusLabel->setText(text);
    statusLabel->setToolTip(why);
}

}  // namespace kolvane
