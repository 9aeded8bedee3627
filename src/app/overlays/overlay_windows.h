#pragma once
// What the application model needs of the overlay windows: bring them in line with the preset
// list and show a caption, hide and show them all, edit mode from the menu, pulling them back onto
// the screens, the global shortcut, and the screens they stand on. The window layer implements it;
// the model never reaches the window system directly. Main thread only.
#include <QString>
#include <functional>
#include <optional>
#include <vector>

#include "core/mac_layout.h"
#include "core/overlay_geometry.h"
#include "core/overlay_preset.h"

namespace sayloom {

class OverlayWindows {
public:
  // A window's new frame after the user moved or resized it, or recovery moved it: the preset Id
  // and the frame (bottom-left, y-up convention).
  using FrameHandler = std::function<void(const QString& presetID, const Rect& frame)>;

  virtual ~OverlayWindows() = default;

  // One window per enabled preset (new ones placed from `layouts`), each showing `original` and
  // `translation`; windows of presets no longer enabled close. Existing windows keep their frames.
  // While hidden every window, new ones included, stays off screen.
  virtual void update(const std::vector<OverlayPreset>& presets, const QString& original,
                      const QString& translation, const QString& language, const LayoutMap& layouts) = 0;

  // The screens in the window system's order, in the bottom-left, y-up convention of the layout
  // file, and the position of the main screen among them (none without screens).
  virtual std::vector<ScreenInfo> screens() const = 0;
  virtual std::optional<std::size_t> mainScreen() const = 0;

  // The rest has defaults for window layers (and test stand-ins) that lack them: nothing happens
  // and the shortcut is refused.

  // Whether every window stays off screen; takes effect at the next `update`.
  virtual void setHidden(bool /*hidden*/) {}
  // Edit mode switched on from a menu instead of by holding Alt+Super.
  virtual void setManualEdit(bool /*on*/) {}
  // Pulls every window onto the screens and reports each one's frame to the frame handler.
  virtual void recoverAll() {}
  // Makes Super+Shift+`key` (a letter) the global shortcut, dropping the one registered before.
  // False when the window system refuses it or has no such service; no shortcut is left then.
  virtual bool registerShortcut(Qt::Key /*key*/) { return false; }
  // Receives the frames the user gives the windows (and recovery).
  virtual void setFrameHandler(FrameHandler /*handler*/) {}
  // Called on every press of the global shortcut.
  virtual void setToggleHandler(std::function<void()> /*handler*/) {}
};

}  // namespace sayloom
