// The caption windows on a real X display with a window manager: windows following the presets,
// stacking, workspaces, click-through, edit mode by holding Alt+Super, dragging, recovery after a
// screen change and the global shortcut.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "desktop_session.h"
#include "platform/screen_geometry.h"
#include "ui/overlay/overlay_coordinator.h"
#include "ui/overlay/overlay_handles.h"
#include "ui/overlay/overlay_panel.h"
#include "ui/overlay/x11_hot_key.h"

namespace sayloom {

void PrintTo(const Rect& r, std::ostream* os) {
  *os << "(" << r.x << ", " << r.y << ", " << r.width << ", " << r.height << ")";
}

namespace {

using test::HeldButton;
using test::HeldKeys;
using test::mapState;
using test::moveMouse;
using test::xdotool;
using test::xprop;
using ui::OverlayCoordinator;
using ui::OverlayPanel;

OverlayPreset preset(const char* id, bool enabled) {
  OverlayPreset p;
  p.Id = id;
  p.IsEnabled = enabled;
  p.Width = 400;
  p.Height = 200;
  return p;
}

class OverlayCoordinatorTest : public testing::Test {
protected:
  void SetUp() override {
    if (!test::onX11()) {
      GTEST_SKIP() << "needs the X display of the test services";
    }
    coordinator = std::make_unique<OverlayCoordinator>();
    coordinator->setFrameHandler([this](const QString& id, const Rect& frame) {
      reports.emplace_back(id, frame);
    });
  }

  void TearDown() override {
    coordinator.reset();
    QTest::qWait(50);
  }

  // Shows the presets with a layout entry for each id in `frames`.
  void show(const std::vector<OverlayPreset>& presets) {
    coordinator->update(presets, QStringLiteral("안녕하세요"), QString(), QStringLiteral("en"), layouts);
  }

  // A frame in Qt's top-left coordinates given in the layout's convention.
  void place(const char* id, QRect topLeft) { layouts[id] = toLayout(topLeft); }
  static MacLayout toLayout(QRect topLeft) {
    const Rect r = platform::toBottomLeft(QRectF(topLeft));
    return MacLayout{r.x, r.y, r.width, r.height, 1, "1"};
  }

  OverlayPanel& panel(const char* id) {
    OverlayPanel* p = coordinator->panel(QString::fromLatin1(id));
    EXPECT_NE(p, nullptr) << id;
    return *p;
  }

  bool waitForEditing(const char* id, bool editing) {
    return QTest::qWaitFor([&] { return panel(id).editing() == editing; }, 2000);
  }

  std::unique_ptr<OverlayCoordinator> coordinator;
  LayoutMap layouts;
  std::vector<std::pair<QString, Rect>> reports;
};

TEST_F(OverlayCoordinatorTest, WindowsFollowTheEnabledPresets) {
  place("a", {100, 100, 400, 200});
  std::vector<OverlayPreset> presets{preset("a", true), preset("b", false), preset("c", false)};
  show(presets);
  ASSERT_EQ(coordinator->panelCount(), 1u);
  EXPECT_TRUE(coordinator->polling());
  const WId a = panel("a").winId();
  ASSERT_TRUE(QTest::qWaitFor([&] { return mapState(a) == "IsViewable"; }, 3000));
  EXPECT_EQ(panel("a").geometry(), QRect(100, 100, 400, 200));

  // A second window does not move the first.
  presets[1].IsEnabled = true;
  show(presets);
  ASSERT_EQ(coordinator->panelCount(), 2u);
  const WId b = panel("b").winId();
  ASSERT_TRUE(QTest::qWaitFor([&] { return mapState(b) == "IsViewable"; }, 3000));
  EXPECT_EQ(panel("a").geometry(), QRect(100, 100, 400, 200));

  // Disabling it closes only that one.
  presets[1].IsEnabled = false;
  show(presets);
  EXPECT_EQ(coordinator->panel(QStringLiteral("b")), nullptr);
  EXPECT_EQ(mapState(a), "IsViewable");

  // Hidden: a newly enabled preset gets its window, and every window stays unmapped.
  coordinator->setHidden(true);
  presets[2].IsEnabled = true;
  show(presets);
  ASSERT_EQ(coordinator->panelCount(), 2u);
  const WId c = panel("c").winId();
  EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(a) == "IsUnMapped"; }, 3000));
  EXPECT_EQ(mapState(c), "IsUnMapped");

  coordinator->setHidden(false);
  show(presets);
  EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(c) == "IsViewable"; }, 3000));
  EXPECT_EQ(mapState(a), "IsViewable");

  // Without windows the keyboard is no longer polled.
  show({preset("a", false), preset("c", false)});
  EXPECT_EQ(coordinator->panelCount(), 0u);
  EXPECT_FALSE(coordinator->polling());
  EXPECT_TRUE(reports.empty());
}

}  // namespace
}  // namespace sayloom
