// "Rip": the run of a rip from the window, and the window's side of it.
#include <QCheckBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "mainwindow.h"
#include "resultmodel.h"
#include "resultview.h"

namespace kolvane {

namespace {

// Pending events run this often during a rip: often enough to feel immediate,
// seldom enough that the rip itself keeps nearly all of the time.
constexpr std::chrono::milliseconds kPumpInterval{15};

std::string bytes(const QString& text) {
    return text.toUtf8().toStdString();
}

}  // namespace

void MainWindow::Dorip_Click() {
    // The disabled button keeps a click out; a direct call must not nest rips.
    if (ripping_) return;
    const Settings start = settings();
    model_->beginClear();
    ripper_.prepare(start);
    model_->endClear();
    setButtonsEnabled(false);
    // Read once: toggling the box during the rip changes nothing for this rip.
    const bool hideList = start.hideList;
    if (hideList) List1->hide();

    ripping_ = true;
    closing_ = false;
    const std::string path = QFile::encodeName(Text1->text()).toStdString();
    std::optional<Error> error;
    bool sawLine = false;
    if (auto source = FileSource::open(path)) {
        RunResult result = ripper_.run(**source, path, *this);
        error = std::move(result.error);
        sawLine = result.sawLine;
    } else {
        error = source.error();
    }
    ripping_ = false;

    // The window still exists here even when it was closed during the rip:
    // closing only hides it, and it is deleted after this handler returns.
    model_->sync();
    if (error) {
        const QString message = QString::fromLocal8Bit(error->message());
        Statu->setText(message);
        Statu->setToolTip(message);
    } else if (sawLine) {
        showCount(state_.Ripcount);
    }
    if (hideList) List1->show();
    setButtonsEnabled(true);
}

Settings MainWindow::settings() {
    Settings s;
    s.split = bytes(SplitChar->text());
    s.join = bytes(FieldSep->text());
    s.fields = bytes(RipFields->text());
    s.skipEmpty = Check1->checkState() != Qt::Unchecked;
    s.toFile = Check2->checkState() != Qt::Unchecked;
    s.smart = Check4->checkState() != Qt::Unchecked;
    s.hideList = Check3->checkState() == Qt::Checked;
    return s;
}

bool MainWindow::pump(const Progress& progress) {
    // Rows and count first, so that this event pass paints them.
    model_->sync();
    if (progress.sawLine) showCount(progress.ripcount);
    QCoreApplication::processEvents();
    return !closing_;
}

std::chrono::milliseconds MainWindow::pumpInterval() const {
    return kPumpInterval;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    // The rip notices at its next event pass, closes its source and flushes its
    // output; nothing here may go away before it has.
    if (ripping_) closing_ = true;
    event->accept();
}

void MainWindow::setButtonsEnabled(bool enabled) {
    for (QPushButton* b : {Loadfile, Dorip, Command1, Saverip}) b->setEnabled(enabled);
}

void MainWindow::showCount(std::int64_t ripcount) {
    Statu->setText(QString::fromStdString(statusText(ripcount)));
    Statu->setToolTip(QString());
}

}  // namespace kolvane
