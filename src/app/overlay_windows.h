#pragma once
// What the application model needs of the caption windows: bring them in line with the preset
// list and show a caption, and the screens they stand on. The window layer implements it; the
// model never reaches the window system directly. Main thread only.
#include <QString>
#include <optional>
#include <vector>

#include "core/mac_layout.h"
#include "core/overlay_geometry.h"
#include "core/overlay_preset.h"

namespace sayloom {

class OverlayWindows {
public:
  virtual ~OverlayWindows() = default;

  // One window per enabled preset (new ones placed from `layouts`), each showing `original` and
  // `translation`; windows of presets no longer enabled close. Existing windows keep their frames.
  virtual void update(const std::vector<OverlayPreset>& presets, const QString& original,
                      const QString& translation, const QString& language, const LayoutMap& layouts) = 0;

  // The screens in the window system's order, in the bottom-left, y-up convention of the layout
  // file, and the position of the main screen among them (none without screens).
  virtual std::vector<ScreenInfo> screens() const = 0;
  virtual std::optional<std::size_t> mainScreen() const = 0;
};

}  // namespace sayloom
