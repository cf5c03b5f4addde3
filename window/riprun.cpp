// "Rip": the window's side of a rip.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <algorithm>
#include <utility>

#include "elidinglabel.h"
#include "frontrules.h"
#include "mainwindow.h"
#include "resultmodel.h"
#include "resultview.h"
#include "sourceopen.h"

namespace kolvane {

namespace {

// A rip shorter than this shows no progress bar and no "Stop": they would
// only flash.
constexpr std::chrono::milliseconds kShowBusyAfter{300};

// The longest a read of the source keeps the window from its events.
constexpr std::chrono::milliseconds kReadWait{10};

}  // namespace

void MainWindow::onRipClicked() {
    // The disabled button keeps a click out; a direct call must not nest rips.
    if (state_ != WindowState::idle) return;
    // Refused before the list is cleared: the split box says why.
    if (const auto problem = splitProblem(settings().dialect()); !problem.empty()) {
        return showStatus(QStringLiteral("Not ripped: ") + QString::fromUtf8(problem));
    }
    // Asked before the source is taken: a cancel must leave a source that
    // can be read only once where it was.
    if (model_->unsaved() && !mayDropResults(UnsavedBefore::ripping)) return;
    const ResultsTo to = resultsTo();
    const std::string path = sourcePath();
    // Compared by path before the source is taken, so a refusal loses none
    // of what a pipe gave the preview; the rip compares what it opens.
    if (to.file && writesInto(identityAt(to.path), identityAt(path))) {
        return showStatus(QStringLiteral("Not ripped: the output file %1 is the source file itself")
                              .arg(QString::fromLocal8Bit(to.path.c_str())));
    }
    // A source that can be read only once continues where the preview left
    // it, with what the preview read of it first. Anything else is opened
    // before the list is cleared: a mistyped path keeps the results. One that
    // may keep a read waiting (a FIFO, a network file) is read on a thread of
    // its own, so that a stop never waits for it.
    dropPreview();
    std::unique_ptr<ByteSource> source = preview_.takeSource(path);
    if (!source) {
        // To a file, reading ahead on a thread of its own pays: the rip's
        // thread only rips while one thread reads and another writes. Into
        // the list, the window's thread is the third.
        auto opened = to.file ? openWithoutBlocking(path, kReadWait) : openForRip(path, kReadWait);
        if (!opened) {
            const QString message = QString::fromLocal8Bit(opened.error().message());
            return showStatus(message, message);
        }
        source = std::move(*opened);
    }
    model_->clear();
    showHint({});
    ripTo_ = to;
    session_->prepare(ripFields());
    enter(WindowState::ripping);
    // What the rip reads first stands for the sample where none was read:
    // a path typed by hand, a pipe.
    source = source_.keepStart(std::move(source));
    ripWithHeader(std::move(source), path);
}

void MainWindow::rip(std::unique_ptr<ByteSource> source, const std::string& path) {
    showProgress(Progress{0, false, 0, source->size()});
    session_->run(*source, path);
}

bool MainWindow::mayDropResults(UnsavedBefore before) {
    const QMessageBox::StandardButton answer = askUnsaved_(this, before);
    if (answer == QMessageBox::Discard) return true;
    // A save that goes on in the background has not worked yet.
    return answer == QMessageBox::Save && saveList().value_or(false);
}

void MainWindow::enter(WindowState next) {
    const WindowState was = std::exchange(state_, next);
    const StateActions on = actionsOf(next);
    QWidget* const focused = focusWidget();
    QPushButton* lostFocus = nullptr;
    const std::pair<QPushButton*, bool> buttons[] = {{loadButton, on.load},
                                                     {ripButton, on.rip},
                                                     {nextLineButton, on.nextLine},
                                                     {saveButton, on.save}};
    for (const auto& [button, enabled] : buttons) {
        button->setEnabled(enabled);
        if (!enabled && button == focused) lostFocus = button;
    }
    stopKey_->setEnabled(on.stop);
    stopButton->setEnabled(on.stop);
    if (!actionsOf(was).busy && on.busy) busySince_ = now_();
    if (!on.busy) {
        ripProgress->hide();
        saveOrStop_->setCurrentWidget(saveButton);
    }
    // Read once: toggling the box during the rip changes nothing for this rip.
    if (next == WindowState::ripping && was == WindowState::idle) {
        resultList->setVisible(hideListCheck->checkState() != Qt::Checked);
    }
    if (next == WindowState::idle) resultList->show();
    if (lostFocus) parked_ = {lostFocus, focusWidget()};
    if (parked_.button && parked_.button->isEnabled()) {
        if (focusWidget() == parked_.at) parked_.button->setFocus(Qt::OtherFocusReason);
        parked_ = {};
    }
}

void MainWindow::stopWork() {
    if (state_ == WindowState::ripping) enter(WindowState::stopping);
    headerTask_.cancel();
    if (state_ == WindowState::saving && saveControl_) saveControl_->cancel = true;
}

void MainWindow::showProgress(const Progress& progress) {
    // Rows, count and progress first, so that the coming event pass paints them.
    model_->sync();
    if (progress.sawLine) showStatus(QString::fromStdString(statusText(progress.ripcount)));
    showBusy(progress.bytesRead, progress.totalBytes);
}

void MainWindow::showBusy(std::uint64_t done, std::optional<std::uint64_t> total) {
    if (!ripProgress->isVisible() && now_() - busySince_ >= kShowBusyAfter) {
        ripProgress->show();
        saveOrStop_->setCurrentWidget(stopButton);
    }
    // A pipe or a device tells no size: the bar only says that work goes on.
    if (!total || *total == 0) return ripProgress->setRange(0, 0);
    const double part = static_cast<double>(std::min(done, *total)) / static_cast<double>(*total);
    ripProgress->setRange(0, 100);
    ripProgress->setValue(static_cast<int>(part * 100));
}

void MainWindow::ripFinished(const RunResult& result) {
    // The window still exists here even when it was closed during the rip:
    // closing only hides it, and it is deleted after the rip has returned.
    model_->sync();
    const QString count = QString::fromStdString(statusText(session_->ripcount()));
    if (result.error) {
        const QString message = QString::fromLocal8Bit(result.error->message());
        showStatus(message, message);
    } else if (result.stopped) {
        // Said even before the first non-empty line: the user asked, and the
        // window answers.
        showStatus(count + QStringLiteral(" (stopped)"));
    } else if (result.sawLine) {
        showStatus(count);
    }
    enter(WindowState::idle);
    if (!result.error && ripTo_.file) hintAtAppended(resultsTo() == ripTo_);
    if (!result.error && !ripTo_.file) hintAtEmptyResults();
    // With an empty field box the rip reused the last parse, and so does the preview.
    updateFieldTip();
    if (std::exchange(closePending_, false)) {
        const std::optional<bool> saved = saveList();
        if (!saved) closePending_ = true;
        if (saved.value_or(false)) close();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    const bool ripping = state_ == WindowState::ripping || state_ == WindowState::stopping;
    // Already answered: the window closes once the list is saved.
    if (closePending_) return event->ignore();
    if (!model_->unsaved()) {
        // A running rip notices at its next event pass, closes its source and
        // flushes its output; nothing here may go away before it has.
        if (ripping) enter(WindowState::stopping);
        return event->accept();
    }
    const QMessageBox::StandardButton answer = askUnsaved_(this, UnsavedBefore::closing);
    if (answer == QMessageBox::Discard) {
        stopWork();
        // A save given up leaves the old file; its thread ends within a step.
        if (state_ == WindowState::saving) {
            saveTask_.drop();
            enter(WindowState::idle);
        }
        return event->accept();
    }
    // Anything but Save or Discard keeps the window open, and its work going.
    if (answer != QMessageBox::Save) return event->ignore();
    if (ripping || state_ == WindowState::saving) {
        if (ripping) enter(WindowState::stopping);
        closePending_ = true;
        return event->ignore();
    }
    const std::optional<bool> saved = saveList();
    if (!saved) closePending_ = true;
    saved.value_or(false) ? event->accept() : event->ignore();
}

}  // namespace kolvane
