// The overlay windows on a real X display with a window manager: windows following the presets,
// stacking, workspaces, click-through, edit mode by holding Alt+Super, dragging, recovery after a
// screen change and the global shortcut.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>

#include "desktop_session.h"
#include "platform/screen_geometry.h"
#include "ui/overlays/overlay_coordinator.h"
#include "ui/overlays/overlay_handles.h"
#include "ui/overlays/overlay_panel.h"
#include "ui/overlays/x11_hot_key.h"

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
    coordinator->setFrameHandler(
        [this](const QString& id, const Rect& frame) { reports.emplace_back(id, frame); });
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

  // Shows preset "a"'s window at `frame` (Qt's convention) and waits until it is mapped.
  OverlayPanel& showA(QRect frame) {
    place("a", frame);
    show({preset("a", true)});
    OverlayPanel& a = panel("a");
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(a.winId()) == "IsViewable"; }, 3000));
    return a;
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

// The position of `window` (or of the frame openbox made for it) from the bottom of the stacking
// order the window manager publishes; -1 when it is not listed.
int stackingPosition(WId window) {
  const QString list = test::rootProperty(QStringLiteral("_NET_CLIENT_LIST_STACKING"));
  const QStringList ids = list.section(QLatin1Char('#'), 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
  for (qsizetype i = 0; i < ids.size(); ++i) {
    if (ids[i].trimmed().toULongLong(nullptr, 16) == window) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

TEST_F(OverlayCoordinatorTest, AboveStickyUndecoratedAndClickThroughUntilEditMode) {
  OverlayPanel& a = showA({300, 300, 400, 200});

  // An ordinary window under the caption, then raised and activated over it.
  test::ClickCounter below;
  below.setGeometry(200, 200, 600, 400);
  below.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&below));
  xdotool({QStringLiteral("windowactivate"), QStringLiteral("--sync"), QString::number(below.winId())});
  xdotool({QStringLiteral("windowraise"), QString::number(below.winId())});
  ASSERT_TRUE(QTest::qWaitFor([&] { return stackingPosition(below.winId()) >= 0; }, 3000));
  EXPECT_GT(stackingPosition(a.winId()), stackingPosition(below.winId()));
  EXPECT_TRUE(
      xprop(a.winId(), QStringLiteral("_NET_WM_STATE")).contains(QStringLiteral("_NET_WM_STATE_ABOVE")));

  // Undecorated, on every workspace (openbox knows no sticky state): switching to the other one leaves only
  // the caption mapped.
  EXPECT_TRUE(
      xprop(a.winId(), QStringLiteral("_NET_FRAME_EXTENTS")).contains(QStringLiteral("= 0, 0, 0, 0")));
  EXPECT_TRUE(xprop(a.winId(), QStringLiteral("_NET_WM_DESKTOP")).contains(QStringLiteral("4294967295")));
  xdotool({QStringLiteral("set_desktop"), QStringLiteral("1")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(below.winId()) != "IsViewable"; }, 3000));
  EXPECT_EQ(mapState(a.winId()), "IsViewable");
  xdotool({QStringLiteral("set_desktop"), QStringLiteral("0")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return mapState(below.winId()) == "IsViewable"; }, 3000));

  // A click on the caption's centre reaches the window below.
  const QPointF centre = QRectF(a.geometry()).center();
  moveMouse(centre);
  xdotool({QStringLiteral("click"), QStringLiteral("1")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return below.clicks == 1; }, 2000));

  // In edit mode the caption takes it: a click is a drag that did not move, which reports the frame.
  coordinator->setManualEdit(true);
  ASSERT_TRUE(waitForEditing("a", true));
  EXPECT_TRUE(a.handles().isVisible());
  xdotool({QStringLiteral("click"), QStringLiteral("1")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return reports.size() == 1; }, 2000));
  EXPECT_EQ(below.clicks, 1);
  EXPECT_EQ(reports[0].second, platform::toBottomLeft(QRectF(300, 300, 400, 200)));

  coordinator->setManualEdit(false);
  ASSERT_TRUE(waitForEditing("a", false));
  EXPECT_FALSE(a.handles().isVisible());
  xdotool({QStringLiteral("click"), QStringLiteral("1")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return below.clicks == 2; }, 2000));

  // Still click-through after being hidden and shown again (the window manager made a new frame).
  coordinator->setHidden(true);
  show({preset("a", true)});
  ASSERT_TRUE(QTest::qWaitFor([&] { return mapState(a.winId()) == "IsUnMapped"; }, 3000));
  coordinator->setHidden(false);
  show({preset("a", true)});
  ASSERT_TRUE(QTest::qWaitFor([&] { return mapState(a.winId()) == "IsViewable"; }, 3000));
  xdotool({QStringLiteral("windowraise"), QString::number(below.winId())});
  xdotool({QStringLiteral("click"), QStringLiteral("1")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return below.clicks == 3; }, 2000));
}

// Each drag starts from the same frame, with Alt+Super held; the mouse is pressed at `from`
// (relative to the window's top-left corner) and moved by `by` (Qt's directions: y down).
struct DragStep {
  const char* label;
  QPoint from;
  QPoint by;
  QRect expected;  // the frame afterwards, Qt's top-left convention
};

TEST_F(OverlayCoordinatorTest, HoldingAltSuperMovesAndResizesWithTheMouse) {
  const QRect start{300, 300, 400, 200};
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const DragStep steps[] = {
      {"move", {200, 100}, {60, -40}, {360, 260, 400, 200}},
      {"left edge stops at the minimum width", {5, 100}, {300, 0}, {460, 300, 240, 200}},
      {"top edge stops at the minimum height", {200, 5}, {0, 300}, {300, 400, 400, 100}},
      {"bottom-right corner", {395, 195}, {50, 30}, {300, 300, 450, 230}},
      {"past the screen's right edge is pulled back",
       {200, 100},
       {5000, 0},
       {screen.right() + 1 - 400, 300, 400, 200}},
  };
  OverlayPanel& a = showA(start);
  HeldKeys keys({QStringLiteral("alt"), QStringLiteral("super")});
  ASSERT_TRUE(waitForEditing("a", true));
  EXPECT_TRUE(a.handles().isVisible());
  for (const DragStep& step : steps) {
    SCOPED_TRACE(step.label);
    a.setFrame(platform::toBottomLeft(QRectF(start)));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.geometry() == start; }, 2000));
    reports.clear();
    moveMouse(start.topLeft() + step.from);
    {
      HeldButton button;
      // In steps, as a hand would move.
      moveMouse(start.topLeft() + step.from + step.by / 2);
      moveMouse(start.topLeft() + step.from + step.by);
      EXPECT_TRUE(QTest::qWaitFor([&] { return a.geometry() == step.expected; }, 2000)) << a.geometry();
      EXPECT_TRUE(reports.empty());  // nothing is reported during the drag
    }
    ASSERT_TRUE(QTest::qWaitFor([&] { return reports.size() == 1; }, 2000));
    EXPECT_EQ(reports[0].first, "a");
    EXPECT_EQ(reports[0].second, platform::toBottomLeft(QRectF(step.expected)));
  }

  // Releasing the keys in the middle of a drag ends it: the frame counts.
  a.setFrame(platform::toBottomLeft(QRectF(start)));
  ASSERT_TRUE(QTest::qWaitFor([&] { return a.geometry() == start; }, 2000));
  reports.clear();
  moveMouse(start.center());
  {
    HeldButton button;
    moveMouse(start.center() + QPoint(-100, 50));
    ASSERT_TRUE(QTest::qWaitFor([&] { return a.geometry() == start.translated(-100, 50); }, 2000));
    keys.release();
    ASSERT_TRUE(waitForEditing("a", false));
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].second, platform::toBottomLeft(QRectF(start.translated(-100, 50))));
    EXPECT_FALSE(a.handles().isVisible());
    moveMouse(start.center() + QPoint(0, 0));  // no longer dragging
  }
  QTest::qWait(100);
  EXPECT_EQ(a.geometry(), start.translated(-100, 50));
  EXPECT_EQ(reports.size(), 1u);
}

TEST_F(OverlayCoordinatorTest, EscapeDuringADragPutsTheWindowBackAndStillReportsIt) {
  const QRect start{300, 300, 400, 200};
  OverlayPanel& a = showA(start);
  HeldKeys keys({QStringLiteral("alt"), QStringLiteral("super")});
  ASSERT_TRUE(waitForEditing("a", true));

  moveMouse(start.center());
  HeldButton button;
  moveMouse(start.center() + QPoint(120, 80));
  ASSERT_TRUE(QTest::qWaitFor([&] { return a.geometry() == start.translated(120, 80); }, 2000));
  xdotool({QStringLiteral("key"), QStringLiteral("Escape")});
  ASSERT_TRUE(QTest::qWaitFor([&] { return reports.size() == 1; }, 2000));
  EXPECT_EQ(a.geometry(), start);
  EXPECT_EQ(reports[0].second, platform::toBottomLeft(QRectF(start)));

  // The rest of the gesture no longer drags.
  moveMouse(start.center() + QPoint(200, 0));
  button.release();
  QTest::qWait(100);
  EXPECT_EQ(a.geometry(), start);
  EXPECT_EQ(reports.size(), 1u);
}

// Presses Super+Shift+`letter` and lets the event loop handle what follows.
void pressShortcut(const char* letter) {
  xdotool({QStringLiteral("key"), QStringLiteral("super+shift+") + QLatin1String(letter)});
  QTest::qWait(150);
}

TEST_F(OverlayCoordinatorTest, GlobalShortcutTogglesAndSwitchesKeys) {
  int toggles = 0;
  coordinator->setToggleHandler([&] { ++toggles; });
  ASSERT_TRUE(coordinator->registerShortcut(Qt::Key_S));
  pressShortcut("s");
  EXPECT_TRUE(QTest::qWaitFor([&] { return toggles == 1; }, 2000));

  // Num Lock on: the grab covers the lock variants.
  xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
  pressShortcut("s");
  xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return toggles == 2; }, 2000));

  // Switching drops the old key.
  ASSERT_TRUE(coordinator->registerShortcut(Qt::Key_O));
  pressShortcut("s");
  EXPECT_EQ(toggles, 2);
  pressShortcut("o");
  EXPECT_TRUE(QTest::qWaitFor([&] { return toggles == 3; }, 2000));

  // Another client holding the key: registration fails and leaves no shortcut at all.
  ui::X11HotKey other(qgetenv("DISPLAY"));
  int otherPresses = 0;
  QObject::connect(&other, &ui::GlobalHotKey::pressed, [&] { ++otherPresses; });
  ASSERT_TRUE(other.registerKey(Qt::Key_S));
  EXPECT_FALSE(coordinator->registerShortcut(Qt::Key_S));
  pressShortcut("o");
  pressShortcut("s");
  EXPECT_TRUE(QTest::qWaitFor([&] { return otherPresses == 1; }, 2000));
  EXPECT_EQ(toggles, 3);

  // Once the other client lets go, the key can be had again.
  other.unregisterKey();
  ASSERT_TRUE(coordinator->registerShortcut(Qt::Key_S));
  pressShortcut("s");
  EXPECT_TRUE(QTest::qWaitFor([&] { return toggles == 4; }, 2000));
}

}  // namespace
}  // namespace sayloom
