// The recording session on a scripted capture source (no sound server): start and stop, capture
// errors, sleep, shutdown, the backlog bound, the note's recording lock, and the failure paths of
// every save on a real file system.
#include <gtest/gtest.h>

#include <QCoro/QCoroTask>
#include <algorithm>
#include <string>

#include "app/app_model_fixture.h"
#include "app/scripted_recording.h"
#include "core/recording_lock.h"

namespace sayloom::test {
namespace {

// Counts what the model asks of the sleep watcher.
class ScriptedSleepWatcher final : public platform::SleepWatcher {
public:
  void holdDelay() override { held = true; }
  void releaseDelay() override { held = false; }
  bool delayHeld() const override { return held; }
  void sleep() { emit prepareForSleep(); }
  bool held = false;
};

using RecordingSessionTest = ScriptedRecordingTest;

TEST_F(RecordingSessionTest, ARecordingWritesChunksRecognisesThemAndIsCompletedAtStop) {
  installModel();
  engineSays("hello");
  AppModel& model = makeScriptedModel();
  const QString id = start(model);
  EXPECT_EQ(model.library().notes().size(), 1u);
  EXPECT_EQ(model.library().selectedNoteID(), id);

  push(samplesPerChunk + 16'000);
  ASSERT_TRUE(eventually([&] { return !model.library().find(id)->segments.empty(); }, 20'000));
  QCoro::waitFor(model.stopRecording());
  EXPECT_FALSE(model.session().recording());
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_EQ(readFile(audioFolder(id.toStdString()) / "00000000.pcm").size(), 256'000u);
  EXPECT_EQ(readFile(audioFolder(id.toStdString()) / "00000001.pcm").size(), 32'000u);

  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 20'000));
  const NativeNote stored = storedCopy(id);
  EXPECT_TRUE(stored.completed);
  EXPECT_DOUBLE_EQ(stored.durationSeconds, 9.0);
  ASSERT_EQ(stored.segments.size(), 2u);
  EXPECT_EQ(stored.segments[0].text, "hello");
  EXPECT_EQ(stored.segments[1].startTimeMs, 8'000);
}

TEST_F(RecordingSessionTest, ACaptureErrorOrSleepStopsAndSavesTheRecordingWithItsWarning) {
  struct Case {
    const char* name;
    std::function<void(RecordingSessionTest&, ScriptedSleepWatcher&)> trigger;
    bool sleepText;
  };
  const std::vector<Case> cases = {
      {"stream stopped",
       [](RecordingSessionTest& t, ScriptedSleepWatcher&) {
         t.source.events(platform::SourceEvent::streamStopped);
       },
       false},
      {"sleep", [](RecordingSessionTest&, ScriptedSleepWatcher& watcher) { watcher.sleep(); }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto watcher = std::make_unique<ScriptedSleepWatcher>();
    ScriptedSleepWatcher* sleep = watcher.get();
    AppModel& model = makeScriptedModel(std::move(watcher));
    const QString id = start(model);
    EXPECT_TRUE(sleep->held);
    push(16'000);

    c.trigger(*this, *sleep);
    ASSERT_TRUE(
        eventually([&] { return !model.session().recording() && !model.appStatus().working(); }, 10'000));
    ASSERT_TRUE(model.appStatus().warning().has_value());
    EXPECT_EQ(model.appStatus().warning()->startsWith(QStringLiteral("컴퓨터가 잠자기에")), c.sleepText);
    EXPECT_FALSE(sleep->held);
    EXPECT_TRUE(source.stopped);
    const NativeNote stored = storedCopy(id);
    EXPECT_TRUE(stored.completed);
    EXPECT_DOUBLE_EQ(stored.durationSeconds, 1.0);
    shutdown();
    source = SourceScript{};
  }
}

TEST_F(RecordingSessionTest, ShutdownDuringARecordingStopsAndSavesIt) {
  AppModel& model = makeScriptedModel();
  const QString id = start(model);
  push(8'000);
  shutdown();
  const NativeNote stored = storedCopy(id);
  EXPECT_TRUE(stored.completed);
  EXPECT_DOUBLE_EQ(stored.durationSeconds, 0.5);
}

TEST_F(RecordingSessionTest, ChunksBeyondABacklogOfSixtyFourAreLeftOnDiskAndNamedInTheStatus) {
  installModel();
  engineRunsFirst("sleep 3");
  // A fast source: the 1:1 converter turns every pushed sample into one output sample, so a
  // high input rate only makes the ring large enough for many chunks per push.
  source.format = {400'000, 1};
  AppModel& model = makeScriptedModel();
  const QString id = start(model);
  const std::int64_t chunks = RecognitionQueue::backlogLimit + 3;
  for (std::int64_t pushed = 0; pushed < chunks * samplesPerChunk; pushed += 1'000'000) {
    source.push(std::vector<float>(1'000'000, 0.25f));
    ASSERT_TRUE(
        eventually([&] { return model.session().elapsed() * 16'000 >= pushed + 1'000'000 - 1; }, 10'000));
  }
  ASSERT_TRUE(eventually(
      [&] { return model.recognition().pending().size() == RecognitionQueue::backlogLimit; }, 10'000));
  EXPECT_EQ(
      model.appStatus().status(),
      QStringLiteral("인식이 밀리고 있습니다. 원본 저장은 계속되며 중지 후 대본 복구로 처리할 수 있습니다."));
  EXPECT_TRUE(model.session().recording());
  shutdown();
  EXPECT_TRUE(fs::exists(audioFolder(id.toStdString()) / "00000066.pcm"));
}

TEST_F(RecordingSessionTest, TheNoteStaysLockedUntilItsLastChunkIsRecognised) {
  installModel();
  engineSays("hello");
  ScopedEnv slowEngine("FAKE_WHISPER_SLEEP", "1.5");
  AppModel& model = makeScriptedModel();
  const QString id = start(model);
  const auto locked = [&] { return RecordingLock::isHeld(root(), id.toStdString()); };
  EXPECT_TRUE(locked());

  push(samplesPerChunk + 16'000);
  QCoro::waitFor(model.stopRecording());
  // The last chunk is still with the engine: the app goes on writing the note.
  EXPECT_TRUE(model.recognition().recognizing());
  EXPECT_TRUE(locked());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 30'000));
  EXPECT_FALSE(locked());
}

TEST_F(RecordingSessionTest, WithoutAModelTheLockGoesWithTheStop) {
  AppModel& model = makeScriptedModel();
  const QString id = start(model);
  EXPECT_TRUE(RecordingLock::isHeld(root(), id.toStdString()));
  EXPECT_THROW(RecordingLock::acquireRecorder(root()), NativeError);
  push(16'000);
  QCoro::waitFor(model.stopRecording());
  EXPECT_FALSE(RecordingLock::isHeld(root(), id.toStdString()));
  EXPECT_TRUE(RecordingLock::acquireRecorder(root()).held());
}

TEST_F(RecordingSessionTest, ARecordingOfAnotherProgramInTheDataFolderRefusesTheStart) {
  AppModel& model = makeScriptedModel();
  RecordingLock other = RecordingLock::acquireRecorder(root());
  QCoro::waitFor(model.startRecording());
  EXPECT_EQ(model.appStatus().warning(), QString::fromUtf8(messages::dataFolderRecording));
  EXPECT_FALSE(model.session().recording());
  EXPECT_TRUE(model.library().notes().empty());
  EXPECT_FALSE(fs::exists(root() / "Notes") && !fs::is_empty(root() / "Notes"));

  other.release();
  start(model);
  EXPECT_TRUE(model.session().recording());
}

TEST_F(RecordingSessionTest, AFailedFirstSaveLeavesNothingRunningAndNoNoteListed) {
  AppModel& model = makeScriptedModel();
  fs::remove_all(root() / "Notes");
  writeFile(root() / "Notes", "a file where the notes folder belongs");
  QCoro::waitFor(model.startRecording());
  EXPECT_TRUE(model.appStatus().warning().has_value());
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_FALSE(model.session().recording());
  EXPECT_TRUE(model.library().notes().empty());
  EXPECT_FALSE(source.handler);  // no capture was started
  for (const auto& lock : fs::directory_iterator(root() / "Locks")) {
    EXPECT_FALSE(RecordingLock::isHeld(root(), lock.path().stem().string()));  // given up again
  }
  EXPECT_TRUE(RecordingLock::acquireRecorder(root()).held());
}

// The save of a chunk's results fails when its target is a folder that cannot be replaced.
void blockWithFolder(const fs::path& file) {
  fs::remove(file);
  fs::create_directories(file / "occupied");
}

TEST_F(RecordingSessionTest, AFailedChunkWriteEndsTheWorkerAndEmptiesTheQueueWhileRecordingGoesOn) {
  struct Case {
    const char* name;
    const char* blocked;   // in the note folder, relative
    bool entriesInMemory;  // of the first chunk, whose write fails
  };
  const std::vector<Case> cases = {
      {"transcript file", "Audio/00000000.pcm.transcript.json", false},
      {"note save", "note.json", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    installModel();
    engineSays("hello");
    engineRunsFirst("sleep 0.5");
    AppModel& model = makeScriptedModel();
    const QString id = start(model);
    blockWithFolder(noteFolder(id.toStdString()) / c.blocked);

    push(3 * samplesPerChunk);
    ASSERT_TRUE(eventually([&] { return model.appStatus().warning().has_value(); }, 20'000));
    ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 20'000));
    EXPECT_TRUE(model.recognition().pending().empty());
    EXPECT_TRUE(model.session().recording());
    // Chunks that arrive after the failure start a new worker, so only the first chunk's entry is
    // known to be missing or present.
    const auto& segments = model.library().find(id)->segments;
    const bool firstChunkInMemory = std::any_of(segments.begin(), segments.end(),
                                                [](const TranscriptEntry& e) { return e.startTimeMs == 0; });
    EXPECT_EQ(firstChunkInMemory, c.entriesInMemory);
    EXPECT_TRUE(fs::exists(audioFolder(id.toStdString()) / "00000002.pcm"));
    shutdown();
    fs::remove_all(root() / "Notes");
  }
}

TEST_F(RecordingSessionTest, AFailedSaveAtStopWarnsAndStillStops) {
  AppModel& model = makeScriptedModel();
  const QString id = start(model);
  push(16'000);
  blockWithFolder(noteFolder(id.toStdString()) / "note.json");
  QCoro::waitFor(model.stopRecording());
  EXPECT_TRUE(model.appStatus().warning().has_value());
  EXPECT_FALSE(model.session().recording());
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_TRUE(model.library().find(id)->completed);
}

TEST_F(RecordingSessionTest, AudioIsNotExportedWhileRecording) {
  AppModel& model = makeScriptedModel();
  start(model);
  push(16'000);
  m_dialog->answers.push_back((m_dir / "out.wav").string().c_str());
  QCoro::waitFor(model.exportAudio());
  EXPECT_TRUE(m_dialog->asked.empty());
  EXPECT_FALSE(fs::exists(m_dir / "out.wav"));
}

}  // namespace
}  // namespace sayloom::test
