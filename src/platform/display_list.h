#pragma once
// The displays whose system audio can be recorded: the screens the window system lists, numbered
// from 1 in its order, and a check that the sound server carrying system audio can be reached.
#include <vector>

#include "core/display.h"

namespace sayloom::platform {

class DisplayList {
public:
  virtual ~DisplayList() = default;
  // The screens in the window system's order. Main thread only.
  virtual std::vector<Display> screens() = 0;
  // Throws when system audio cannot be recorded (the sound server cannot be reached). Any
  // thread; may block briefly.
  virtual void checkSystemAudio() = 0;
};

// The screens of QGuiApplication (none without a GUI application object), with frames in the
// core's convention: origin at the bottom-left corner of the primary screen, y growing upwards.
// System audio is the monitor of the sound server's default output sink; checking it opens that
// source once (SourceError when the server cannot be reached).
class DesktopDisplayList final : public DisplayList {
public:
  std::vector<Display> screens() override;
  void checkSystemAudio() override;
};

}  // namespace sayloom::platform
