// The desktop display list against the test PulseAudio: system audio is reachable, and a sound
// server that is not there is reported.
#include <gtest/gtest.h>

#include "platform/audio_source.h"
#include "platform/display_list.h"
#include "support/temp_dir.h"

namespace sayloom::platform {
namespace {

TEST(DesktopDisplayListTest, ChecksThatTheSoundServerCarryingSystemAudioCanBeReached) {
  DesktopDisplayList displays;
  EXPECT_NO_THROW(displays.checkSystemAudio());
  EXPECT_TRUE(displays.screens().empty());  // no GUI application in this test program

  test::TempDir dir;
  test::ScopedEnv nowhere("PULSE_SERVER", ("unix:" + (dir.path() / "none").string()).c_str());
  EXPECT_THROW(displays.checkSystemAudio(), SourceError);
}

}  // namespace
}  // namespace sayloom::platform
