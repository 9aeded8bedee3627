#include "platform/screen_geometry.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <cmath>

namespace sayloom::platform {

namespace {

bool haveScreens() { return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr; }

// Where the bottom-left origin lies in Qt's coordinates: the bottom of the primary screen.
double primaryBottom() {
  if (!haveScreens()) {
    return 0;
  }
  const QScreen* primary = QGuiApplication::primaryScreen();
  if (primary == nullptr) {
    return 0;
  }
  const QRect geometry = primary->geometry();
  return geometry.y() + geometry.height();
}

}  // namespace

Rect toBottomLeft(const QRectF& rect) {
  return {rect.x(), primaryBottom() - (rect.y() + rect.height()), rect.width(), rect.height()};
}

QPointF toBottomLeft(const QPointF& point) { return {point.x(), primaryBottom() - point.y()}; }

QRect toTopLeft(const Rect& rect) {
  const double top = primaryBottom() - (rect.y + rect.height);
  return {static_cast<int>(std::lround(rect.x)), static_cast<int>(std::lround(top)),
          static_cast<int>(std::lround(rect.width)), static_cast<int>(std::lround(rect.height))};
}

std::vector<ScreenInfo> desktopScreens() {
  std::vector<ScreenInfo> screens;
  if (!haveScreens()) {
    return screens;
  }
  const QList<QScreen*> list = QGuiApplication::screens();
  for (qsizetype i = 0; i < list.size(); ++i) {
    const QScreen* screen = list.at(i);
    screens.push_back(ScreenInfo{toBottomLeft(QRectF(screen->geometry())),
                                 toBottomLeft(QRectF(screen->availableGeometry())),
                                 screen->devicePixelRatio(), static_cast<std::uint32_t>(i + 1)});
  }
  return screens;
}

std::optional<std::size_t> desktopMainScreen() {
  if (!haveScreens()) {
    return std::nullopt;
  }
  const QList<QScreen*> list = QGuiApplication::screens();
  const QWindow* focused = QGuiApplication::focusWindow();
  const QScreen* main = focused != nullptr ? focused->screen() : QGuiApplication::primaryScreen();
  const qsizetype index = list.indexOf(const_cast<QScreen*>(main));
  if (index >= 0) {
    return static_cast<std::size_t>(index);
  }
  return list.isEmpty() ? std::nullopt : std::optional<std::size_t>(0);
}

}  // namespace sayloom::platform
