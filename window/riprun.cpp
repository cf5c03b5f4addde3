// "Rip": the run of a rip from the window, and the window's side of it.
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
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

// Pending events run this often during a rip: often enough to feel immediate,
// seldom enough that the rip itself keeps nearly all of the time.
constexpr std::chrono::milliseconds kPumpInterval{15};

// The progress bar: a few pixels high, in steps fine enough for any width.
constexpr int kProgressHeight = 4;
constexpr int kProgressSteps = 1000;

const QString kStoppedNote = QStringLiteral(" (stopped)");

}  // namespace

void MainWindow::Dorip_Click() {
    // The disabled button keeps a click out; a direct call must not nest rips.
    if (ripping_) return;
    const Settings start = settings();
    model_->beginClear();
    ripper_.prepare(start);
    model_->endClear();
    const bool ripHadFocus = focusWidget() == Dorip;
    setButtonsEnabled(false);
    // Read once: toggling the box during the rip changes nothing for this rip.
    const bool hideList = start.hideList;
    if (hideList) List1->hide();
    // Where the disabled "Rip" (and the hidden list) sent the focus; it goes
    // back to "Rip" at the end unless the user has moved it on meanwhile.
    QWidget* const focusParked = ripHadFocus ? focusWidget() : nullptr;

    ripping_ = true;
    stopAsked_ = false;
    stopKey_->setEnabled(true);
    placeProgress();
    RipProgress->setRange(0, kProgressSteps);
    RipProgress->setValue(0);
    RipProgress->show();
    const std::string path = sourcePath();
    std::optional<Error> error;
    bool sawLine = false;
    bool stopped = false;
    if (auto source = FileSource::open(path)) {
        showProgress(Progress{0, false, 0, (*source)->size()});
        RunResult result = ripper_.run(**source, path, *this);
        error = std::move(result.error);
        sawLine = result.sawLine;
        stopped = result.stopped;
    } else {
        error = source.error();
    }
    ripping_ = false;
    stopKey_->setEnabled(false);
    RipProgress->hide();

    // The window still exists here even when it was closed during the rip:
    // closing only hides it, and it is deleted after this handler returns.
    model_->sync();
    if (error) {
        const QString message = QString::fromLocal8Bit(error->message());
        Statu->setText(message);
        Statu->setToolTip(message);
    } else if (stopped) {
        // Said even before the first non-empty line: the user asked, and the
        // window answers.
        showStatus(QString::fromStdString(statusText(state_.Ripcount)) + kStoppedNote);
    } else if (sawLine) {
        showCount(state_.Ripcount);
    }
    if (hideList) List1->show();
    setButtonsEnabled(true);
    if (ripHadFocus && focusWidget() == focusParked) Dorip->setFocus(Qt::OtherFocusReason);
    // With an empty field box the rip reused the last parse, and so does the preview.
    updateFieldTip();
}

bool MainWindow::pump(const Progress& progress) {
    // Rows, count and progress first, so that this event pass paints them.
    model_->sync();
    if (progress.sawLine) showCount(progress.ripcount);
    showProgress(progress);
    QCoreApplication::processEvents();
    return !stopAsked_;
}

std::chrono::milliseconds MainWindow::pumpInterval() const {
    return kPumpInterval;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The rip notices at its next event pass, closes its source and flushes its
    // output; nothing here may go away before it has.
    if (ripping_) stopAsked_ = true;
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

void MainWindow::showProgress(const Progress& progress) {
    // A pipe or a device tells no size: the bar only says that work goes on.
    if (!progress.totalBytes || *progress.totalBytes == 0) {
        RipProgress->setRange(0, 0);
        return;
    }
    const double done = static_cast<double>(std::min(progress.bytesRead, *progress.totalBytes)) /
                        static_cast<double>(*progress.totalBytes);
    RipProgress->setRange(0, kProgressSteps);
    RipProgress->setValue(static_cast<int>(done * kProgressSteps));
}

void MainWindow::setButtonsEnabled(bool enabled) {
    for (QPushButton* b : {Loadfile, Dorip, Command1, Saverip}) b->setEnabled(enabled);
}

void MainWindow::showCount(std::int64_t ripcount) {
    Statu->setText(QString::fromStdString(statusText(ripcount)));
    Statu->setToolTip(QString());
}

}  // namespace kolvane
