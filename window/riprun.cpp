// "Rip": the window's side of a rip.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStackedWidget>
#include <algorithm>

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

const QString kStoppedNote = QStringLiteral(" (stopped)");

}  // namespace

void MainWindow::onRipClicked() {
    // The disabled button keeps a click out; a direct call must not nest rips.
    if (session_->running()) return;
    const Settings start = settings();
    const std::string path = sourcePath();
    // Opened before the list is cleared: a mistyped path keeps the results.
    // Read on a thread of its own, so that a source without data (a FIFO, a
    // stalled network file) never holds the window's events up.
    auto source = openWithoutBlocking(path, kReadWait);
    if (!source) {
        const QString message = QString::fromLocal8Bit(source.error().message());
        return showStatus(message, message);
    }
    // The output is opened at the first result line: until then its path is
    // all there is to compare with the source just opened.
    if (start.toFile && writesInto(identityAt(start.outfile), (*source)->identity())) {
        return showStatus(QStringLiteral("Not ripped: the output file %1 is the source file itself")
                              .arg(QString::fromLocal8Bit(start.outfile.c_str())));
    }
    model_->beginClear();
    store_.clear();
    model_->endClear();
    session_->prepare(start);
    setRipping(true);
    showProgress(Progress{0, false, 0, (*source)->size()});
    session_->run(**source, path);
}

void MainWindow::setRipping(bool on) {
    if (on) focusBack_ = focusWidget() == ripButton;
    if (!on && listHidden_) resultList->show();
    for (QPushButton* b : {loadButton, ripButton, nextLineButton, saveButton}) b->setEnabled(!on);
    stopKey_->setEnabled(on);
    // Read once: toggling the box during the rip changes nothing for this rip.
    if (on) listHidden_ = hideListCheck->checkState() == Qt::Checked;
    if (on && listHidden_) resultList->hide();
    if (on) {
        focusParked_ = focusWidget();
        ripStart_ = now_();
    } else if (focusBack_ && focusWidget() == focusParked_) {
        ripButton->setFocus(Qt::OtherFocusReason);
    }
    if (!on) ripProgress->hide();
    if (!on) saveOrStop_->setCurrentWidget(saveButton);
}

void MainWindow::showProgress(const Progress& progress) {
    // Rows, count and progress first, so that the coming event pass paints them.
    model_->sync();
    if (progress.sawLine) showStatus(QString::fromStdString(statusText(progress.ripcount)));
    if (!ripProgress->isVisible() && now_() - ripStart_ >= kShowBusyAfter) {
        ripProgress->show();
        saveOrStop_->setCurrentWidget(stopButton);
    }
    // A pipe or a device tells no size: the bar only says that work goes on.
    if (!progress.totalBytes || *progress.totalBytes == 0) return ripProgress->setRange(0, 0);
    const double done = static_cast<double>(std::min(progress.bytesRead, *progress.totalBytes)) /
                        static_cast<double>(*progress.totalBytes);
    ripProgress->setRange(0, 100);
    ripProgress->setValue(static_cast<int>(done * 100));
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
        showStatus(count + kStoppedNote);
    } else if (result.sawLine) {
        showStatus(count);
    }
    unsaved_ = !store_.empty();
    setRipping(false);
    // With an empty field box the rip reused the last parse, and so does the preview.
    updateFieldTip();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // A running rip notices at its next event pass, closes its source and
    // flushes its output; nothing here may go away before it has.
    if (session_->running()) {
        session_->stop();
        return event->accept();
    }
    if (unsaved_ && !store_.empty()) {
        const QMessageBox::StandardButton answer = askUnsaved_(this);
        // Anything but a save that worked or a discard keeps the window open.
        if (answer == QMessageBox::Save ? !saveList() : answer != QMessageBox::Discard) {
            return event->ignore();
        }
    }
    event->accept();
}

}  // namespace kolvane
