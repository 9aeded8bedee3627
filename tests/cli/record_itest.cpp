// sayloom-cli record run as a user runs it: on the sound server's sine source (the microphone) and
// the null sink's monitor (system audio), with the scripted engine; stopped by a signal (from a
// terminal's Ctrl+C to its whole process group, from `timeout`), killed, refused beside a running
// recording, and refused without a model.
#include <signal.h>
#include <unistd.h>

#include <QProcess>
#include <QTest>
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <functional>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/app_model_fixture.h"
#include "app/speech_model/model_downloader.h"
#include "core/chunk_files.h"
#include "core/recording_lock.h"
#include "support/program_run.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

const QString cliProgram = QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom-cli");

bool processAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

// The processor time `pid` has used so far (user and system), from /proc.
std::chrono::milliseconds processorTime(pid_t pid) {
  const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
  // The fields after the command name, which is in parentheses and may hold anything.
  std::istringstream fields(stat.substr(stat.rfind(')') + 2));
  std::string field;
  long long ticks = 0;
  for (int number = 3; number <= 15 && fields >> field; ++number) {
    if (number == 14 || number == 15) {  // utime, stime
      ticks += std::stoll(field);
    }
  }
  return std::chrono::milliseconds(ticks * 1'000 / ::sysconf(_SC_CLK_TCK));
}

class RecordTest : public AppModelTest {
protected:
  ~RecordTest() override {
    for (auto& process : m_running) {
      if (process->state() != QProcess::NotRunning) {
        process->kill();
        process->waitForFinished();
      }
    }
  }

  ProgramRun cli(const QStringList& arguments) { return runProgram(cliProgram, arguments); }

  // Starts `sayloom-cli record ARGUMENTS` in the background; with `ownGroup` it leads a process
  // group of its own, as a shell's foreground job does.
  QProcess& startRecording(const QStringList& arguments = {}, bool ownGroup = false) {
    auto& process = *m_running.emplace_back(std::make_unique<QProcess>());
    process.setProgram(cliProgram);
    process.setArguments(QStringList{QStringLiteral("record")} + arguments);
    process.setStandardInputFile(QProcess::nullDevice());
    if (ownGroup) {
      process.setChildProcessModifier([] { ::setpgid(0, 0); });
    }
    process.start();
    EXPECT_TRUE(process.waitForStarted());
    return process;
  }

  // Everything the program wrote to standard error so far.
  std::string errorsOf(QProcess& process) {
    m_err[&process] += process.readAllStandardError().toStdString();
    return m_err[&process];
  }

  // The id of the note the recording writes, once it runs.
  std::string noteOf(QProcess& process) {
    const std::string marker = "노트 ID: ";
    EXPECT_TRUE(eventually([&] { return errorsOf(process).find(marker) != std::string::npos; }, 30'000))
        << errorsOf(process);
    const std::string err = errorsOf(process);
    const std::size_t at = err.find(marker);
    return at == std::string::npos ? "" : err.substr(at + marker.size(), 36);
  }

  // Waits until the note has `seconds` of audio.
  void recordFor(const std::string& id, double seconds) {
    const auto recorded = [&] {
      std::error_code error;
      if (!fs::exists(audioFolder(id), error)) {
        return 0.0;
      }
      return static_cast<double>(chunks::totalBytes(chunks::list(audioFolder(id)))) / chunks::bytesPerSecond;
    };
    ASSERT_TRUE(eventually([&] { return recorded() >= seconds; }, static_cast<int>(seconds * 1000) + 30'000));
  }

  // Sends `signal` and waits for the end; the exit status, or -1 when a signal ended it.
  int stopWith(QProcess& process, int signal, int timeoutMs = 60'000) {
    ::kill(static_cast<pid_t>(process.processId()), signal);
    EXPECT_TRUE(eventually([&] { return process.state() == QProcess::NotRunning; }, timeoutMs));
    errorsOf(process);
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
  }

  json notesListed() {
    const ProgramRun run = cli({"notes", "list", "--json"});
    EXPECT_EQ(run.status, 0) << run.err;
    return json::parse(run.out)["notes"];
  }

  std::vector<std::uintmax_t> chunkSizes(const std::string& id) {
    std::vector<std::uintmax_t> sizes;
    for (const chunks::ChunkFile& file : chunks::list(audioFolder(id))) {
      sizes.push_back(fs::file_size(file.path));
    }
    return sizes;
  }

  std::vector<std::unique_ptr<QProcess>> m_running;
  std::map<QProcess*, std::string> m_err;
};

TEST_F(RecordTest, AnInterruptedRecordingIsOneCompletedNoteWithItsEntriesPrintedInOrder) {
  installModel();
  engineSays("안녕하세요");
  QProcess& recording = startRecording({"--title", "회의"});
  const std::string id = noteOf(recording);
  recordFor(id, 20);
  EXPECT_EQ(stopWith(recording, SIGINT), 0) << errorsOf(recording);

  EXPECT_EQ(recording.readAllStandardOutput().toStdString(),
            "[00:00:00] 안녕하세요\n[00:00:08] 안녕하세요\n[00:00:16] 안녕하세요\n");
  const json notes = notesListed();
  ASSERT_EQ(notes.size(), 1U);
  EXPECT_EQ(notes[0]["id"], id);
  EXPECT_EQ(notes[0]["title"], "회의");
  EXPECT_EQ(notes[0]["source"], "microphone");
  EXPECT_EQ(notes[0]["completed"], true);
  EXPECT_EQ(notes[0]["recording"], false);
  EXPECT_EQ(notes[0]["segmentCount"], 3);
  const std::vector<std::uintmax_t> sizes = chunkSizes(id);
  ASSERT_EQ(sizes.size(), 3U);
  EXPECT_EQ(sizes[0], static_cast<std::uintmax_t>(chunks::bytesPerChunk));
  EXPECT_EQ(sizes[1], static_cast<std::uintmax_t>(chunks::bytesPerChunk));
  EXPECT_GT(sizes[2], 0U);
  EXPECT_LT(sizes[2], static_cast<std::uintmax_t>(chunks::bytesPerChunk));
  EXPECT_DOUBLE_EQ(notes[0]["durationSeconds"].get<double>(),
                   static_cast<double>(sizes[0] + sizes[1] + sizes[2]) / chunks::bytesPerSecond);
  EXPECT_EQ(engineRuns(), 3);
  // Both the recording and the note are free again.
  EXPECT_FALSE(RecordingLock::isHeld(root(), id));
  EXPECT_TRUE(RecordingLock::acquireRecorder(root()).held());
}

TEST_F(RecordTest, SystemAudioIsWhatTheOutputPlaysPrintedAsJsonLines) {
  installModel();
  engineSays("시스템");
  QProcess& recording = startRecording({"--system", "--display", "2", "--json", "--language", "en"});
  const std::string id = noteOf(recording);
  // Something plays on the default output while the recording runs.
  QProcess player;
  player.start(QStringLiteral("paplay"), {QStringLiteral(SAYLOOM_FIXTURES_DIR "/zeb.wav")});
  ASSERT_TRUE(player.waitForStarted());
  recordFor(id, 9);
  player.kill();
  player.waitForFinished();
  EXPECT_EQ(stopWith(recording, SIGTERM), 0) << errorsOf(recording);

  std::vector<json> lines;
  std::istringstream out(recording.readAllStandardOutput().toStdString());
  for (std::string line; std::getline(out, line);) {
    lines.push_back(json::parse(line));
  }
  ASSERT_EQ(lines.size(), 2U);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    EXPECT_EQ(lines[i]["noteId"], id);
    EXPECT_EQ(lines[i]["text"], "시스템");
    EXPECT_EQ(lines[i]["startTimeMs"], static_cast<int>(i) * 8'000);
  }
  const json notes = notesListed();
  ASSERT_EQ(notes.size(), 1U);
  EXPECT_EQ(notes[0]["source"], "system");
  EXPECT_EQ(notes[0]["language"], "en");
  // The monitor of an output playing nothing is silent: sound in the chunk is the played file.
  const std::string pcm = readFile(audioFolder(id) / "00000000.pcm");
  int peak = 0;
  for (std::size_t i = 0; i + 1 < pcm.size(); i += 2) {
    const auto sample = static_cast<std::int16_t>(static_cast<unsigned char>(pcm[i]) |
                                                  (static_cast<unsigned char>(pcm[i + 1]) << 8));
    peak = std::max(peak, std::abs(static_cast<int>(sample)));
  }
  EXPECT_GT(peak, 1'000);
}

TEST_F(RecordTest, AKilledRecordingListsAsIncompleteAndRecoverCompletesIt) {
  installModel();
  engineSays("살아남은 말");
  QProcess& recording = startRecording();
  const std::string id = noteOf(recording);
  recordFor(id, 10);
  EXPECT_EQ(stopWith(recording, SIGKILL), -1);

  json notes = notesListed();
  ASSERT_EQ(notes.size(), 1U);
  EXPECT_EQ(notes[0]["completed"], false);
  EXPECT_EQ(notes[0]["recording"], false);
  const std::size_t chunkCount = chunkSizes(id).size();
  ASSERT_GE(chunkCount, 2U);

  const ProgramRun recover = cli({"recover", QString::fromStdString(id)});
  EXPECT_EQ(recover.status, 0) << recover.err;
  notes = notesListed();
  EXPECT_EQ(notes[0]["completed"], true);
  EXPECT_EQ(notes[0]["segmentCount"], chunkCount);
}

TEST_F(RecordTest, ASecondRecordingInTheDataFolderIsRefusedAndTheFirstGoesOn) {
  installModel();
  engineSays("첫 녹음");
  QProcess& first = startRecording();
  const std::string id = noteOf(first);

  const ProgramRun second = cli({"record"});
  EXPECT_EQ(second.status, 1);
  EXPECT_NE(second.err.find(std::string("sayloom-cli: ") + messages::dataFolderRecording), std::string::npos)
      << second.err;
  EXPECT_EQ(second.out, "");

  recordFor(id, 9);
  EXPECT_EQ(stopWith(first, SIGINT), 0) << errorsOf(first);
  EXPECT_EQ(first.readAllStandardOutput().toStdString(), "[00:00:00] 첫 녹음\n[00:00:08] 첫 녹음\n");
  const json notes = notesListed();
  ASSERT_EQ(notes.size(), 1U);  // the refused one made no note
  EXPECT_EQ(notes[0]["completed"], true);
}

TEST_F(RecordTest, WhileItWaitsForTheEngineItIdlesAndALaterSignalEndsItAtOnceWithTheEngine) {
  installModel();
  engineSays("느린 인식");
  ScopedEnv slowEngine("FAKE_WHISPER_SLEEP", "60");
  ScopedEnv enginePid("FAKE_WHISPER_PID_FILE", (m_dir / "engine.pid").c_str());
  QProcess& recording = startRecording();
  const auto pid = static_cast<pid_t>(recording.processId());
  const std::string id = noteOf(recording);
  recordFor(id, 9);
  ::kill(pid, SIGINT);
  // The first signal saves the note and waits for the engine, asleep.
  ASSERT_TRUE(eventually([&] { return errorsOf(recording).find("녹음 저장 완료") != std::string::npos; }))
      << errorsOf(recording);
  const auto wallStart = std::chrono::steady_clock::now();
  const std::chrono::milliseconds processorStart = processorTime(pid);
  QTest::qWait(3'000);
  const auto wall =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - wallStart);
  const std::chrono::milliseconds used = processorTime(pid) - processorStart;
  EXPECT_LT(used * 4, wall) << used.count() << " ms of processor time in " << wall.count() << " ms";

  // Seconds after the first, a signal ends the wait at once, and the engine goes with the program.
  const pid_t engine = std::stoi(readFile(m_dir / "engine.pid"));
  EXPECT_EQ(stopWith(recording, SIGTERM, 5'000), -1);
  EXPECT_TRUE(eventually([&] { return !processAlive(engine); }, 10'000));
  EXPECT_EQ(chunkSizes(id).size(), 2U);
  const json notes = notesListed();
  ASSERT_EQ(notes.size(), 1U);
  EXPECT_EQ(notes[0]["completed"], true);
}

// However the stop request arrives, the engine finishes the chunk it has, the chunks queued behind
// it are recognised, and the note is complete: a terminal's Ctrl+C signals the whole foreground
// process group, and `timeout` signals the program and then its own group (two copies of one
// request). With --cpu no retry on the processor could hide a chunk the signal cut short.
TEST_F(RecordTest, AStopRequestFromTheTerminalOrFromTimeoutWaitsForEveryChunk) {
  installModel();
  engineSays("끝까지");
  ScopedEnv slowEngine("FAKE_WHISPER_SLEEP", "5");
  ScopedEnv enginePid("FAKE_WHISPER_PID_FILE", (m_dir / "engine.pid").c_str());
  struct Case {
    const char* name;
    std::function<QProcess&()> run;  // starts the recording and has it stopped once
  };
  const Case cases[] = {
      {"Ctrl+C while a chunk is in the engine",
       [&]() -> QProcess& {
         QProcess& recording = startRecording({"--cpu"}, true);
         noteOf(recording);
         EXPECT_TRUE(eventually([&] { return fs::exists(m_dir / "engine.pid"); }));
         ::kill(-static_cast<pid_t>(recording.processId()), SIGINT);
         return recording;
       }},
      {"timeout -s INT",
       [&]() -> QProcess& {
         auto& process = *m_running.emplace_back(std::make_unique<QProcess>());
         process.setProgram(QStringLiteral("timeout"));
         process.setArguments({"--preserve-status", "-s", "INT", "11", cliProgram, "record", "--cpu"});
         process.setStandardInputFile(QProcess::nullDevice());
         process.start();
         EXPECT_TRUE(process.waitForStarted());
         return process;
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(root() / "Notes");
    fs::remove(m_dir / "engine.log");
    fs::remove(m_dir / "engine.pid");
    QProcess& recording = c.run();
    EXPECT_TRUE(eventually([&] { return recording.state() == QProcess::NotRunning; }));
    EXPECT_EQ(recording.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(recording.exitCode(), 0) << errorsOf(recording);

    const json notes = notesListed();
    ASSERT_EQ(notes.size(), 1U);
    const std::string id = notes[0]["id"];
    const std::size_t chunkCount = chunkSizes(id).size();
    EXPECT_GE(chunkCount, 2U);
    EXPECT_EQ(notes[0]["completed"], true);
    EXPECT_EQ(notes[0]["segmentCount"], chunkCount);
    EXPECT_EQ(engineRuns(), static_cast<int>(chunkCount));
    const std::string out = recording.readAllStandardOutput().toStdString();
    EXPECT_EQ(static_cast<std::size_t>(std::count(out.begin(), out.end(), '\n')), chunkCount) << out;
    EXPECT_EQ(out.rfind("[00:00:00] 끝까지\n", 0), 0U) << out;
  }
}

TEST_F(RecordTest, WithoutAModelItFailsAtStartWithTheAppsModelMessage) {
  const ProgramRun run = cli({"record"});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, std::string("sayloom-cli: ") + messages::downloadModelFirst + "\n");
  EXPECT_EQ(run.out, "");
  EXPECT_FALSE(fs::exists(root() / "Notes") && !fs::is_empty(root() / "Notes"));
}

}  // namespace
}  // namespace sayloom::test
