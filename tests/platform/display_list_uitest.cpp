// The desktop display list reads the window system's screens, numbered from 1.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>

#include "platform/display_list.h"

namespace sayloom::platform {
namespace {

TEST(DesktopDisplayListScreensTest, NumbersTheScreensFromOneWithBottomLeftFrames) {
  const std::vector<Display> displays = DesktopDisplayList().screens();
  const QList<QScreen*> screens = QGuiApplication::screens();
  ASSERT_EQ(displays.size(), static_cast<std::size_t>(screens.size()));
  ASSERT_FALSE(displays.empty());
  const QRect primary = QGuiApplication::primaryScreen()->geometry();
  for (std::size_t i = 0; i < displays.size(); ++i) {
    const QRect geometry = screens.at(static_cast<qsizetype>(i))->geometry();
    EXPECT_EQ(displays[i].identifier, i + 1);
    EXPECT_EQ(displays[i].frame.x, geometry.x());
    EXPECT_EQ(displays[i].frame.y, primary.y() + primary.height() - geometry.y() - geometry.height());
    EXPECT_EQ(displays[i].frame.width, geometry.width());
    EXPECT_EQ(displays[i].frame.height, geometry.height());
  }
}

}  // namespace
}  // namespace sayloom::platform
