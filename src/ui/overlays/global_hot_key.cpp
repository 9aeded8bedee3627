#include "ui/overlays/global_hot_key.h"

#include <QGuiApplication>

#include "ui/overlays/x11_hot_key.h"

// Xlib last: its macros (None, KeyPress, Bool...) would clash with Qt's names.
#include <X11/Xlib.h>

namespace sayloom::ui {

namespace {

// Where no global shortcut service exists (Wayland, the offscreen platform).
class NoHotKey final : public GlobalHotKey {
public:
  bool registerKey(Qt::Key) override { return false; }
  void unregisterKey() override {}
};

}  // namespace

std::unique_ptr<GlobalHotKey> GlobalHotKey::forApplication() {
  if (auto* x11 =
          qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
      x11 != nullptr && x11->display() != nullptr) {
    return std::make_unique<X11HotKey>(QByteArray(XDisplayString(x11->display())));
  }
  return std::make_unique<NoHotKey>();
}

}  // namespace sayloom::ui
