// Recording sessions of the application model on the real Qt loop with the real capture reading
// the test PulseAudio's sine source ("mic") and the scripted engine: chunks recognised in order
// with a save after each, the statuses along the way, recording without a model, shutdown and
// sleep during a recording, and a recording process killed mid-chunk.
//
// The sine source delivers audio in 2-second bursts, so nothing here depends on when a chunk
// arrives: the tests wait for recorded seconds or files, with generous limits.
#include <QProcess>
#include <csignal>

#include "app/app_model_fixture.h"
#include "platform/logind_sleep_watcher.h"
#include "support/logind_standin.h"

namespace sayloom::test {
namespace {

const QString recordingStatus = QStringLiteral("기기에서 녹음·인식 중");
const QString recordingWithoutModelStatus =
    QStringLiteral("원본 오디오 녹음 중 · 모델을 준비한 뒤 대본 복구 가능");
const QString stoppedWhileRecognizingStatus = QStringLiteral("녹음 저장 완료 · 남은 대본 처리 중");
const QString stoppedStatus = QStringLiteral("녹음을 기기에 저장했습니다");
const QString doneStatus =
    QStringLiteral("기기에 저장했습니다. 회의록을 확인하거나 클라우드에 연결할 수 있습니다.");

std::vector<std::string> ids(const std::vector<TranscriptEntry>& entries) {
  std::vector<std::string> out;
  for (const TranscriptEntry& entry : entries) {
    out.push_back(entry.id);
  }
  return out;
}

std::vector<std::uintmax_t> chunkSizes(const fs::path& folder) {
  std::vector<std::pair<std::string, std::uintmax_t>> chunks;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == ".pcm") {
      chunks.emplace_back(entry.path().filename().string(), entry.file_size());
    }
  }
  std::sort(chunks.begin(), chunks.end());
  std::vector<std::uintmax_t> sizes;
  for (const auto& chunk : chunks) {
    sizes.push_back(chunk.second);
  }
  return sizes;
}

class RecordingTest : public AppModelTest {
protected:
  NativeNote storedNote(const std::string& id) {
    for (const NativeNote& note : LocalNoteStore(root()).list().notes) {
      if (note.id == id) {
        return note;
      }
    }
    ADD_FAILURE() << "note " << id << " is not stored";
    return {};
  }
};

TEST_F(RecordingTest, TwentySecondsGiveThreeChunksRecognisedInOrderWithASaveAfterEach) {
  installModel();
  engineSays("sine");
  AppModel& model = makeModel();
  model.session().setTitle(QStringLiteral("스무 초"));

  std::vector<QString> statuses;
  QObject::connect(&model.appStatus(), &AppStatus::statusChanged,
                   [&] { statuses.push_back(model.appStatus().status()); });
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording()) << model.appStatus().warning().value_or(QString()).toStdString();
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_EQ(model.appStatus().status(), recordingStatus);
  const std::string id = model.session().activeNoteID()->toStdString();
  EXPECT_EQ(model.library().selectedNoteID(), QString::fromStdString(id));
  EXPECT_EQ(model.library().notes().front().title, "스무 초");
  EXPECT_TRUE(fs::exists(noteFolder(id) / "note.json"));

  // Each engine run records how many entries the saved note holds when it starts.
  std::vector<std::vector<std::string>> seen;
  QObject::connect(&model.library(), &NoteLibrary::noteChanged, [&] {
    const std::vector<std::string> now = ids(model.library().notes().front().segments);
    if (!now.empty() && (seen.empty() || seen.back() != now)) {
      seen.push_back(now);
    }
  });

  ASSERT_TRUE(eventually([&] { return model.session().elapsed() >= 20.0; }, 120'000));
  EXPECT_GT(model.session().level(), 0.1F);
  QCoro::waitFor(model.stopRecording());
  EXPECT_FALSE(model.session().recording());
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_FALSE(model.session().activeNoteID());
  EXPECT_EQ(model.session().level(), 0.0F);
  EXPECT_TRUE(model.appStatus().status() == stoppedWhileRecognizingStatus ||
              model.appStatus().status() == stoppedStatus)
      << model.appStatus().status().toStdString();

  ASSERT_TRUE(eventually(
      [&] { return !model.recognition().recognizing() && model.recognition().pending().empty(); }, 120'000));
  EXPECT_EQ(model.appStatus().status(), doneStatus);
  EXPECT_EQ(statuses.front(), recordingStatus);
  EXPECT_EQ(statuses.back(), doneStatus);
  EXPECT_FALSE(model.appStatus().warning());

  const std::vector<std::uintmax_t> sizes = chunkSizes(audioFolder(id));
  ASSERT_EQ(sizes.size(), 3U);
  EXPECT_EQ(sizes[0], 256'000U);
  EXPECT_EQ(sizes[1], 256'000U);
  EXPECT_GE(sizes[2], 128'000U);
  EXPECT_LT(sizes[2], 256'000U);

  EXPECT_EQ(engineRuns(), 3);
  const std::vector<std::vector<std::string>> expected = {{"0-0"}, {"0-0", "1-0"}, {"0-0", "1-0", "2-0"}};
  EXPECT_EQ(seen, expected);
  const NativeNote stored = storedNote(id);
  EXPECT_TRUE(stored.completed);
  EXPECT_EQ(ids(stored.segments), expected.back());
  EXPECT_DOUBLE_EQ(stored.durationSeconds, (512'000.0 + static_cast<double>(sizes[2])) / 32'000.0);
  EXPECT_EQ(stored, model.library().notes().front());
  for (const char* transcript :
       {"00000000.pcm.transcript.json", "00000001.pcm.transcript.json", "00000002.pcm.transcript.json"}) {
    EXPECT_TRUE(fs::exists(audioFolder(id) / transcript)) << transcript;
  }
}

TEST_F(RecordingTest, WithoutAModelTheAudioIsKeptAndNothingIsQueued) {
  engineSays("never");
  AppModel& model = makeModel();
  bool everRecognizing = false;
  QObject::connect(&model.recognition(), &RecognitionQueue::recognizingChanged,
                   [&] { everRecognizing |= model.recognition().recognizing(); });

  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording()) << model.appStatus().warning().value_or(QString()).toStdString();
  EXPECT_EQ(model.appStatus().status(), recordingWithoutModelStatus);
  const std::string id = model.session().activeNoteID()->toStdString();
  ASSERT_TRUE(eventually([&] { return model.session().elapsed() >= 9.0; }, 120'000));
  EXPECT_TRUE(model.recognition().pending().empty());
  QCoro::waitFor(model.stopRecording());
  QTest::qWait(200);  // the last chunk's queueing arrives as its own call

  EXPECT_EQ(model.appStatus().status(), stoppedStatus);
  EXPECT_FALSE(everRecognizing);
  EXPECT_EQ(engineRuns(), 0);
  EXPECT_GE(chunkSizes(audioFolder(id)).size(), 2U);
  EXPECT_TRUE(storedNote(id).completed);
  EXPECT_TRUE(storedNote(id).segments.empty());
}

TEST_F(RecordingTest, StartingWhileTheLastRecordingIsStillRecognisedDoesNothing) {
  installModel();
  engineSays("slow");
  ScopedEnv slow("FAKE_WHISPER_SLEEP", "2");
  AppModel& model = makeModel();
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording());
  ASSERT_TRUE(eventually([&] { return model.recognition().recognizing(); }, 120'000));
  QCoro::waitFor(model.stopRecording());
  ASSERT_TRUE(model.recognition().recognizing());

  QCoro::waitFor(model.startRecording());
  EXPECT_FALSE(model.session().recording());
  EXPECT_EQ(model.library().notes().size(), 1U);
  EXPECT_FALSE(model.appStatus().warning());
}

TEST_F(RecordingTest, ShutdownStopsAndSavesARunningRecording) {
  installModel();
  engineSays("closing");
  AppModel& model = makeModel();
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording());
  const std::string id = model.session().activeNoteID()->toStdString();
  ASSERT_TRUE(eventually([&] { return model.session().elapsed() >= 1.0; }, 120'000));

  QCoro::waitFor(model.shutdown());
  EXPECT_FALSE(model.session().recording());
  EXPECT_FALSE(model.recognition().recognizing());
  const NativeNote stored = storedNote(id);
  EXPECT_TRUE(stored.completed);
  EXPECT_GT(stored.durationSeconds, 0.0);
  EXPECT_DOUBLE_EQ(stored.durationSeconds,
                   QCoro::waitFor(model.library().audioSeconds(QString::fromStdString(id))));
}

TEST_F(RecordingTest, ShutdownDuringAStartLetsItFinishAndThenStopsIt) {
  AppModel& model = makeModel();
  model.startRecording();  // still starting when shutdown begins
  ASSERT_TRUE(model.appStatus().working());
  QCoro::waitFor(model.shutdown());
  EXPECT_FALSE(model.session().recording());
  EXPECT_FALSE(model.appStatus().working());
  ASSERT_EQ(model.library().notes().size(), 1U);
  EXPECT_TRUE(storedNote(model.library().notes().front().id).completed);
}

TEST_F(RecordingTest, TheSleepSignalStopsAndSavesTheRecordingBeforeLettingGo) {
  test::LogindStandIn logind(m_dir.path());
  installModel();
  engineSays("sleepy");
  AppModel& model = makeModel(std::make_unique<platform::LogindSleepWatcher>());
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording());
  const std::string id = model.session().activeNoteID()->toStdString();
  ASSERT_TRUE(eventually([&] { return logind.heldInhibitors() == 1; }, 20'000));
  ASSERT_TRUE(eventually([&] { return model.session().elapsed() >= 1.0; }, 120'000));

  logind.emitPrepareForSleep(true);
  ASSERT_TRUE(
      eventually([&] { return !model.session().recording() && !model.appStatus().working(); }, 60'000));
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(),
            QStringLiteral("컴퓨터가 잠자기에 들어가 녹음을 저장합니다. 깨어난 뒤 새 녹음을 시작해 주세요."));
  EXPECT_TRUE(storedNote(id).completed);
  EXPECT_EQ(logind.heldInhibitors(), 0U);
  EXPECT_EQ(logind.inhibitCalls().size(), 1);
}

TEST_F(RecordingTest, ACaptureErrorIsShownAndStopsTheRecording) {
  AppModel& model = makeModel();
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.session().recording());
  const std::string id = model.session().activeNoteID()->toStdString();
  ASSERT_TRUE(eventually([&] { return model.session().elapsed() >= 1.0; }, 120'000));

  // Suspending the microphone changes the recording's device configuration.
  ASSERT_EQ(QProcess::execute(QStringLiteral("pactl"), {"suspend-source", "mic", "1"}), 0);
  const bool stopped =
      eventually([&] { return !model.session().recording() && !model.appStatus().working(); }, 60'000);
  QProcess::execute(QStringLiteral("pactl"), {"suspend-source", "mic", "0"});
  ASSERT_TRUE(stopped);
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(),
            QStringLiteral(
                "입력 장치 구성이 변경되었습니다. 녹음을 저장한 뒤 장치를 확인하고 다시 시작해 주세요."));
  EXPECT_TRUE(storedNote(id).completed);
}

TEST_F(RecordingTest, ARecordingKilledMidChunkKeepsItsChunksAndCanBeRecovered) {
  installModel();
  engineSays("survived");
  QProcess child;
  child.setProgram(QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom_record_until_killed"));
  child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
  child.start();
  QByteArray line;
  while (!line.startsWith("recording ") && !line.startsWith("failed ")) {
    ASSERT_TRUE(child.canReadLine() || child.waitForReadyRead(60'000));
    line = child.readLine().trimmed();
  }
  ASSERT_TRUE(line.startsWith("recording ")) << line.toStdString();
  const std::string id = line.mid(10).toStdString();

  // Chunk 0 finished, recognised and saved in the note; chunk 1 on its way.
  const fs::path next = audioFolder(id) / "00000001.pcm";
  ASSERT_TRUE(eventually(
      [&] {
        std::error_code error;
        if (fs::file_size(next, error) < 32'000 || error) {
          return false;
        }
        const NoteListing listing = LocalNoteStore(root()).list();
        return !listing.notes.empty() && !listing.notes.front().segments.empty();
      },
      120'000));
  ::kill(static_cast<pid_t>(child.processId()), SIGKILL);
  ASSERT_TRUE(child.waitForFinished(10'000));

  const std::vector<std::uintmax_t> sizes = chunkSizes(audioFolder(id));
  ASSERT_GE(sizes.size(), 2U);
  EXPECT_EQ(sizes[0], 256'000U);
  const NativeNote interrupted = storedNote(id);
  EXPECT_FALSE(interrupted.completed);
  ASSERT_FALSE(interrupted.segments.empty());
  EXPECT_EQ(interrupted.segments.front().id, "0-0");

  AppModel& model = makeModel();
  model.library().setSelectedNoteID(QString::fromStdString(id));
  QCoro::waitFor(model.recoverSelected());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 120'000));
  const NativeNote recovered = storedNote(id);
  EXPECT_TRUE(recovered.completed);
  std::vector<std::string> expected;
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    expected.push_back(std::to_string(i) + "-0");
  }
  EXPECT_EQ(ids(recovered.segments), expected);
  EXPECT_DOUBLE_EQ(recovered.durationSeconds,
                   QCoro::waitFor(model.library().audioSeconds(QString::fromStdString(id))));
}

}  // namespace
}  // namespace sayloom::test
