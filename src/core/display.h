#pragma once
// A display whose audio can be recorded: a plain value, any thread.
#include <cstdint>
#include <string>

#include "core/rect.h"

namespace sayloom {

struct Display {
  // 1-based position in the window system's screen list; 0 means no display.
  std::uint32_t identifier = 0;
  // The window system's name for the screen (may be empty).
  std::string name;
  Rect frame;

  bool operator==(const Display&) const = default;
};

}  // namespace sayloom
