// A file dropped on the window loads as if chosen in the open dialog.
#include <sys/stat.h>

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "mainwindow.h"

namespace kolvane {

namespace {

// The events of a drag over a widget and of its drop: each a QDropEvent.
bool isDrag(const QEvent* event) {
    const QEvent::Type type = event->type();
    return type == QEvent::DragEnter || type == QEvent::DragMove || type == QEvent::Drop;
}

}  // namespace

// One local file, and only while the window's state allows loading. Several files or a web address
// are refused rather than guessed at; so is a folder, which could never load.
void MainWindow::takeDrop(QDropEvent* event) {
    const QMimeData* mime = event->mimeData();
    const QList<QUrl> urls = mime && mime->hasUrls() ? mime->urls() : QList<QUrl>();
    // Always a copy: accepting a move would let the sender delete the file.
    if (!actionsOf(state_).load || urls.size() != 1 || !urls.front().isLocalFile() ||
        !(event->possibleActions() & Qt::CopyAction)) {
        return event->ignore();
    }
    // The name's own bytes: a name that is not UTF-8 travels percent-encoded,
    // and decoding it to text would lose it.
    const std::string path =
        QByteArray::fromPercentEncoding(urls.front().path(QUrl::FullyEncoded).toLatin1())
            .toStdString();
    struct stat st {};
    if (path.empty() || (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        return event->ignore();
    }
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (event->type() == QEvent::Drop) loadSource(path);
}

bool MainWindow::event(QEvent* event) {
    if (!isDrag(event)) return QWidget::event(event);
    takeDrop(static_cast<QDropEvent*>(event));
    return true;
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    // A file manager also offers the path as text, which a box would paste
    // into itself; a file is the window's wherever it is dropped.
    if (!isDrag(event) || !static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
        return QWidget::eventFilter(watched, event);
    }
    takeDrop(static_cast<QDropEvent*>(event));
    return true;
}

}  // namespace kolvane
