#pragma once
// A rectangle in screen points, origin at the bottom-left of the primary screen, y growing upwards.
// The ui layer converts from and to the window system's top-left convention.

namespace sayloom {

struct Rect {
  double x = 0;  // left edge
  double y = 0;  // bottom edge
  double width = 0;
  double height = 0;

  bool operator==(const Rect&) const = default;
};

}  // namespace sayloom
