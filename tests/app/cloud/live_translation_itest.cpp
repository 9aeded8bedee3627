// Live translation during a recording: the application model with the account restored from the
// keyring, the scripted engine and the emulators, recording the test PulseAudio's sine source or
// the scripted capture source. Segments reach the Firestore emulator while the recording runs,
// translations come back into the note and the caption, and when the database goes away
// mid-recording one warning is shown while recording and local saving go on. The final upload
// keeps the model busy until it ends; at quit, cloud work gets a bounded wait and what it could
// not finish is done at the next start; a local save that fails after a live sync stops only the
// translation, and its warning does not hide why.
#include <gtest/gtest.h>

#include "app/cloud/account_cloud_access.h"
#include "app/cloud/cloud_fixture.h"
#include "app/cloud/firestore_client.h"
#include "app/scripted_recording.h"
#include "core/cloud_notes_rules.h"
#include "fakes/precondition_proxy.h"
#include "platform/web_browser.h"
#include "support/storage_faults.h"

namespace sayloom::test {
namespace {

using namespace std::chrono_literals;

struct NoBrowser final : platform::WebBrowser {
  void open(const QUrl&) override {}
};

// Overlay windows that only remember what they were asked to show.
struct RecordedCaptions final : OverlayWindows {
  void update(const std::vector<OverlayPreset>&, const QString& original, const QString& translation,
              const QString&, const LayoutMap&) override {
    shown = {original, translation};
  }
  std::vector<ScreenInfo> screens() const override { return {}; }
  std::optional<std::size_t> mainScreen() const override { return std::nullopt; }
  bool registerShortcut(Qt::Key) override { return true; }
  std::pair<QString, QString> shown;
};

class LiveTranslationTest : public ScriptedRecordingTest {
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
    const auto pass = m_proxy->server.handler;
    m_proxy->server.handler = [this, pass](const HttpRequest& request) {
      if (stalling) {
        ++stalled;
        return HttpAnswer::with(HttpAnswer::Fault::stall);
      }
      return pass(request);
    };
    prepareStart();
  }
  void TearDown() override { m_store.remove(); }

  // The cloud part and overlay windows of the next model, as a program start makes them.
  void prepareStart() {
    CloudEndpoints endpoints = emulatorEndpoints();
    endpoints.firestore = m_proxy->endpoint();
    m_cloud = std::make_unique<AccountCloudAccess>(
        std::make_unique<FirebaseAccountLink>(std::make_unique<platform::LibsecretStore>(), endpoints),
        std::make_unique<NoBrowser>());
    auto captions = std::make_unique<RecordedCaptions>();
    m_captions = captions.get();
    m_overlays = std::move(captions);
  }

  // The cloud note's "status" in the emulator ("draft" or "completed").
  std::string cloudStatus(const std::string& noteID) {
    const std::string note = CloudNotes::notePath(workspace, CloudNotes::cloudNoteId(noteID));
    return CloudContract::string(runTask(FirestoreClient(*m_reader).get(note, uid)), "status");
  }

  // Starts a live-translated recording on the scripted source and records one chunk, whose entry
  // comes back translated.
  QString startTranslatedRecording(AppModel& model) {
    model.session().setLiveTranslation(true);
    const QString id = start(model);
    push(samplesPerChunk);
    EXPECT_TRUE(eventually([&] {
      const NativeNote* note = model.library().find(id);
      return note != nullptr && !note->segments.empty() && note->segments[0].translation == "[en] sine";
    }));
    return id;
  }

  // The note's segments in the emulator (read directly, not through the proxy).
  std::size_t cloudSegments(const std::string& noteID) {
    const std::string note = CloudNotes::notePath(workspace, CloudNotes::cloudNoteId(noteID));
    return runTask(FirestoreClient(*m_reader).documents(CloudNotes::segmentsPath(note), uid)).size();
  }

  platform::LibsecretStore m_store;
  std::unique_ptr<FirebaseSession> m_reader;
  std::unique_ptr<PreconditionProxy> m_proxy;
  bool stalling = false;  // the proxy keeps every request waiting, unanswered
  int stalled = 0;        // requests kept waiting so far
  RecordedCaptions* m_captions = nullptr;
  std::string uid;
  std::string workspace;
};

TEST_F(LiveTranslationTest, SegmentsAndTranslationsFlowWhileRecordingAndADeadDatabaseStopsOnlyTheCloud) {
  installModel();
  engineSays("sine");
  AppModel& model = makeModel();
  CloudAccess& cloud = model.cloud();
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

TEST_F(LiveTranslationTest, TheFinalUploadKeepsTheModelBusyUntilItEnds) {
  installModel();
  engineSays("sine");
  AppModel& model = makeScriptedModel();
  const QString id = startTranslatedRecording(model);
  model.library().setSelectedNoteID(id);

  // The final upload begins once the last chunk is recognised; the database keeps it waiting.
  QObject::connect(&model.recognition(), &RecognitionQueue::drained,
                   [&] { stalling = !model.session().recording(); });
  QCoro::waitFor(model.stopRecording());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing() && stalled > 0; }));

  EXPECT_TRUE(model.appStatus().working()) << "busy while the final upload runs";
  model.appStatus().setWarning(std::nullopt);
  QCoro::waitFor(model.cloud().syncSelected(false));
  EXPECT_FALSE(model.appStatus().warning()) << model.appStatus().warning()->toStdString();
  QCoro::waitFor(model.startRecording());
  EXPECT_FALSE(model.session().recording()) << "no new recording while the final upload runs";
}

TEST_F(LiveTranslationTest, QuitWaitsABoundedTimeForTheCloudAndTheNextStartFinishesTheUpload) {
  installModel();
  engineSays("sine");
  m_cloudShutdownWait = std::chrono::milliseconds(500);
  AppModel& model = makeScriptedModel();
  const QString id = startTranslatedRecording(model);

  // The database stops answering while the second chunk's live sync runs; then the user quits.
  stalling = true;
  push(samplesPerChunk);
  ASSERT_TRUE(eventually([&] { return stalled > 0; }));
  shutdown();

  NativeNote stored = storedCopy(id);
  EXPECT_TRUE(stored.completed);
  ASSERT_EQ(stored.segments.size(), 2u);
  EXPECT_EQ(stored.cloudSyncPending, std::optional<bool>(true)) << "the upload is owed";
  EXPECT_FALSE(stored.cloudTranslationStoppedAtSeconds) << "a cancelled sync is no failure";
  EXPECT_EQ(cloudStatus(id.toStdString()), "draft");

  // The next start uploads and translates what is missing and marks the note done.
  stalling = false;
  prepareStart();
  AppModel& next = makeScriptedModel();
  ASSERT_TRUE(eventually([&] {
    const NativeNote* note = next.library().find(id);
    return note != nullptr && !note->cloudSyncPending && !next.appStatus().working();
  }));
  EXPECT_FALSE(next.appStatus().warning()) << next.appStatus().warning()->toStdString();
  stored = storedCopy(id);
  EXPECT_FALSE(stored.cloudSyncPending);
  EXPECT_EQ(stored.segments[1].translation, "[en] sine");
  EXPECT_EQ(cloudStatus(id.toStdString()), "completed");
  EXPECT_EQ(cloudSegments(id.toStdString()), 2u);
}

TEST_F(LiveTranslationTest, ALocalSaveFailureAfterALiveSyncStopsOnlyTheTranslationAndItsWarningStays) {
  installModel();
  engineSays("sine");
  // The engine waits until all three chunks are written, so that no audio is written while the
  // writes below fail; the second and third chunk then wait in the queue during the first's sync.
  const fs::path gate = m_dir / "chunks-written";
  engineRunsFirst("while [ ! -e '" + gate.string() + "' ]; do sleep 0.05; done");
  AppModel& model = makeScriptedModel();
  model.session().setLiveTranslation(true);
  const QString id = start(model);

  // Every file write fails from the moment the first live sync's result is put into the note
  // until its failure has been reported twice (the sync's save, then the save of the stop second).
  std::optional<FileSizeLimit> noWrites;
  bool injected = false;
  int warnings = 0;
  QObject::connect(&model.library(), &NoteLibrary::noteChanged, [&] {
    const NativeNote* note = model.library().find(id);
    if (!injected && note != nullptr && !note->segments.empty() && !note->segments[0].translation.empty()) {
      injected = true;
      noWrites.emplace(1);
    }
  });
  QObject::connect(&model.appStatus(), &AppStatus::warningChanged, [&] {
    if (noWrites && ++warnings == 2) {
      noWrites.reset();
    }
  });

  push(3 * samplesPerChunk);
  writeFile(gate, "");
  ASSERT_TRUE(eventually([&] { return model.library().find(id)->segments.size() >= 3; }, 120'000))
      << model.appStatus().warning().value_or(QString()).toStdString();
  EXPECT_TRUE(injected);
  EXPECT_TRUE(model.session().recording());
  const NativeNote& note = *model.library().find(id);
  EXPECT_TRUE(note.cloudTranslationStoppedAtSeconds);
  EXPECT_TRUE(note.segments[2].translation.empty()) << "no live sync after the stop";

  const QString warning = model.appStatus().warning().value_or(QString());
  const QStringList lines = warning.split(QLatin1Char('\n'));
  EXPECT_TRUE(
      lines.front().startsWith(QStringLiteral("클라우드 번역을 중지했습니다. 로컬 녹음은 계속됩니다. ")))
      << warning.toStdString();
  EXPECT_TRUE(warning.contains(QString::fromUtf8(std::strerror(EFBIG)))) << warning.toStdString();

  QCoro::waitFor(model.stopRecording());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing() && !model.appStatus().working(); }));
  EXPECT_EQ(storedCopy(id).segments.size(), 3u);
}

}  // namespace
}  // namespace sayloom::test
