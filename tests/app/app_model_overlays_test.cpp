// The application model driving the overlay windows: the global shortcut from the setting and
// its refusal, the toggle, edit mode and recovery from the menu, and the frames the windows report.
#include "app/cloud/account_cloud_access.h"
#include "app/cloud/account_link.h"
#include "app/overlays/overlays.h"
#include "app_model_fixture.h"
#include "platform/secret_store.h"
#include "platform/web_browser.h"
#include "recording_overlays.h"

namespace sayloom::test {
namespace {

const QString refusedWarning = QStringLiteral(
    "오버레이 단축키를 등록하지 못했습니다. 설정에서 다른 키를 선택하거나 메뉴 막대를 사용해 주세요.");

// A keyring that cannot be read, as when the Secret Service answers with an error.
class UnreadableKeyring final : public platform::SecretStore {
public:
  std::optional<std::string> read() override {
    throw platform::SecretStoreError(platform::SecretStoreError::Operation::read, 7, "the keyring is locked");
  }
  void write(const std::string&) override {}
  void remove() override {}
};

class NoBrowser final : public platform::WebBrowser {
public:
  void open(const QUrl&) override {}
};

class OverlayWiringTest : public AppModelTest {
protected:
  AppModel& makeOverlayModel(int storedShortcut, bool refuse = false,
                             std::unique_ptr<CloudAccess> cloud = nullptr) {
    AppServices services;
    auto settings = std::make_unique<platform::MemorySettingsStore>();
    if (storedShortcut >= 0) {
      settings->setOverlayShortcut(storedShortcut);
    }
    auto overlays = std::make_unique<RecordingOverlays>();
    overlays->refuseShortcuts = refuse;
    m_overlays = overlays.get();
    services.settings = std::move(settings);
    services.overlays = std::move(overlays);
    services.cloud = std::move(cloud);
    m_model = std::make_unique<AppModel>(std::move(services));
    QCoro::waitFor(m_model->waitUntilLoaded());
    return *m_model;
  }

  RecordingOverlays* m_overlays = nullptr;
};

TEST_F(OverlayWiringTest, AFailedAccountRestoreLeavesTheCaptionWindowsAndTheirShortcutWorking) {
  auto cloud = std::make_unique<AccountCloudAccess>(
      std::make_unique<FirebaseAccountLink>(std::make_unique<UnreadableKeyring>()),
      std::make_unique<NoBrowser>());
  NativeNote note;
  note.segments.push_back(TranscriptEntry{.text = "마지막 자막", .endTimeMs = 1000});
  LocalNoteStore(root()).save(note);
  AppModel& model = makeOverlayModel(0, false, std::move(cloud));
  ASSERT_TRUE(model.appStatus().warning()) << "the restore failed";
  EXPECT_FALSE(model.cloud().profile());

  EXPECT_GE(m_overlays->updates, 1) << "the windows were shown at start";
  EXPECT_EQ(m_overlays->shownOriginal, QStringLiteral("마지막 자막"));
  EXPECT_EQ(m_overlays->registered, std::vector<Qt::Key>{Qt::Key_S});
  const int before = m_overlays->updates;
  model.refreshOverlays();
  EXPECT_EQ(m_overlays->updates, before + 1);
  ASSERT_TRUE(m_overlays->toggleHandler);
  m_overlays->toggleHandler();
  EXPECT_TRUE(m_overlays->hiddenAtUpdate);
}

TEST_F(OverlayWiringTest, TheShortcutFollowsTheSetting) {
  struct Case {
    int stored;  // -1: never set
    Qt::Key atStart;
  } const cases[] = {{-1, Qt::Key_S}, {0, Qt::Key_S}, {1, Qt::Key_O}, {7, Qt::Key_O}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    AppModel& model = makeOverlayModel(c.stored);
    EXPECT_EQ(m_overlays->registered, std::vector<Qt::Key>{c.atStart});
    EXPECT_FALSE(model.appStatus().warning());
    shutdown();
  }

  AppModel& model = makeOverlayModel(0);
  model.settings().setShortcut(1);
  model.settings().setShortcut(0);
  EXPECT_EQ(m_overlays->registered, (std::vector<Qt::Key>{Qt::Key_S, Qt::Key_O, Qt::Key_S}));
  EXPECT_FALSE(model.appStatus().warning());
}

TEST_F(OverlayWiringTest, ARefusedShortcutWarnsAtStartAndOnChange) {
  AppModel& model = makeOverlayModel(0, true);
  EXPECT_EQ(model.appStatus().warning(), refusedWarning);
  model.appStatus().setWarning(std::nullopt);
  model.settings().setShortcut(1);
  EXPECT_EQ(model.appStatus().warning(), refusedWarning);
  EXPECT_EQ(model.settings().shortcut(), 1) << "the choice is kept even when refused";
}

TEST_F(OverlayWiringTest, ThePressTogglesHiddenAndTheWindowsFollow) {
  AppModel& model = makeOverlayModel(0);
  ASSERT_TRUE(m_overlays->toggleHandler);
  const int before = m_overlays->updates;
  m_overlays->toggleHandler();
  EXPECT_TRUE(model.overlays().hidden());
  EXPECT_TRUE(m_overlays->hidden);
  EXPECT_EQ(m_overlays->updates, before + 1);
  EXPECT_TRUE(m_overlays->hiddenAtUpdate) << "the windows know before they are refreshed";
  m_overlays->toggleHandler();
  EXPECT_FALSE(model.overlays().hidden());
  EXPECT_FALSE(m_overlays->hiddenAtUpdate);
}

TEST_F(OverlayWiringTest, MenuEditModeAndRecoveryReachTheWindows) {
  AppModel& model = makeOverlayModel(0);
  model.overlays().setEditing(true);
  EXPECT_TRUE(m_overlays->manualEdit);
  model.overlays().setEditing(false);
  EXPECT_FALSE(m_overlays->manualEdit);
  model.overlays().recoverAll();
  EXPECT_EQ(m_overlays->recoveries, 1);
}

TEST_F(OverlayWiringTest, ReportedFramesAreRecordedSavedAndPlaceTheWindowsAtTheNextStart) {
  AppModel& model = makeOverlayModel(0);
  model.presetEditor().setSaveDelay(std::chrono::milliseconds(1));
  ASSERT_TRUE(m_overlays->frameHandler);
  m_overlays->frameHandler(QStringLiteral("builtin-widget"), Rect{300, 120, 200, 80});
  EXPECT_EQ(model.presetEditor().layouts().at("builtin-widget"), (MacLayout{300, 120, 200, 80, 2, "1"}));
  ASSERT_TRUE(eventually([&] { return !model.presetEditor().savePending(); }));
  const LayoutMap stored = LayoutFile::read(root());
  ASSERT_EQ(stored.count("builtin-widget"), 1u);
  EXPECT_EQ(stored.at("builtin-widget").width, 200);
  shutdown();

  // The windows are first made once the frames are loaded, never from an empty layout map.
  makeOverlayModel(0);
  EXPECT_EQ(m_overlays->firstLayouts, stored);
}

}  // namespace
}  // namespace sayloom::test
