#pragma once

#include <QIcon>

namespace kolvane {

// The window's own images, drawn from the SVG resources at the sizes the window
// uses them (and twice that for high-density screens).
QIcon windowIcon();    // 45 x 45
QIcon loadfileIcon();  // 14 x 12, a folder

}  // namespace kolvane
