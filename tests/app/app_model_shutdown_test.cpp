// Shutdown against work still in flight: a start-up held at each of its waits, exports being
// written and a recovery about to start the engine. Nothing may be lost or outlive shutdown.
#include <gtest/gtest.h>

#include <QCoro/QCoroTimer>
#include <chrono>

#include "app/app_model_fixture.h"
#include "core/mac_layout.h"
#include "core/preset_store.h"

namespace sayloom::test {
namespace {

using namespace std::chrono_literals;

class ShutdownTest : public AppModelTest {};

TEST_F(ShutdownTest, QuittingDuringStartUpLeavesThePresetAndLayoutFilesAsTheyWere) {
  std::vector<OverlayPreset> presets = OverlayPreset::builtIns();
  presets.front().Name = "내 위젯";
  presets.front().IsEnabled = !presets.front().IsEnabled;
  PresetStore(root()).save(presets);
  LayoutMap layouts;
  layouts[presets.front().Id] = MacLayout{};
  LayoutFile::write(layouts, root());
  const fs::path presetFile = root() / "overlay-presets.json";
  const fs::path layoutFile = root() / "layout-macos.json";
  const std::string presetBytes = readFile(presetFile);
  const std::string layoutBytes = readFile(layoutFile);

  for (const char* step : {"presets", "layouts", "notes", "model", "account", "migration"}) {
    SCOPED_TRACE(step);
    bool held = false;
    bool released = false;
    AppServices services;
    services.settings = std::make_unique<platform::MemorySettingsStore>();
    auto probe = [&, step](const QString& name) -> QCoro::Task<void> {
      if (name == QString::fromUtf8(step)) {
        held = true;
        while (!released) {
          co_await QCoro::sleepFor(5ms);
        }
      }
    };
    AppModel model(std::move(services), nullptr, probe);
    ASSERT_TRUE(eventually([&] { return held; }, 10'000));
    QCoro::Task<void> quitting = model.shutdown();
    QTest::qWait(50);  // shutdown is now waiting for the start-up
    released = true;
    QCoro::waitFor(std::move(quitting));
    EXPECT_EQ(readFile(presetFile), presetBytes);
    EXPECT_EQ(readFile(layoutFile), layoutBytes);
  }
}

TEST_F(ShutdownTest, WaitsForEveryExportInFlightAndLeavesNoTemporaryFile) {
  const NativeNote note = storedNote({256'000, 256'000, 256'000, 256'000});
  AppModel& model = makeModel();
  model.library().setSelectedNoteID(QString::fromStdString(note.id));
  m_dialog->answers = {QString::fromStdString((m_dir / "a.wav").string()),
                       QString::fromStdString((m_dir / "b.wav").string())};
  QCoro::Task<void> first = model.exportAudio();
  QCoro::Task<void> second = model.exportAudio();
  EXPECT_TRUE(model.appStatus().working());
  QCoro::waitFor(std::move(first));
  EXPECT_TRUE(model.appStatus().working() || fs::exists(m_dir / "b.wav"));
  shutdown();
  EXPECT_EQ(fs::file_size(m_dir / "a.wav"), 44u + 4 * 256'000);
  EXPECT_EQ(fs::file_size(m_dir / "b.wav"), 44u + 4 * 256'000);
  for (const auto& entry : fs::directory_iterator(m_dir.path())) {
    EXPECT_NE(entry.path().extension(), ".tmp") << entry.path();
  }
}

TEST_F(ShutdownTest, ARecoveryInProgressNeverStartsTheEngineAfterShutdown) {
  installModel();
  const NativeNote note = storedNote({256'000, 256'000});
  AppModel& model = makeModel();
  model.library().setSelectedNoteID(QString::fromStdString(note.id));
  QCoro::Task<void> recovering = model.recoverSelected();
  shutdown();
  QTest::qWait(300);
  EXPECT_EQ(engineRuns(), 0);
}

}  // namespace
}  // namespace sayloom::test
