#pragma once
// Overlay windows on X11: on all workspaces through _NET_WM_DESKTOP and _NET_WM_STATE_STICKY (also
// skipping task bars and pagers), click-through through an empty XShape input region. A window
// manager that puts the window into a frame of its own and does not pass the input region on to it
// (openbox) would catch the clicks with that frame, so the frame receives the same region; a new
// frame (after each map) gets it when the window is reparented. Requests go through Qt's own X
// connection, so they are ordered with Qt's requests for the same window. Main thread only.
#include <QAbstractNativeEventFilter>
#include <QPointer>
#include <map>

#include "ui/overlays/panel_window_system.h"

struct _XDisplay;  // Xlib's Display, kept out of this header so its macros stay out of Qt code

namespace sayloom::ui {

class X11Panel final : public PanelWindowSystem, private QAbstractNativeEventFilter {
public:
  // `display` is Qt's connection to the X server; it outlives every window.
  explicit X11Panel(_XDisplay* display);
  ~X11Panel() override;

  void prepareToMap(QWidget& window) override;
  void setAcceptsInput(QWidget& window, bool accepts) override;

private:
  bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;
  // Sets the input region of the window and of the frame it is in (`parent`, 0 to look it up).
  void applyInput(unsigned long window, bool accepts, unsigned long parent);

  _XDisplay* m_display;
  bool m_haveShape = false;
  struct Panel {
    QPointer<QWidget> widget;
    bool accepts = false;
  };
  std::map<unsigned long, Panel> m_panels;  // by native window
};

}  // namespace sayloom::ui
