#include "icons.h"

#include <QPainter>
#include <QPixmap>
#include <QSvgRenderer>

namespace kolvane {

namespace {

QIcon drawn(const QString& resource, QSize size) {
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

}  // namespace

QIcon windowIcon() {
    return drawn(QStringLiteral(":/icons/kolvane.svg"), QSize(45, 45));
}

QIcon loadfileIcon() {
    return drawn(QStringLiteral(":/icons/folder.svg"), QSize(14, 12));
}

}  // namespace kolvane
