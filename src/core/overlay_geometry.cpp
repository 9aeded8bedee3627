#include "core/overlay_geometry.h"

#include <algorithm>
#include <cmath>

#include "core/mac_layout.h"
#include "core/overlay_preset.h"

namespace sayloom::OverlayGeometry {

namespace {

// The same rectangle with a non-negative width and height.
Rect standardized(Rect r) {
  if (r.width < 0) {
    r.x += r.width;
    r.width = -r.width;
  }
  if (r.height < 0) {
    r.y += r.height;
    r.height = -r.height;
  }
  return r;
}

double overlapArea(const Rect& a, const Rect& b) {
  const double width = std::min(a.x + a.width, b.x + b.width) - std::max(a.x, b.x);
  const double height = std::min(a.y + a.height, b.y + b.height) - std::max(a.y, b.y);
  return width > 0 && height > 0 ? width * height : 0;
}

double centreDistanceSquared(const Rect& a, const Rect& b) {
  const double dx = (a.x + a.width / 2) - (b.x + b.width / 2);
  const double dy = (a.y + a.height / 2) - (b.y + b.height / 2);
  return dx * dx + dy * dy;
}

}  // namespace

std::vector<Rect> visibleFrames(const std::vector<ScreenInfo>& screens) {
  std::vector<Rect> visible;
  visible.reserve(screens.size());
  for (const auto& screen : screens) {
    visible.push_back(screen.visibleFrame);
  }
  return visible;
}

Rect clamp(const Rect& frame, const std::vector<Rect>& screens) {
  if (screens.empty()) {
    return frame;
  }
  const Rect f = standardized(frame);
  std::size_t chosen = 0;
  double bestArea = overlapArea(f, standardized(screens[0]));
  for (std::size_t i = 1; i < screens.size(); ++i) {
    const double area = overlapArea(f, standardized(screens[i]));
    if (area > bestArea) {
      chosen = i;
      bestArea = area;
    }
  }
  if (!(bestArea > 0)) {
    chosen = 0;
    double bestDistance = centreDistanceSquared(f, standardized(screens[0]));
    for (std::size_t i = 1; i < screens.size(); ++i) {
      const double distance = centreDistanceSquared(f, standardized(screens[i]));
      if (distance < bestDistance) {
        chosen = i;
        bestDistance = distance;
      }
    }
  }
  const Rect s = standardized(screens[chosen]);
  Rect out;
  out.width = std::min(std::max(f.width, minWidth), s.width);
  out.height = std::min(std::max(f.height, minHeight), s.height);
  out.x = std::min(std::max(f.x, s.x), s.x + s.width - out.width);
  out.y = std::min(std::max(f.y, s.y), s.y + s.height - out.height);
  return out;
}

DragEdges dragEdges(double x, double y, double width, double height) {
  return {x<edgeZone, x> width - edgeZone, y<edgeZone, y> height - edgeZone};
}

Rect dragFrame(const Rect& start, double dx, double dy, DragEdges edges, const std::vector<Rect>& screens) {
  Rect frame = start;
  if (edges == DragEdges{}) {
    frame.x += dx;
    frame.y += dy;
    return clamp(frame, screens);
  }
  if (edges.left) {
    frame.x = std::min(start.x + dx, start.x + start.width - minWidth);
    frame.width = start.x + start.width - frame.x;
  }
  if (edges.right) {
    frame.x = start.x;
    frame.width = std::max(start.width + dx, minWidth);
  }
  if (edges.bottom) {
    frame.y = std::min(start.y + dy, start.y + start.height - minHeight);
    frame.height = start.y + start.height - frame.y;
  }
  if (edges.top) {
    frame.height = std::max(start.height + dy, minHeight);
  }
  return clamp(frame, screens);
}

Rect firstFrame(const OverlayPreset& preset, const std::map<std::string, MacLayout>& layouts,
                const std::vector<ScreenInfo>& screens, std::optional<std::size_t> mainScreen) {
  Rect area{0, 0, 1440, 900};
  if (mainScreen && *mainScreen < screens.size()) {
    area = standardized(screens[*mainScreen].visibleFrame);
  }
  Rect frame{area.x + area.width / 2 - preset.Width / 2, area.y + 80, preset.Width, preset.Height};
  if (auto it = layouts.find(preset.Id); it != layouts.end()) {
    const MacLayout& stored = it->second;
    if (std::isfinite(stored.x) && std::isfinite(stored.y) && std::isfinite(stored.width) &&
        std::isfinite(stored.height)) {
      frame = {stored.x, stored.y, stored.width, stored.height};
    }
  }
  return clamp(frame, visibleFrames(screens));
}

}  // namespace sayloom::OverlayGeometry
