// A file dropped on the window loads as if chosen in the open dialog.
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include "mainwindow.h"

namespace kolvane {

// One local file, and not while a rip runs (its buttons are off, and loading
// is theirs). Several files or a web address are refused rather than guessed
// at; so is a folder, which could never load.
std::optional<QString> MainWindow::droppableFile(const QMimeData* mime) const {
    if (session_->running() || !mime || !mime->hasUrls()) return std::nullopt;
    const QList<QUrl> urls = mime->urls();
    if (urls.size() != 1 || !urls.front().isLocalFile()) return std::nullopt;
    const QString path = urls.front().toLocalFile();
    if (path.isEmpty() || QFileInfo(path).isDir()) return std::nullopt;
    return path;
}

void MainWindow::takeDrop(QDropEvent* event) {
    const std::optional<QString> file = droppableFile(event->mimeData());
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
