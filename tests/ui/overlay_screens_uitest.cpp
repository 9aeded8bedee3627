// Overlay windows when the screen configuration changes: the test display's only screen is made
// smaller through RandR, as when the screen that held a window goes away, and grows back after.
#include <gtest/gtest.h>

#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <memory>

#include "desktop_session.h"
#include "platform/screen_geometry.h"
#include "ui/overlays/overlay_coordinator.h"
#include "ui/overlays/overlay_panel.h"

// Xlib last: its macros would clash with Qt's names.
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>

#include <cstring>

namespace sayloom {
namespace {

// Changes the size of the display's first screen (its first output and CRTC) through a connection
// of its own; the size it found is put back at the end. A mode the server lacks is made, and lives
// as long as this connection.
class ScreenSize {
public:
  ScreenSize() : m_display(XOpenDisplay(nullptr)) {
    if (m_display == nullptr) {
      return;
    }
    m_root = DefaultRootWindow(m_display);
    m_resources = XRRGetScreenResources(m_display, m_root);
    XRRCrtcInfo* crtc = XRRGetCrtcInfo(m_display, m_resources, m_resources->crtcs[0]);
    m_original = {static_cast<int>(crtc->width), static_cast<int>(crtc->height), crtc->mode};
    XRRFreeCrtcInfo(crtc);
  }
  ~ScreenSize() {
    if (m_display != nullptr) {
      apply(m_original);
      XRRFreeScreenResources(m_resources);
      XCloseDisplay(m_display);
    }
  }
  ScreenSize(const ScreenSize&) = delete;
  ScreenSize& operator=(const ScreenSize&) = delete;

  bool usable() const { return m_display != nullptr; }

  void resize(int width, int height) { apply({width, height, modeOf(width, height)}); }

private:
  struct Size {
    int width;
    int height;
    RRMode mode;
  };

  RRMode modeOf(int width, int height) {
    for (int i = 0; i < m_resources->nmode; ++i) {
      if (static_cast<int>(m_resources->modes[i].width) == width &&
          static_cast<int>(m_resources->modes[i].height) == height) {
        return m_resources->modes[i].id;
      }
    }
    std::string name = std::to_string(width) + "x" + std::to_string(height);
    XRRModeInfo info;
    std::memset(&info, 0, sizeof info);
    info.width = static_cast<unsigned int>(width);
    info.height = static_cast<unsigned int>(height);
    info.hTotal = info.width;
    info.vTotal = info.height;
    info.dotClock = static_cast<unsigned long>(width) * static_cast<unsigned long>(height) * 60;
    info.name = name.data();
    info.nameLength = static_cast<unsigned int>(name.size());
    const RRMode mode = XRRCreateMode(m_display, m_root, &info);
    XRRAddOutputMode(m_display, m_resources->outputs[0], mode);
    return mode;
  }

  // The screen may never be smaller than the CRTC that shows it: shrink the CRTC first, grow the
  // screen first.
  void apply(const Size& size) {
    XRRCrtcInfo* crtc = XRRGetCrtcInfo(m_display, m_resources, m_resources->crtcs[0]);
    const bool shrinking =
        size.width < static_cast<int>(crtc->width) || size.height < static_cast<int>(crtc->height);
    XRRFreeCrtcInfo(crtc);
    RROutput output = m_resources->outputs[0];
    const auto setCrtc = [&] {
      XRRSetCrtcConfig(m_display, m_resources, m_resources->crtcs[0], CurrentTime, 0, 0, size.mode,
                       RR_Rotate_0, &output, 1);
    };
    const auto setScreen = [&] {
      XRRSetScreenSize(m_display, m_root, size.width, size.height, size.width / 4, size.height / 4);
    };
    if (shrinking) {
      setCrtc();
      setScreen();
    } else {
      setScreen();
      setCrtc();
    }
    XSync(m_display, False);
  }

  Display* m_display;
  Window m_root = 0;
  XRRScreenResources* m_resources = nullptr;
  Size m_original{};
};

TEST(OverlayScreensTest, AScreenGoingAwayMovesTheWindowOntoTheRemainingOneAndRecordsIt) {
  if (!test::onX11()) {
    GTEST_SKIP() << "needs the X display of the test services";
  }
  ScreenSize screenSize;
  ASSERT_TRUE(screenSize.usable());
  QScreen* screen = QGuiApplication::primaryScreen();
  ASSERT_EQ(screen->geometry(), QRect(0, 0, 1280, 1024));

  ui::OverlayCoordinator coordinator;
  std::vector<std::pair<QString, Rect>> reports;
  coordinator.setFrameHandler([&](const QString& id, const Rect& frame) { reports.emplace_back(id, frame); });
  OverlayPreset preset;
  preset.Id = "a";
  preset.IsEnabled = true;
  LayoutMap layouts;
  layouts["a"] = MacLayout{850, platform::toBottomLeft(QRectF(850, 750, 400, 200)).y, 400, 200, 1, "1"};
  coordinator.update({preset}, QStringLiteral("자막"), QString(), QStringLiteral("en"), layouts);
  ui::OverlayPanel& panel = *coordinator.panel(QStringLiteral("a"));
  ASSERT_TRUE(QTest::qWaitFor([&] { return test::mapState(panel.winId()) == "IsViewable"; }, 3000));
  ASSERT_EQ(panel.geometry(), QRect(850, 750, 400, 200));

  // The part of the desktop that held the window goes away.
  screenSize.resize(1024, 768);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen->geometry() == QRect(0, 0, 1024, 768); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 3000));
  QTest::qWait(300);  // the window manager's own reaction, if any
  const QRect expected{1024 - 400, 768 - 200, 400, 200};
  EXPECT_EQ(panel.geometry(), expected);
  EXPECT_EQ(reports.back().first, "a");
  EXPECT_EQ(reports.back().second, platform::toBottomLeft(QRectF(expected)));
  EXPECT_EQ(test::mapState(panel.winId()), "IsViewable");

  // Growing back moves nothing: the window is on the screen already.
  reports.clear();
  screenSize.resize(1280, 1024);
  ASSERT_TRUE(QTest::qWaitFor([&] { return screen->geometry() == QRect(0, 0, 1280, 1024); }, 5000));
  ASSERT_TRUE(QTest::qWaitFor([&] { return !reports.empty(); }, 3000));
  EXPECT_EQ(panel.geometry(), expected);
}

}  // namespace
}  // namespace sayloom
