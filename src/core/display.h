#pragma once
// A display whose audio can be recorded: a plain value, any thread.
#include <cstdint>
#include <string>

namespace sayloom {

struct DisplayFrame {
  double x = 0;
  double y = 0;
  double width = 0;
  double height = 0;

  bool operator==(const DisplayFrame&) const = default;
};

struct Display {
  // 1-based position in the window system's screen list; 0 means no display.
  std::uint32_t identifier = 0;
  // The window system's name for the screen (may be empty).
  std::string name;
  DisplayFrame frame;

  bool operator==(const Display&) const = default;
};

}  // namespace sayloom
