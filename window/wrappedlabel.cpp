#include "wrappedlabel.h"

#include <QResizeEvent>
#include <algorithm>

namespace kolvane {

WrappedLabel::WrappedLabel(const QString& text, int leastLines)
    : QLabel(text), leastLines_(leastLines) {
    setTextFormat(Qt::PlainText);
    setWordWrap(true);
}

int WrappedLabel::heightNeeded() const {
    const QMargins margins = contentsMargins();
    const int least = leastLines_ * fontMetrics().lineSpacing() + margins.top() + margins.bottom();
    // Before its first layout the label has no width of its own yet.
    return width() > 0 ? std::max(least, QLabel::heightForWidth(width())) : least;
}

QSize WrappedLabel::minimumSizeHint() const {
    return {QLabel::minimumSizeHint().width(), heightNeeded()};
}

QSize WrappedLabel::sizeHint() const {
    return {QLabel::sizeHint().width(), heightNeeded()};
}

void WrappedLabel::resizeEvent(QResizeEvent* event) {
    QLabel::resizeEvent(event);
    // Narrower or wider, the text takes another number of lines.
    if (event->oldSize().width() != width() && height() != heightNeeded()) updateGeometry();
}

}  // namespace kolvane
