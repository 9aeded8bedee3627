// sayloom-cli record run as a user runs it: on the sound server's sine source (the microphone) and
// the null sink's monitor (system audio), with the scripted engine; stopped by a signal, killed,
// refused beside a running recording, and refused without a model.
#include <signal.h>

#include <QProcess>
#include <QTest>
#include <map>
#include <nlohmann/json.hpp>
#include <sstream>

#include "app/app_model_fixture.h"
#include "app/model_downloader.h"
#include "core/chunk_files.h"
#include "core/recording_lock.h"
#include "support/program_run.h"

namespace sayloom::test {
namespace {

using nlohmann::json;

const QString cliProgram = QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom-cli");

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

  // Starts `sayloom-cli record ARGUMENTS` in the background.
  QProcess& startRecording(const QStringList& arguments = {}) {
    auto& process = *m_running.emplace_back(std::make_unique<QProcess>());
    process.setProgram(cliProgram);
    process.setArguments(QStringList{QStringLiteral("record")} + arguments);
    process.setStandardInputFile(QProcess::nullDevice());
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

TEST_F(RecordTest, ASecondSignalEndsTheProgramAtOnceWithTheChunksOnDisk) {
  installModel();
  engineSays("느린 인식");
  ScopedEnv slowEngine("FAKE_WHISPER_SLEEP", "30");
  QProcess& recording = startRecording();
  const std::string id = noteOf(recording);
  recordFor(id, 9);
  ::kill(static_cast<pid_t>(recording.processId()), SIGINT);
  // The first signal saves the note and waits for the engine; the second ends the wait.
  ASSERT_TRUE(eventually([&] { return errorsOf(recording).find("녹음 저장 완료") != std::string::npos; }))
      << errorsOf(recording);
  EXPECT_EQ(stopWith(recording, SIGTERM, 5'000), -1);
  EXPECT_EQ(chunkSizes(id).size(), 2U);
  const json notes = notesListed();
  ASSERT_EQ(notes.size(), 1U);
  EXPECT_EQ(notes[0]["completed"], true);
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
