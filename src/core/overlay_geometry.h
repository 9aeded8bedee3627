#pragma once
// Geometry of caption windows in global screen coordinates: points, origin at the bottom-left
// corner of the primary screen, y growing upwards (the ui layer converts from and to Qt's
// top-left convention). Pure functions; any thread.
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "core/rect.h"

namespace sayloom {

struct OverlayPreset;
struct MacLayout;

// One screen as the window system lists it.
struct ScreenInfo {
  Rect frame;                                  // the whole screen
  Rect visibleFrame;                           // without panels and docks
  double scale = 1;                            // device pixels per point
  std::optional<std::uint32_t> displayNumber;  // the window system's number for the screen
};

namespace OverlayGeometry {

// Smallest caption window; equals the lower bounds of a preset's Width and Height.
inline constexpr double minWidth = 240;
inline constexpr double minHeight = 100;

// Pulls `frame` onto the screen it overlaps most (the first on a tie; without any overlap, the one
// whose centre is nearest), at least 240 × 100 and at most the screen's size. With no screens the
// frame is returned unchanged.
Rect clamp(const Rect& frame, const std::vector<Rect>& screens);

// The frame of a new caption window for `preset`: its layout entry when there is one with finite
// values, otherwise centred 80 points above the bottom of the main screen's visible frame (a
// 1440 × 900 area at the origin without a main screen) at the preset's size; then clamped to the
// visible frames of `screens`.
Rect firstFrame(const OverlayPreset& preset, const std::map<std::string, MacLayout>& layouts,
                const std::vector<ScreenInfo>& screens, std::optional<std::size_t> mainScreen);

}  // namespace OverlayGeometry

}  // namespace sayloom
