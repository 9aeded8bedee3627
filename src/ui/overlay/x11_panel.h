#pragma once
// Caption windows on X11: on all workspaces through _NET_WM_DESKTOP and _NET_WM_STATE_STICKY (also
// skipping task bars and pagers), click-through through an empty XShape input region. Requests go
// through Qt's own X connection, so they are ordered with Qt's requests for the same window.
// Main thread only.
#include "ui/overlay/panel_window_system.h"

struct _XDisplay;  // Xlib's Display, kept out of this header so its macros stay out of Qt code

namespace sayloom::ui {

class X11Panel final : public PanelWindowSystem {
public:
  // `display` is Qt's connection to the X server; it outlives every window.
  explicit X11Panel(_XDisplay* display);

  void prepareToMap(QWidget& window) override;
  void setAcceptsInput(QWidget& window, bool accepts) override;

private:
  _XDisplay* m_display;
  bool m_haveShape = false;
};

}  // namespace sayloom::ui
