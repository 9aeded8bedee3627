#include "ui/overlays/panel_window_system.h"

#include <QGuiApplication>
#include <QWindow>

#include "ui/overlays/x11_panel.h"

namespace sayloom::ui {

namespace {

// Qt's flags alone: click-through where the platform supports it, current workspace only.
class QtPanel final : public PanelWindowSystem {
public:
  void prepareToMap(QWidget&) override {}
  void setAcceptsInput(QWidget& window, bool accepts) override {
    window.windowHandle()->setFlag(Qt::WindowTransparentForInput, !accepts);
  }
};

}  // namespace

std::unique_ptr<PanelWindowSystem> PanelWindowSystem::forApplication() {
  if (auto* x11 =
          qGuiApp != nullptr ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
      x11 != nullptr && x11->display() != nullptr) {
    return std::make_unique<X11Panel>(x11->display());
  }
  return std::make_unique<QtPanel>();
}

}  // namespace sayloom::ui
