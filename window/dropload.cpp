// A file dropped on the window loads as if chosen in the open dialog.
#include <sys/stat.h>

#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include "mainwindow.h"

namespace kolvane {

// One local file, and only while the window's state allows loading. Several files or a web address
// are refused rather than guessed at; so is a folder, which could never load.
std::optional<std::string> MainWindow::droppableFile(const QMimeData* mime) const {
    if (!actionsOf(state_).load || !mime || !mime->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
    // The name's own bytes: a name that is not UTF-8 travels percent-encoded,
    // and decoding it to text would lose it.
    const std::string path =
        QByteArray::fromPercentEncoding(urls.front().path(QUrl::FullyEncoded).toLatin1())
            .toStdString();
    struct stat st {};
    if (path.empty() || (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode))) {
        return std::nullopt;
    }
    return path;
}

void MainWindow::takeDrop(QDropEvent* event) {
    const std::optional<std::string> file = droppableFile(event->mimeData());
    // Always a copy: accepting a move would let the sender delete the file.
    if (!file || !(event->possibleActions() & Qt::CopyAction)) return event->ignore();
    event->setDropAction(Qt::CopyAction);
    event->accept();
    if (event->type() == QEvent::Drop) loadSource(*file);
}

void MainWindow::dragEnterEvent(QDragEnterEvent* event) {
    takeDrop(event);
}

void MainWindow::dragMoveEvent(QDragMoveEvent* event) {
    takeDrop(event);
}

void MainWindow::dropEvent(QDropEvent* event) {
    takeDrop(event);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::Drop:
            // A file manager also offers the path as text, which a box would
            // paste into itself; a file is the window's wherever it is dropped.
            if (static_cast<QDropEvent*>(event)->mimeData()->hasUrls()) {
                takeDrop(static_cast<QDropEvent*>(event));
                return true;
            }
            break;
        default:
            break;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kolvane
