#pragma once
// Geometry of overlay windows in global screen coordinates: points, origin at the bottom-left
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

// Smallest overlay window; equals the lower bounds of a preset's Width and Height.
inline constexpr double minWidth = 240;
inline constexpr double minHeight = 100;

// The visible frames of `screens`, in their order.
std::vector<Rect> visibleFrames(const std::vector<ScreenInfo>& screens);

// Pulls `frame` onto the screen it overlaps most (the first on a tie; without any overlap, the one
// whose centre is nearest), at least 240 × 100 and at most the screen's size. With no screens the
// frame is returned unchanged.
Rect clamp(const Rect& frame, const std::vector<Rect>& screens);

// How close to an edge of a overlay window a press must land to drag that edge.
inline constexpr double edgeZone = 18;

// The edges a drag moves; none moves the whole window.
struct DragEdges {
  bool left = false;
  bool right = false;
  bool bottom = false;
  bool top = false;

  bool operator==(const DragEdges&) const = default;
};

// The edges a press at (x, y) in a window of `width` × `height` points grabs (origin at the
// window's bottom-left corner, y up): each edge within `edgeZone` of the press; two near a corner.
DragEdges dragEdges(double x, double y, double width, double height);

// The frame of a window whose drag began on `start` after the mouse moved by (dx, dy) (y up):
// without edges the window moves; a left or bottom edge moves that edge and stops at the minimum
// width or height, a right or top edge resizes down to the minimum (when both edges of an axis
// are set, the right edge decides the position and width, the top edge the height). The result is clamped
// onto `screens`.
Rect dragFrame(const Rect& start, double dx, double dy, DragEdges edges, const std::vector<Rect>& screens);

// The frame of a new overlay window for `preset`: its layout entry when there is one with finite
// values, otherwise centred 80 points above the bottom of the main screen's visible frame (a
// 1440 × 900 area at the origin without a main screen) at the preset's size; then clamped to the
// visible frames of `screens`.
Rect firstFrame(const OverlayPreset& preset, const std::map<std::string, MacLayout>& layouts,
                const std::vector<ScreenInfo>& screens, std::optional<std::size_t> mainScreen);

}  // namespace OverlayGeometry

}  // namespace sayloom
