#pragma once
// The screens of the window system in the core's convention (points, origin at the bottom-left
// corner of the primary screen, y growing upwards), and the one conversion between that convention
// and Qt's (origin at the top-left corner of the virtual desktop, y growing downwards). Without a
// GUI application object there are no screens and the primary screen's bottom is taken as 0.
// Main thread only.
#include <QPointF>
#include <QRect>
#include <cstddef>
#include <optional>
#include <vector>

#include "core/overlay_geometry.h"
#include "core/rect.h"

namespace sayloom::platform {

// Qt's rectangle or point in the core's convention.
Rect toBottomLeft(const QRectF& rect);
QPointF toBottomLeft(const QPointF& point);
// The core's rectangle in Qt's convention, rounded to whole logical pixels.
QRect toTopLeft(const Rect& rect);

// Every screen in the window system's order, numbered from 1 in that order.
std::vector<ScreenInfo> desktopScreens();
// The position in that list of the screen holding the focused window, else of the primary screen.
std::optional<std::size_t> desktopMainScreen();

}  // namespace sayloom::platform
