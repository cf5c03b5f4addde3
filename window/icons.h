#pragma once

#include <QIcon>

namespace kolvane {

// One of the window's own images, drawn from the SVG `resource` at `size`, the
// size the window uses it at, and twice that for high-density screens.
QIcon drawnIcon(const QString& resource, QSize size);

}  // namespace kolvane
