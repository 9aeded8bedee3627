// The application model without sound server: start-up, note list, settings, displays, the
// recognition queue and its worker against the scripted engine, recovery, and the refusals of a
// recording start that happen before any audio is captured.
#include "app/app_model.h"

#include <QCoro/QCoroTimer>
#include <QSettings>
#include <QThread>
#include <mutex>
#include <nlohmann/json.hpp>
#include <numeric>
#include <semaphore>
#include <thread>

#include "app/app_model_fixture.h"
#include "app/concurrency/main_thread.h"
#include "app/concurrency/serial_worker.h"
#include "app/self_test/self_test.h"
#include "core/atomic_file.h"
#include "core/data_paths.h"

namespace sayloom::test {
namespace {

const QString readyStatus = QStringLiteral("녹음을 시작할 준비가 되었습니다");
const QString doneStatus =
    QStringLiteral("기기에 저장했습니다. 회의록을 확인하거나 클라우드에 연결할 수 있습니다.");
const QString recoveringStatus = QStringLiteral("저장된 오디오에서 대본을 복구합니다");
const QString backlogStatus =
    QStringLiteral("인식이 밀리고 있습니다. 원본 저장은 계속되며 중지 후 대본 복구로 처리할 수 있습니다.");

NativeNote noteAt(const std::string& title, std::int64_t secondsSinceEpoch) {
  NativeNote note;
  note.title = title;
  note.createdAt = Timestamp(std::chrono::seconds(secondsSinceEpoch));
  return note;
}

std::vector<std::string> ids(const std::vector<TranscriptEntry>& entries) {
  std::vector<std::string> out;
  for (const TranscriptEntry& entry : entries) {
    out.push_back(entry.id);
  }
  return out;
}

using StartUpTest = AppModelTest;

TEST_F(StartUpTest, AFreshDataDirectoryStartsEmptyAndReadyAndRecordsTheMigration) {
  AppModel& model = makeModel();
  EXPECT_TRUE(model.library().notes().empty());
  EXPECT_FALSE(model.library().selectedNoteID());
  EXPECT_FALSE(model.appStatus().warning());
  EXPECT_FALSE(model.modelInstaller().modelReady());
  EXPECT_EQ(model.appStatus().status(), readyStatus);
  EXPECT_EQ(model.session().title(), QStringLiteral("새 음성 노트"));
  EXPECT_EQ(model.session().language(), QStringLiteral("ko"));
  EXPECT_EQ(model.session().source(), QStringLiteral("microphone"));
  EXPECT_EQ(model.session().translationLanguage(), QStringLiteral("en"));
  // The migration is the last start-up step: its marker names the legacy folder under XDG_DATA_HOME.
  const nlohmann::json marker = AtomicFile::read(root() / "migration-v1.json");
  EXPECT_EQ(marker.at("legacyPath").get<std::string>(), (m_dir / "xdg-data" / "Sayloom").string());
  EXPECT_FALSE(marker.contains("preferencesSnapshot"));
}

TEST_F(StartUpTest, ListsReadableNotesNewestFirstWarnsAboutTheOthersAndSelectsTheNewest) {
  LocalNoteStore store(root());
  const NativeNote older = noteAt("older", 1'700'000'000);
  const NativeNote newer = noteAt("newer", 1'800'000'000);
  store.save(older);
  store.save(newer);
  writeFile(root() / "Notes" / "broken" / "note.json", "{");
  installModel();

  AppModel& model = makeModel();
  ASSERT_EQ(model.library().notes().size(), 2U);
  EXPECT_EQ(model.library().notes()[0].id, newer.id);
  EXPECT_EQ(model.library().notes()[1].id, older.id);
  EXPECT_EQ(model.library().selectedNoteID(), QString::fromStdString(newer.id));
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(),
            QStringLiteral("일부 로컬 노트를 읽지 못했습니다. 원본 폴더는 보존됩니다: broken"));
  EXPECT_TRUE(model.modelInstaller().modelReady());

  // A chosen note survives a refresh; only an absent selection is filled in.
  model.library().setSelectedNoteID(QString::fromStdString(older.id));
  QCoro::waitFor(model.reloadNotes());
  EXPECT_EQ(model.library().selectedNoteID(), QString::fromStdString(older.id));
}

TEST_F(StartUpTest, ANotesPathThatCannotBeListedWarnsAndKeepsTheListEmpty) {
  writeFile(root() / "Notes", "not a folder");
  AppModel& model = makeModel();
  EXPECT_TRUE(model.library().notes().empty());
  EXPECT_TRUE(model.appStatus().warning());
}

TEST_F(StartUpTest, CpuOnlyIsReadFromAndWrittenToTheUserSettings) {
  {
    QSettings settings(QStringLiteral("kr.tovik"), QStringLiteral("sayloom"));
    settings.setValue("cpuOnly", true);
    settings.setValue("overlayShortcut", 1);
  }
  AppModel& model = makeModel();
  EXPECT_TRUE(model.settings().cpuOnly());
  EXPECT_EQ(model.settings().shortcut(), 1);
  QSignalSpy changed(&model.settings(), &UserSettings::cpuOnlyChanged);
  model.settings().setCpuOnly(false);
  EXPECT_EQ(changed.count(), 1);
  EXPECT_FALSE(QSettings(QStringLiteral("kr.tovik"), QStringLiteral("sayloom")).value("cpuOnly").toBool());
}

TEST_F(StartUpTest, LoadDisplaysAlwaysSelectsTheFirstAndWarnsWhenSystemAudioIsOutOfReach) {
  AppModel& model = makeModel();
  m_displays->displays = {Display{1, "one", {}}, Display{2, "two", {}}};
  model.session().setDisplayID(2);
  QCoro::waitFor(model.loadDisplays());
  EXPECT_EQ(model.session().displays().size(), 2U);
  EXPECT_EQ(model.session().displayID(), 1U);
  EXPECT_FALSE(model.appStatus().warning());

  m_displays->displays = {Display{1, "other", {}}};
  m_displays->reachable = false;
  QCoro::waitFor(model.loadDisplays());
  EXPECT_EQ(model.session().displays().size(), 2U);
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(),
            QStringLiteral("시스템 오디오 권한이 필요합니다. 시스템 설정에서 화면 및 시스템 오디오 녹음을 "
                           "허용하고 다시 시도해 주세요."));
}

using StartRefusalTest = AppModelTest;

TEST_F(StartRefusalTest, LiveTranslationWithoutAnAccountSavesNothing) {
  installModel();
  AppModel& model = makeModel();
  model.session().setLiveTranslation(true);
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(),
            QStringLiteral("실시간 번역에는 모델·계정·워크스페이스가 필요합니다."));
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_FALSE(model.session().recording());
  EXPECT_TRUE(model.library().notes().empty());
  EXPECT_FALSE(fs::exists(root() / "Notes"));
}

TEST_F(StartRefusalTest, SystemAudioOfAnUnknownDisplayKeepsTheEmptyNoteUncompleted) {
  AppModel& model = makeModel();
  m_displays->displays = {Display{1, "one", {}}};
  QCoro::waitFor(model.loadDisplays());
  model.session().setDisplayID(7);
  model.session().setSource(QStringLiteral("system"));
  model.session().setTitle(QStringLiteral("   \n "));
  QCoro::waitFor(model.startRecording());
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(),
            QStringLiteral("시스템 오디오를 녹음할 화면을 먼저 선택해 주세요."));
  EXPECT_FALSE(model.appStatus().working());
  EXPECT_FALSE(model.session().recording());
  EXPECT_FALSE(model.session().activeNoteID());
  ASSERT_EQ(model.library().notes().size(), 1U);
  const NativeNote& note = model.library().notes().front();
  EXPECT_EQ(note.title, "새 음성 노트");
  EXPECT_EQ(note.source, "system");
  EXPECT_FALSE(note.completed);
  EXPECT_EQ(model.library().selectedNoteID(), QString::fromStdString(note.id));
  EXPECT_EQ(LocalNoteStore(root()).list().notes, model.library().notes());
}

TEST_F(StartRefusalTest, ATitleWithSurroundingSpacesIsKeptAsTyped) {
  AppModel& model = makeModel();
  model.session().setSource(QStringLiteral("system"));  // no display: fails after the note is saved
  model.session().setTitle(QStringLiteral("  회의  "));
  QCoro::waitFor(model.startRecording());
  ASSERT_EQ(model.library().notes().size(), 1U);
  EXPECT_EQ(model.library().notes().front().title, "  회의  ");
}

using RecognitionQueueTest = AppModelTest;

TEST_F(RecognitionQueueTest, ChunksAreRecognisedInOrderWithATranscriptFileAndASaveEach) {
  installModel();
  engineSays("hello");
  const NativeNote stored = storedNote({256'000, 256'000, 4'000});
  // Each run records how many entries the saved note holds when it starts.
  const fs::path counts = m_dir / "saved-entries";
  engineRunsFirst("grep -c '\"sequence\"' '" + (noteFolder(stored.id) / "note.json").string() + "' >> '" +
                  counts.string() + "'");
  AppModel& model = makeModel();
  const QString id = QString::fromStdString(stored.id);

  std::vector<std::vector<std::string>> seen;
  QObject::connect(&model.library(), &NoteLibrary::noteChanged, [&] {
    for (const NativeNote& note : model.library().notes()) {
      if (note.id == stored.id && (seen.empty() || ids(note.segments) != seen.back())) {
        seen.push_back(ids(note.segments));
      }
    }
  });
  for (int i = 0; i < 3; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%08d.pcm", i);
    model.recognition().enqueue(QString::fromStdString((audioFolder(stored.id) / name).string()), i, id);
  }
  EXPECT_TRUE(model.recognition().recognizing());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));

  const std::vector<std::vector<std::string>> expected = {{"0-0"}, {"0-0", "1-0"}, {"0-0", "1-0", "2-0"}};
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(readFile(counts), "0\n1\n2\n");
  EXPECT_EQ(model.appStatus().status(), doneStatus);
  EXPECT_FALSE(model.appStatus().warning());
  EXPECT_TRUE(model.recognition().pending().empty());
  const NativeNote onDisk = LocalNoteStore(root()).list().notes.at(0);
  EXPECT_EQ(ids(onDisk.segments), expected.back());
  EXPECT_EQ(onDisk.segments[1].startTimeMs, 8'000);
  EXPECT_EQ(onDisk.segments[1].text, "hello");
  const nlohmann::json transcript = AtomicFile::read(audioFolder(stored.id) / "00000002.pcm.transcript.json");
  ASSERT_EQ(transcript.size(), 1U);
  EXPECT_EQ(transcript[0].at("id"), "2-0");
}

TEST_F(RecognitionQueueTest, RecognisingAChunkAgainReplacesItsEntriesAndKeepsTheOrder) {
  installModel();
  engineSays("again");
  NativeNote note = storedNote({256'000, 256'000});
  note.segments = {TranscriptEntry{"0-0", 0, "old", 0, 1000, ""},
                   TranscriptEntry{"0-5", 5, "kept", 0, 1000, ""},
                   TranscriptEntry{"1-0", 1000, "old", 8000, 9000, ""}};
  LocalNoteStore(root()).save(note);
  AppModel& model = makeModel();
  model.recognition().enqueue(QString::fromStdString((audioFolder(note.id) / "00000000.pcm").string()), 0,
                              QString::fromStdString(note.id));
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
  const std::vector<TranscriptEntry>& segments = model.library().notes().at(0).segments;
  EXPECT_EQ(ids(segments), (std::vector<std::string>{"0-0", "0-5", "1-0"}));
  EXPECT_EQ(segments[0].text, "again");
  EXPECT_EQ(segments[2].text, "old");
}

TEST_F(RecognitionQueueTest, WithoutAModelNothingIsQueued) {
  const NativeNote note = storedNote({256'000});
  AppModel& model = makeModel();
  model.recognition().enqueue(QString::fromStdString((audioFolder(note.id) / "00000000.pcm").string()), 0,
                              QString::fromStdString(note.id));
  EXPECT_TRUE(model.recognition().pending().empty());
  EXPECT_FALSE(model.recognition().recognizing());
  EXPECT_EQ(model.appStatus().status(), readyStatus);
  EXPECT_EQ(engineRuns(), 0);
}

TEST_F(RecognitionQueueTest, AFullBacklogRefusesTheNextChunkAndTheQueuedOnesAreStillRecognised) {
  installModel();
  engineSays("busy");
  // The engine waits while the hold file exists, so the first chunk stays in recognition.
  const fs::path hold = m_dir / "hold";
  writeFile(hold, "");
  engineRunsFirst("while [ -e '" + hold.string() + "' ]; do sleep 0.05; done");

  const NativeNote note = storedNote({256'000});
  AppModel& model = makeModel();
  const QString id = QString::fromStdString(note.id);
  const QString chunk = QString::fromStdString((audioFolder(note.id) / "00000000.pcm").string());
  model.recognition().enqueue(chunk, 0, id);  // taken by the worker at once
  for (int i = 1; i <= 64; ++i) {
    model.recognition().enqueue(chunk, 0, id);
  }
  EXPECT_EQ(model.recognition().pending().size(), 64U);
  EXPECT_NE(model.appStatus().status(), backlogStatus);

  model.recognition().enqueue(chunk, 0, id);
  EXPECT_EQ(model.recognition().pending().size(), 64U);
  EXPECT_EQ(model.appStatus().status(), backlogStatus);

  fs::remove(hold);
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 300'000));
  EXPECT_EQ(engineRuns(), 65);
  EXPECT_EQ(model.appStatus().status(), doneStatus);
}

TEST_F(RecognitionQueueTest, AFailingChunkEndsTheWorkerEmptiesTheQueueAndKeepsTheAudio) {
  installModel();
  ScopedEnv failing("FAKE_WHISPER_EXIT", "1");
  const NativeNote note = storedNote({256'000, 256'000, 256'000});
  const std::string audioBefore = readFile(audioFolder(note.id) / "00000001.pcm");
  AppModel& model = makeModel();
  const QString id = QString::fromStdString(note.id);
  for (int i = 0; i < 3; ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "%08d.pcm", i);
    model.recognition().enqueue(QString::fromStdString((audioFolder(note.id) / name).string()), i, id);
  }
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(*model.appStatus().warning(),
            QStringLiteral(
                "Whisper 인식에 실패했습니다. CPU 모드로 다시 시도할 수 있으며 원본 오디오는 보존됩니다."));
  EXPECT_TRUE(model.recognition().pending().empty());
  EXPECT_EQ(engineRuns(), 2);  // the first chunk, on the default device and then with "-ng"
  EXPECT_EQ(readFile(audioFolder(note.id) / "00000001.pcm"), audioBefore);
  EXPECT_EQ(fs::file_size(audioFolder(note.id) / "00000000.pcm"), 256'000U);
  EXPECT_FALSE(fs::exists(audioFolder(note.id) / "00000000.pcm.transcript.json"));
  EXPECT_EQ(model.appStatus().status(), doneStatus);
}

TEST_F(RecognitionQueueTest, ShutdownCancelsARunningWorkerWithoutAWarning) {
  installModel();
  engineSays("slow");
  ScopedEnv slow("FAKE_WHISPER_SLEEP", "30");
  const NativeNote note = storedNote({256'000, 256'000});
  AppModel& model = makeModel();
  const QString id = QString::fromStdString(note.id);
  model.recognition().enqueue(QString::fromStdString((audioFolder(note.id) / "00000000.pcm").string()), 0,
                              id);
  model.recognition().enqueue(QString::fromStdString((audioFolder(note.id) / "00000001.pcm").string()), 1,
                              id);
  ASSERT_TRUE(eventually([&] { return engineRuns() == 1; }));
  QCoro::waitFor(model.shutdown());
  EXPECT_FALSE(model.recognition().recognizing());
  EXPECT_TRUE(model.recognition().pending().empty());
  EXPECT_FALSE(model.appStatus().warning());
  EXPECT_EQ(engineRuns(), 1);
}

TEST_F(RecognitionQueueTest, CpuOnlyReachesTheEngine) {
  installModel();
  engineSays("cpu");
  const NativeNote note = storedNote({256'000});
  AppModel& model = makeModel();
  model.settings().setCpuOnly(true);
  model.recognition().enqueue(QString::fromStdString((audioFolder(note.id) / "00000000.pcm").string()), 0,
                              QString::fromStdString(note.id));
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
  EXPECT_NE(readFile(m_dir / "engine.log").find("\"-ng\""), std::string::npos);
}

using RecoveryTest = AppModelTest;

TEST_F(RecoveryTest, QueuesEveryChunkFileAndMarksTheNoteCompletedWithTheStoredDuration) {
  installModel();
  engineSays("recovered");
  const NativeNote note = storedNote({256'000, 64'000});
  writeFile(audioFolder(note.id) / "notes.txt", "not audio");
  writeFile(audioFolder(note.id) / "x1.pcm", speechPcm(32'000));  // counted, but not a chunk name
  AppModel& model = makeModel();
  model.library().setSelectedNoteID(QString::fromStdString(note.id));

  QSignalSpy statuses(&model.appStatus(), &AppStatus::statusChanged);
  QCoro::waitFor(model.recoverSelected());
  EXPECT_EQ(model.appStatus().status(), recoveringStatus);
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
  EXPECT_EQ(engineRuns(), 2);
  const NativeNote& recovered = model.library().notes().at(0);
  EXPECT_TRUE(recovered.completed);
  EXPECT_DOUBLE_EQ(recovered.durationSeconds, (256'000 + 64'000 + 32'000) / 32'000.0);
  EXPECT_EQ(ids(recovered.segments), (std::vector<std::string>{"0-0", "1-0"}));
  EXPECT_EQ(LocalNoteStore(root()).list().notes.at(0), recovered);
  EXPECT_EQ(model.appStatus().status(), doneStatus);
  EXPECT_DOUBLE_EQ(QCoro::waitFor(model.library().audioSeconds(QString::fromStdString(note.id))),
                   recovered.durationSeconds);
}

TEST_F(RecoveryTest, RefusalsLeaveTheNoteUnchanged) {
  struct Case {
    const char* name;
    bool model;
    std::vector<std::size_t> chunks;
    QString warning;
    bool audioFolder = true;
  };
  const std::vector<Case> cases = {
      {"no model", false, {256'000}, QStringLiteral("먼저 Whisper 모델을 다운로드해 주세요.")},
      {"no chunk file", true, {}, QStringLiteral("복구할 오디오 파일이 없습니다.")},
      // A note whose recording was killed before the capture made its folder.
      {"no audio folder", true, {}, QStringLiteral("복구할 오디오 파일이 없습니다."), false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root());
    if (c.model) {
      installModel();
    }
    const NativeNote note = storedNote(c.chunks);
    if (c.audioFolder) {
      fs::create_directories(audioFolder(note.id));
      writeFile(audioFolder(note.id) / "readme.txt", "no audio here");
    }
    AppModel& model = makeModel();
    QCoro::waitFor(model.recoverSelected());
    ASSERT_TRUE(model.appStatus().warning());
    EXPECT_EQ(*model.appStatus().warning(), c.warning);
    EXPECT_FALSE(model.recognition().recognizing());
    EXPECT_EQ(LocalNoteStore(root()).list().notes.at(0), note);
    shutdown();
  }
}

TEST(SelfTestFixtureTest, SamplesBecomeSixteenBitsHeldInRangeAndTruncated) {
  const std::string pcm = fixturePcm({1.5F, -1.5F, 0.5F, -0.5F, 0.0F});
  ASSERT_EQ(pcm.size(), 10U);
  const auto sample = [&](std::size_t i) {
    return static_cast<std::int16_t>(static_cast<unsigned char>(pcm[2 * i]) |
                                     (static_cast<unsigned char>(pcm[2 * i + 1]) << 8));
  };
  EXPECT_EQ(sample(0), 32'767);
  EXPECT_EQ(sample(1), -32'768);
  EXPECT_EQ(sample(2), 16'383);
  EXPECT_EQ(sample(3), -16'383);
  EXPECT_EQ(sample(4), 0);
  EXPECT_THROW(fixturePcm({0.1F, std::numeric_limits<float>::quiet_NaN()}), NativeError);
}

TEST(TaskHandleTest, WaitingForTheEndOfATaskThatHasEndedReturnsAtOnce) {
  TaskHandle handle;
  handle.attach([]() -> QCoro::Task<void> { co_return; }());
  EXPECT_TRUE(handle.ended());
  QCoro::waitFor(handle.waitForEnd());
}

TEST(TaskHandleTest, CancellingReachesTheTaskAndWaitingReturnsWhenItEnds) {
  TaskHandle handle;
  bool sawStop = false;
  handle.attach([](std::stop_token stop, bool* saw) -> QCoro::Task<void> {
    while (!stop.stop_requested()) {
      co_await QCoro::sleepFor(std::chrono::milliseconds(10));
    }
    *saw = true;
  }(handle.token(), &sawStop));
  EXPECT_FALSE(handle.ended());
  const TaskHandle copy = handle;
  copy.cancel();
  QCoro::waitFor(copy.waitForEnd());
  EXPECT_TRUE(sawStop);
  EXPECT_TRUE(handle.ended());
}

TEST(SerialWorkerTest, RunsWorkInOrderOffTheMainThreadAndPassesErrorsBack) {
  SerialWorker worker;
  std::vector<int> order;
  std::mutex mutex;
  auto task = [&](int n) -> QCoro::Task<Qt::HANDLE> {
    auto work = [&, n] {
      std::lock_guard lock(mutex);
      order.push_back(n);
      return QThread::currentThreadId();
    };
    co_return co_await worker.run(std::move(work));
  };
  auto first = task(1);
  auto second = task(2);
  const Qt::HANDLE a = QCoro::waitFor(first);
  const Qt::HANDLE b = QCoro::waitFor(second);
  EXPECT_EQ(order, (std::vector<int>{1, 2}));
  EXPECT_EQ(a, b);
  EXPECT_NE(a, QThread::currentThreadId());

  auto failing = [&]() -> QCoro::Task<std::string> {
    try {
      co_await worker.run([] { throw NativeError::message("broken"); });
    } catch (const NativeError& error) {
      co_return error.description();
    }
    co_return "no error";
  };
  EXPECT_EQ(QCoro::waitFor(failing()), "broken");
}

// A job several coroutines await gives each the same value or error; one whose awaiting coroutine
// is gone before the work ends still runs to its end without touching freed state.
TEST(BackgroundJobTest, SharesItsOutcomeAndOutlivesItsAwaiters) {
  QThreadPool pool;
  std::binary_semaphore release(0);
  auto job = BackgroundJob<std::string>::start(pool, [&release] {
    release.acquire();
    return std::string("done");
  });
  auto awaitValue = [](std::shared_ptr<BackgroundJob<std::string>> shared) -> QCoro::Task<std::string> {
    co_await shared->finished();
    co_return shared->value();
  };
  auto first = awaitValue(job);
  auto second = awaitValue(job);
  { auto abandoned = awaitValue(job); }
  job.reset();
  release.release();
  EXPECT_EQ(QCoro::waitFor(first), "done");
  EXPECT_EQ(QCoro::waitFor(second), "done");

  auto failing = BackgroundJob<int>::start(pool, []() -> int { throw NativeError::message("broken"); });
  auto awaitError = [](std::shared_ptr<BackgroundJob<int>> shared) -> QCoro::Task<std::string> {
    try {
      co_await shared->finished();
    } catch (const NativeError& error) {
      co_return error.description();
    }
    co_return "no error";
  };
  EXPECT_EQ(QCoro::waitFor(awaitError(failing)), "broken");
  EXPECT_EQ(QCoro::waitFor(awaitError(failing)), "broken");
  pool.waitForDone();
}

TEST(MainThreadTest, RunsWorkPostedFromAnotherThreadOnTheMainThreadInOrder) {
  std::vector<int> order;
  std::vector<Qt::HANDLE> threads;
  std::thread poster([&] {
    for (int n = 0; n < 100; ++n) {
      postToMainThread([&, n] {
        order.push_back(n);
        threads.push_back(QThread::currentThreadId());
      });
    }
  });
  poster.join();
  QCoreApplication::processEvents();
  std::vector<int> expected(100);
  std::iota(expected.begin(), expected.end(), 0);
  EXPECT_EQ(order, expected);
  EXPECT_EQ(std::count(threads.begin(), threads.end(), QThread::currentThreadId()), 100);
}

}  // namespace
}  // namespace sayloom::test
