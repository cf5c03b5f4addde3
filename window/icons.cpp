#include "icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace kolvane {

QIcon drawnIcon(const QString& resource, QSize size) {
    QSvgRenderer renderer(resource);
    QIcon icon;
    for (int scale : {1, 2}) {
        QPixmap pixmap(size * scale);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        renderer.render(&painter);
        painter.end();
        pixmap.setDevicePixelRatio(scale);
        icon.addPixmap(pixmap);
    }
    return icon;
}

}  // namespace kolvane
