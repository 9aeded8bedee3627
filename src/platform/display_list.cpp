#include "platform/display_list.h"

#include <QGuiApplication>
#include <QScreen>

#include "platform/pulse_source.h"
#include "platform/screen_geometry.h"

namespace sayloom::platform {

std::vector<Display> DesktopDisplayList::screens() {
  std::vector<Display> displays;
  if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
    return displays;
  }
  const QList<QScreen*> screens = QGuiApplication::screens();
  for (qsizetype i = 0; i < screens.size(); ++i) {
    Display display;
    display.identifier = static_cast<std::uint32_t>(i + 1);
    display.name = screens.at(i)->name().toStdString();
    display.frame = toBottomLeft(QRectF(screens.at(i)->geometry()));
    displays.push_back(std::move(display));
  }
  return displays;
}

void DesktopDisplayList::checkSystemAudio() {
  // Reaching the monitor of the default output sink is what recording system audio needs.
  PulseSource monitor(SourceKind::defaultSinkMonitor);
  monitor.open();
  monitor.stop();
}

}  // namespace sayloom::platform
