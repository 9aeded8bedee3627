#pragma once
// What a overlay window needs of the window system beyond Qt's window flags: to be shown on every
// workspace and to let clicks pass through it. On X11 both are done with the EWMH properties and
// the XShape extension; elsewhere (Wayland, the offscreen platform) only what Qt's flags offer, so
// the windows still work there, on the current workspace only. Main thread only.
#include <QWidget>
#include <memory>

namespace sayloom::ui {

class PanelWindowSystem {
public:
  virtual ~PanelWindowSystem() = default;

  // Before `window` is mapped (every time: a window manager forgets a withdrawn window's state):
  // on every workspace, left out of task bars and pagers.
  virtual void prepareToMap(QWidget& window) = 0;
  // While `accepts` is false the window takes no mouse input: clicks reach what lies below.
  virtual void setAcceptsInput(QWidget& window, bool accepts) = 0;

  // The X11 implementation when the application runs on X11, otherwise Qt's flags alone.
  static std::unique_ptr<PanelWindowSystem> forApplication();
};

}  // namespace sayloom::ui
