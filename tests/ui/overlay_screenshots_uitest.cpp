// Two styled overlay windows over a busy desktop, composited as on a real desktop (xcompmgr), for
// people to look at: written to artifacts/overlay under the build tree. The test checks that the
// captions are drawn and that their rounded corners let the desktop show through.
#include <gtest/gtest.h>

#include <QDir>
#include <QGuiApplication>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QTest>

#include "desktop_session.h"
#include "platform/screen_geometry.h"
#include "support/canvas.h"
#include "ui/captions/preview_backdrop.h"
#include "ui/overlays/overlay_coordinator.h"
#include "ui/overlays/overlay_panel.h"

namespace sayloom {
namespace {

// A desktop full of shapes and colours.
class BusyDesktop final : public QWidget {
protected:
  void paintEvent(QPaintEvent*) override {
    QPainter painter(this);
    ui::PreviewBackdrop::paint(painter, QRectF(rect()), ui::PreviewBackdrop::Kind::busy);
  }
};

TEST(OverlayScreenshotsTest, TwoStyledCaptionWindowsOverABusyDesktop) {
  if (!test::onX11()) {
    GTEST_SKIP() << "needs the X display of the test services";
  }
  QProcess compositor;
  compositor.start(QStringLiteral("xcompmgr"), {QStringLiteral("-n")});
  ASSERT_TRUE(compositor.waitForStarted());

  BusyDesktop desktop;
  desktop.setGeometry(0, 0, 1280, 1024);
  desktop.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&desktop));
  QTest::qWait(500);
  const QImage before = QGuiApplication::primaryScreen()->grabWindow(0).toImage();

  std::vector<OverlayPreset> presets = OverlayPreset::builtIns();
  LayoutMap layouts;
  const QRect frames[] = {{120, 160, 560, 240}, {560, 560, 620, 260}};
  for (std::size_t i = 0; i < presets.size(); ++i) {
    presets[i].IsEnabled = i == 1 || i == 2;
  }
  for (std::size_t i = 0; i < 2; ++i) {
    const Rect r = platform::toBottomLeft(QRectF(frames[i]));
    layouts[presets[i + 1].Id] = MacLayout{r.x, r.y, r.width, r.height, 1, "1"};
  }
  ui::OverlayCoordinator coordinator;
  coordinator.update(presets, QStringLiteral("좋은 아이디어는 대화에서 시작됩니다."),
                     QStringLiteral("Great ideas begin with a conversation."), QStringLiteral("en"), layouts);
  for (std::size_t i = 0; i < 2; ++i) {
    ui::OverlayPanel* panel = coordinator.panel(QString::fromStdString(presets[i + 1].Id));
    ASSERT_NE(panel, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return test::mapState(panel->winId()) == "IsViewable"; }, 3000));
    EXPECT_EQ(panel->geometry(), frames[i]);
  }
  QTest::qWait(800);
  const QImage after = QGuiApplication::primaryScreen()->grabWindow(0).toImage();
  const QString folder = test::artifactsDir() + QStringLiteral("/overlay");
  QDir().mkpath(folder);
  ASSERT_TRUE(after.save(folder + QStringLiteral("/two-captions.png")));
  for (std::size_t i = 0; i < 2; ++i) {
    after.copy(frames[i].adjusted(-30, -30, 30, 30))
        .save(folder + QStringLiteral("/%1.png").arg(QString::fromStdString(presets[i + 1].Id)));
  }

  for (const QRect& frame : frames) {
    // The caption covers its middle; the desktop shows through its rounded corner.
    const QPoint middle = frame.center();
    EXPECT_NE(after.pixel(middle), before.pixel(middle));
    const QPoint corner = frame.topLeft() + QPoint(1, 1);
    EXPECT_EQ(after.pixel(corner), before.pixel(corner));
  }
  compositor.terminate();
  compositor.waitForFinished(3000);
}

}  // namespace
}  // namespace sayloom
