// The application model with the real overlay windows on the test display: a dragged window's
// frame reaches layout-macos.json and the window opens there at the next start; the global
// shortcut hides and shows the windows, and a key another program holds gives the warning.
#include <gtest/gtest.h>

#include <QCoro/QCoroTask>
#include <QTest>

#include "app/app_model.h"
#include "app/app_status.h"
#include "app/overlays/overlays.h"
#include "app/presets/preset_editor.h"
#include "app/settings/user_settings.h"
#include "desktop_session.h"
#include "platform/screen_geometry.h"
#include "support/temp_dir.h"
#include "ui/overlays/overlay_coordinator.h"
#include "ui/overlays/overlay_panel.h"
#include "ui/overlays/x11_hot_key.h"

namespace sayloom {
namespace {

using test::mapState;
using test::moveMouse;

const QString widget = QStringLiteral("builtin-widget");

class OverlayModelTest : public testing::Test {
protected:
  void SetUp() override {
    if (!test::onX11()) {
      GTEST_SKIP() << "needs the X display of the test services";
    }
  }

  void TearDown() override { stop(); }

  // Starts the model with the real overlay windows and waits for its start-up.
  AppModel& start() {
    AppServices services;
    auto coordinator = std::make_unique<ui::OverlayCoordinator>();
    m_coordinator = coordinator.get();
    services.overlays = std::move(coordinator);
    services.settings = std::make_unique<platform::MemorySettingsStore>();
    m_model = std::make_unique<AppModel>(std::move(services));
    QCoro::waitFor(m_model->waitUntilLoaded());
    return *m_model;
  }

  void stop() {
    if (m_model) {
      QCoro::waitFor(m_model->shutdown());
      m_model.reset();
      m_coordinator = nullptr;
    }
  }

  ui::OverlayPanel& shownWidget() {
    ui::OverlayPanel* panel = m_coordinator->panel(widget);
    EXPECT_NE(panel, nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(panel->winId()) == "IsViewable"; }, 3000));
    return *panel;
  }

  test::TempDir m_dir;
  test::ScopedEnv m_data{"SAYLOOM_DATA_DIR", (m_dir / "data").c_str()};
  std::unique_ptr<AppModel> m_model;
  ui::OverlayCoordinator* m_coordinator = nullptr;
};

TEST_F(OverlayModelTest, ADraggedWindowIsRecordedAndOpensThereAtTheNextStart) {
  AppModel& model = start();
  model.presetEditor().binding(&OverlayPreset::IsEnabled).set(true);
  ui::OverlayPanel& panel = shownWidget();
  const QRect before = panel.geometry();

  model.overlays().setEditing(true);
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel.editing(); }, 2000));
  moveMouse(before.center());
  {
    test::HeldButton button;
    moveMouse(before.center() + QPoint(-150, -200));
  }
  const QRect moved = before.translated(-150, -200);
  ASSERT_TRUE(QTest::qWaitFor([&] { return panel.geometry() == moved; }, 2000));
  const Rect frame = platform::toBottomLeft(QRectF(moved));
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        const LayoutMap stored = LayoutFile::read(m_dir / "data");
        const auto it = stored.find(widget.toStdString());
        return it != stored.end() &&
               Rect{it->second.x, it->second.y, it->second.width, it->second.height} == frame;
      },
      3000));
  model.overlays().setEditing(false);
  stop();

  start();
  EXPECT_EQ(shownWidget().geometry(), moved);
}

TEST_F(OverlayModelTest, TheShortcutHidesAndShowsAndAHeldKeyGivesTheWarning) {
  // Another program holds Super+Shift+S before the app starts.
  ui::X11HotKey other(qgetenv("DISPLAY"));
  ASSERT_TRUE(other.registerKey(Qt::Key_S));
  AppModel& model = start();
  EXPECT_EQ(model.appStatus().warning(),
            QStringLiteral("오버레이 단축키를 등록하지 못했습니다. 설정에서 다른 키를 선택하거나 메뉴 막대를 "
                           "사용해 주세요."));
  model.appStatus().setWarning(std::nullopt);

  // The other key works.
  model.settings().setShortcut(1);
  EXPECT_FALSE(model.appStatus().warning());
  model.presetEditor().binding(&OverlayPreset::IsEnabled).set(true);
  ui::OverlayPanel& panel = shownWidget();
  test::xdotool({QStringLiteral("key"), QStringLiteral("super+shift+o")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return model.overlays().hidden(); }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(panel.winId()) == "IsUnMapped"; }, 3000));
  test::xdotool({QStringLiteral("key"), QStringLiteral("super+shift+o")});
  EXPECT_TRUE(QTest::qWaitFor([&] { return !model.overlays().hidden(); }, 2000));
  EXPECT_TRUE(QTest::qWaitFor([&] { return mapState(panel.winId()) == "IsViewable"; }, 3000));
}

}  // namespace
}  // namespace sayloom
