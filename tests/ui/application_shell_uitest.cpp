// The application shell: the studio it opens, the settings window, and quitting during a
// recording, which ends the process only after the recording was stopped and saved.
#include "support/studio_fixture.h"
#include "ui/settings/settings_window.h"
#include "ui/shell/application_shell.h"
#include "ui/tray/tray_menu.h"

namespace sayloom::test {
namespace {

class ApplicationShellTest : public StudioTest {
protected:
  ui::ApplicationShell& makeShell() {
    AppServices services;
    auto dialog = std::make_unique<ScriptedSaveDialog>();
    m_dialog = dialog.get();
    services.saveDialog = std::move(dialog);
    services.settings = std::make_unique<platform::MemorySettingsStore>();
    services.makeCapture = [this] { return scriptedCapture(m_source, m_converter); };
    m_shell = std::make_unique<ui::ApplicationShell>(
        std::move(services), [this] { ++m_finished; }, [this] { ++m_aborted; });
    QCoro::waitFor(m_shell->model().waitUntilLoaded());
    return *m_shell;
  }
  ~ApplicationShellTest() override {
    if (m_shell && !m_shell->handshake().started()) {
      QCoro::waitFor(m_shell->model().shutdown());
    }
    // A shutdown a test started is let finish before the model goes.
    eventually([this] { return m_shell == nullptr || !m_shell->handshake().started() || m_finished > 0; });
    m_shell.reset();
  }

  std::unique_ptr<ui::ApplicationShell> m_shell;
  int m_finished = 0;
  int m_aborted = 0;
};

TEST_F(ApplicationShellTest, OpensTheStudioAndTheSettingsWindowOnce) {
  ui::ApplicationShell& shell = makeShell();
  shell.openStudio();
  EXPECT_TRUE(shell.studio().isVisible());
  EXPECT_EQ(shell.settings(), nullptr);
  shell.openSettings();
  ui::SettingsWindow* settings = shell.settings();
  ASSERT_NE(settings, nullptr);
  EXPECT_TRUE(settings->isVisible());
  shell.openSettings();
  EXPECT_EQ(shell.settings(), settings);
}

TEST_F(ApplicationShellTest, QuittingDuringARecordingWaitsUntilItIsSaved) {
  ui::ApplicationShell& shell = makeShell();
  shell.openStudio();
  QCoro::waitFor(shell.model().startRecording());
  ASSERT_TRUE(shell.model().session().recording());
  m_source.push(std::vector<float>(16'000, 0.3F));

  shell.requestQuit();
  EXPECT_TRUE(shell.handshake().started());
  ASSERT_TRUE(eventually([&] { return m_finished == 1; }));
  EXPECT_EQ(m_aborted, 0);
  EXPECT_FALSE(shell.model().session().recording());
  const std::vector<NativeNote> stored = LocalNoteStore(root()).list().notes;
  ASSERT_EQ(stored.size(), 1U);
  EXPECT_TRUE(stored.front().completed) << "the note was stopped and saved before the end";
  EXPECT_GT(stored.front().durationSeconds, 0.9);
}

TEST_F(ApplicationShellTest, ClosingTheStudioWithoutATrayIsAQuitRequestAndTwoEndAtOnce) {
  ui::ApplicationShell& shell = makeShell();
  shell.openStudio();
  ASSERT_FALSE(shell.tray().inTray());
  QCoro::waitFor(shell.model().startRecording());
  shell.studio().close();
  EXPECT_TRUE(shell.handshake().started());
  shell.requestQuit();
  EXPECT_EQ(m_aborted, 1);
}

}  // namespace
}  // namespace sayloom::test
