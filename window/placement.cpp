// Where the window opens, and its frame kept on the screen.
#include <QCheckBox>
#include <QEvent>
#include <QScreen>
#include <QScrollArea>

#include "columngrid.h"
#include "mainwindow.h"

namespace kolvane {

namespace {

// The window's client area as designed, in pixels at 96 dots per inch. It grows
// only where this toolkit's captions need more room than the design gave them.
constexpr QSize kDesignSize(677, 596);

}  // namespace

void MainWindow::placeOnScreen() {
    // The content's own size: a scroll area asks for less than it holds.
    const QSize wanted = scroll_->widget()->sizeHint().expandedTo(kDesignSize);
    if (const QScreen* where = screen()) {
        // The column grid shows from the start where the least it needs fits,
        // with room to spare for what comes after a load and a rip (the
        // offer's two lines, a hint's line, a window manager's title bar);
        // the list gives up its room to it first.
        const int later = 5 * fontMetrics().lineSpacing();
        if (scroll_->widget()->minimumSizeHint().height() + later >
            where->availableGeometry().height()) {
            columnGrid_->showCheck()->setChecked(false);
        }
        setGeometry(fitOnScreen(wanted, minimumSizeHint(), where->availableGeometry()));
    } else {
        resize(wanted);
    }
}

void MainWindow::moveEvent(QMoveEvent* event) {
    QWidget::moveEvent(event);
    keepFrameOnScreen();
}

// A window is activated once its window manager has framed and shown it.
void MainWindow::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) keepFrameOnScreen();
}

void MainWindow::keepFrameOnScreen() {
    // A window manager frames the window only once it is shown: the frame
    // around a window placed at the screen's size would put the title bar
    // (move, close) off the screen. Placed again once, inside the frame.
    const QRect frame = frameGeometry();
    const QRect inside = geometry();
    if (frameFitted_ || !isVisible() || frame == inside || !screen()) return;
    frameFitted_ = true;
    const QRect available = screen()->availableGeometry();
    if (available.contains(frame)) return;
    const QMargins border(inside.left() - frame.left(), inside.top() - frame.top(),
                          frame.right() - inside.right(), frame.bottom() - inside.bottom());
    setGeometry(fitOnScreen(size(), minimumSizeHint(), available.marginsRemoved(border)));
}

QRect fitOnScreen(QSize wanted, QSize minimum, const QRect& available) {
    // Smaller than wanted where the screen is; the list takes the loss.
    QRect placed(QPoint(), wanted.boundedTo(available.size()).expandedTo(minimum));
    placed.moveCenter(available.center());
    // Too big even at its smallest: its top left, with the title, stays in sight.
    placed.moveLeft(std::max(placed.left(), available.left()));
    placed.moveTop(std::max(placed.top(), available.top()));
    return placed;
}

}  // namespace kolvane
