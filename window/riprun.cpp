// "Rip": the window's side of a rip.
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <algorithm>

#include "mainwindow.h"
#include "resultmodel.h"
#include "resultview.h"

namespace kolvane {

namespace {

// The progress bar: a few pixels high, in steps fine enough for any width.
constexpr int kProgressHeight = 4;
constexpr int kProgressSteps = 1000;

const QString kStoppedNote = QStringLiteral(" (stopped)");

}  // namespace

void MainWindow::Dorip_Click() {
    // The disabled button keeps a click out; a direct call must not nest rips.
    if (session_->running()) return;
    const Settings start = settings();
    model_->beginClear();
    store_.clear();
    model_->endClear();
    session_->prepare(start);
    setRipping(true);
    const std::string path = sourcePath();
    auto source = FileSource::open(path);
    if (!source) return ripFinished(RunResult{source.error()});
    showProgress(Progress{0, false, 0, (*source)->size()});
    session_->run(**source, path);
}

void MainWindow::setRipping(bool on) {
    if (on) focusBack_ = focusWidget() == Dorip;
    if (!on && listHidden_) List1->show();
    for (QPushButton* b : {Loadfile, Dorip, Command1, Saverip}) b->setEnabled(!on);
    stopKey_->setEnabled(on);
    // Read once: toggling the box during the rip changes nothing for this rip.
    if (on) listHidden_ = Check3->checkState() == Qt::Checked;
    if (on && listHidden_) List1->hide();
    if (on) {
        focusParked_ = focusWidget();
        placeProgress();
    } else if (focusBack_ && focusWidget() == focusParked_) {
        Dorip->setFocus(Qt::OtherFocusReason);
    }
    RipProgress->setVisible(on);
}

void MainWindow::showProgress(const Progress& progress) {
    // Rows, count and progress first, so that the coming event pass paints them.
    model_->sync();
    if (progress.sawLine) showStatus(QString::fromStdString(statusText(progress.ripcount)));
    // A pipe or a device tells no size: the bar only says that work goes on.
    if (!progress.totalBytes || *progress.totalBytes == 0) return RipProgress->setRange(0, 0);
    const double done = static_cast<double>(std::min(progress.bytesRead, *progress.totalBytes)) /
                        static_cast<double>(*progress.totalBytes);
    RipProgress->setRange(0, kProgressSteps);
    RipProgress->setValue(static_cast<int>(done * kProgressSteps));
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
    setRipping(false);
    // With an empty field box the rip reused the last parse, and so does the preview.
    updateFieldTip();
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The rip notices at its next event pass, closes its source and flushes its
    // output; nothing here may go away before it has.
    session_->stop();
    event->accept();
}

void MainWindow::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The layout has placed the controls by now.
    if (RipProgress->isVisible()) placeProgress();
}

void MainWindow::placeProgress() {
    const QRect list = List1->geometry();
    const int below = std::min({Statu->y(), Check2->y(), Saverip->y()});
    const int gap = below - (list.bottom() + 1);
    // Centred in the gap; where there is none, over the list's bottom edge.
    const int top = gap >= kProgressHeight ? list.bottom() + 1 + (gap - kProgressHeight) / 2
                                           : list.bottom() + 1 - kProgressHeight;
    RipProgress->setGeometry(list.left(), top, list.width(), kProgressHeight);
    RipProgress->raise();
}

}  // namespace kolvane
