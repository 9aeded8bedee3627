// Live translation during a real recording: the application model with the account restored from
// the keyring, the test PulseAudio's sine source, the scripted engine and the emulators. Segments
// reach the Firestore emulator while the recording runs, translations come back into the note and
// the caption, and when the database goes away mid-recording one warning is shown while recording
// and local saving go on.
#include <gtest/gtest.h>

#include "app/app_model_fixture.h"
#include "app/cloud/account_cloud_sync.h"
#include "app/cloud/firestore_client.h"
#include "cloud/cloud_fixture.h"
#include "core/cloud_notes_rules.h"
#include "fakes/precondition_proxy.h"
#include "platform/web_browser.h"

namespace sayloom::test {
namespace {

using namespace std::chrono_literals;

struct NoBrowser final : platform::WebBrowser {
  void open(const QUrl&) override {}
};

// Caption windows that only remember what they were asked to show.
struct RecordedCaptions final : OverlayWindows {
  void update(const std::vector<OverlayPreset>&, const QString& original, const QString& translation,
              const QString&, const LayoutMap&) override {
    shown = {original, translation};
  }
  std::vector<ScreenInfo> screens() const override { return {}; }
  std::optional<std::size_t> mainScreen() const override { return std::nullopt; }
  std::pair<QString, QString> shown;
};

class LiveTranslationTest : public AppModelTest {
protected:
  void SetUp() override {
    m_store.remove();
    FirebaseSession::Options options;
    options.pairingPoll = 10ms;
    m_reader = std::make_unique<FirebaseSession>(m_store, emulatorEndpoints(), options);
    uid = uniqueUid("live");
    pair(*m_reader, uid);  // the credential the model restores at start
    workspace = uniqueUid("live-ws");
    Emulators().addMembership(uid, workspace);
    Emulators::setCredits(workspace, {{"paidRemaining", 36'000}});

    m_proxy = std::make_unique<PreconditionProxy>(qEnvironmentVariable("FIRESTORE_EMULATOR_HOST"));
    CloudEndpoints endpoints = emulatorEndpoints();
    endpoints.firestore = m_proxy->endpoint();
    m_cloud = std::make_unique<AccountCloudSync>(
        std::make_unique<FirebaseAccount>(std::make_unique<platform::LibsecretStore>(), endpoints),
        std::make_unique<NoBrowser>());
    auto captions = std::make_unique<RecordedCaptions>();
    m_captions = captions.get();
    m_overlays = std::move(captions);
  }
  void TearDown() override { m_store.remove(); }

  // The note's segments in the emulator (read directly, not through the proxy).
  std::size_t cloudSegments(const std::string& noteID) {
    const std::string note = CloudNotes::notePath(workspace, CloudNotes::cloudNoteId(noteID));
    return runTask(FirestoreClient(*m_reader).documents(CloudNotes::segmentsPath(note), uid)).size();
  }

  platform::LibsecretStore m_store;
  std::unique_ptr<FirebaseSession> m_reader;
  std::unique_ptr<PreconditionProxy> m_proxy;
  RecordedCaptions* m_captions = nullptr;
  std::string uid;
  std::string workspace;
};

TEST_F(LiveTranslationTest, SegmentsAndTranslationsFlowWhileRecordingAndADeadDatabaseStopsOnlyTheCloud) {
  installModel();
  engineSays("sine");
  AppModel& model = makeModel();
  CloudSync& cloud = model.cloud();
  ASSERT_TRUE(cloud.profile()) << model.appStatus().warning().value_or(QString()).toStdString();
  EXPECT_EQ(cloud.profile()->userId, uid);
  EXPECT_EQ(cloud.workspaceID().toStdString(), workspace);

  std::vector<QString> warningsWhileRecording;
  QObject::connect(&model.appStatus(), &AppStatus::warningChanged, [&] {
    if (model.session().recording() && model.appStatus().warning()) {
      warningsWhileRecording.push_back(*model.appStatus().warning());
    }
  });

  model.session().setLiveTranslation(true);
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording()) << model.appStatus().warning().value_or(QString()).toStdString();
  const QString id = *model.session().activeNoteID();
  const auto note = [&] { return *model.library().find(id); };
  EXPECT_EQ(note().workspaceId, workspace);
  EXPECT_EQ(note().cloudOwnerId, uid);

  ASSERT_TRUE(eventually([&] { return !note().segments.empty() && !note().segments[0].translation.empty(); },
                         120'000));
  EXPECT_TRUE(model.session().recording());
  EXPECT_EQ(note().segments[0].translation, "[en] sine");
  EXPECT_GE(cloudSegments(id.toStdString()), 1u) << "uploaded while recording";
  EXPECT_EQ(note().cloudNoteId, CloudNotes::cloudNoteId(id.toStdString()));
  ASSERT_TRUE(eventually([&] { return m_captions->shown.second == QStringLiteral("[en] sine"); }, 10'000));

  // The database goes away: the next chunk's sync fails once, and the recording goes on.
  const std::size_t before = note().segments.size();
  m_proxy.reset();
  ASSERT_TRUE(eventually([&] { return note().segments.size() >= before + 2; }, 120'000));
  EXPECT_TRUE(model.session().recording());
  ASSERT_EQ(warningsWhileRecording.size(), 1u);
  EXPECT_TRUE(warningsWhileRecording[0].startsWith(
      QStringLiteral("클라우드 번역을 중지했습니다. 로컬 녹음은 계속됩니다. ")))
      << warningsWhileRecording[0].toStdString();
  ASSERT_TRUE(note().cloudTranslationStoppedAtSeconds);
  EXPECT_TRUE(note().segments.back().translation.empty()) << "no live sync after the stop";

  QCoro::waitFor(model.stopRecording());
  ASSERT_TRUE(eventually(
      [&] { return !model.recognition().recognizing() && model.recognition().pending().empty(); }, 120'000));
  const NativeNote stored = *runTask(model.library().stored(id));
  EXPECT_TRUE(stored.completed);
  EXPECT_EQ(stored.segments.size(), note().segments.size());
  EXPECT_EQ(stored.segments[0].translation, "[en] sine");
  EXPECT_EQ(stored.cloudTranslationStoppedAtSeconds, note().cloudTranslationStoppedAtSeconds);
  EXPECT_GE(stored.durationSeconds, 24.0);
}

}  // namespace
}  // namespace sayloom::test
