// The recognition service against the scripted engine in tests/fakes: which runs happen with which
// arguments, how the engine's result becomes entries, and what every failure looks like.
#include "app/recognition/whisper_recognition_service.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <QCryptographicHash>
#include <QTest>
#include <cerrno>
#include <functional>
#include <nlohmann/json.hpp>
#include <stop_token>
#include <system_error>

#include "core/chunk_files.h"
#include "core/native_error.h"
#include "core/wave.h"
#include "core/whisper_output.h"
#include "support/file_bytes.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using test::readFile;
using test::runTask;
using test::ScopedEnv;
using test::TempDir;
using test::writeFile;
namespace fs = std::filesystem;

constexpr std::size_t fullChunkBytes = chunks::bytesPerChunk;

std::string sha256(std::string_view bytes) {
  return QCryptographicHash::hash(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())),
                                  QCryptographicHash::Sha256)
      .toHex()
      .toStdString();
}

// `bytes` of PCM whose samples are all `level`, except `loud` at sample position `at`.
std::string pcm(std::size_t bytes, std::int16_t level = 0, std::optional<std::int16_t> loud = {},
                std::size_t at = 0) {
  std::string out(bytes, '\0');
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    const auto value = static_cast<std::uint16_t>(loud && i / 2 == at ? *loud : level);
    out[i] = static_cast<char>(value & 0xFF);
    out[i + 1] = static_cast<char>(value >> 8);
  }
  return out;
}

std::string speech(std::size_t bytes = fullChunkBytes) { return pcm(bytes, 2'000); }

bool processAlive(pid_t pid) { return ::kill(pid, 0) == 0 || errno != ESRCH; }

class RecognitionServiceTest : public ::testing::Test {
protected:
  RecognitionServiceTest() { fs::create_directories(m_dir / "tmp"); }

  WhisperRecognitionService::Settings settings() const {
    return {QString::fromStdString(fakeEngine()), m_model,
            engine::ModelIdentity{m_modelBytes.size(), sha256(m_modelBytes)}};
  }
  static std::string fakeEngine() { return std::string(SAYLOOM_TEST_FAKES_DIR) + "/fake-whisper-cli"; }

  fs::path chunk(std::string_view bytes, const std::string& name = "00000000.pcm") const {
    writeFile(m_dir / name, bytes);
    return m_dir / name;
  }

  void engineWrites(std::string_view json) {
    writeFile(m_dir / "result.json", json);
    m_json.emplace("FAKE_WHISPER_JSON", (m_dir / "result.json").c_str());
  }

  // The argument lists of every engine run so far.
  std::vector<std::vector<std::string>> runs() const {
    std::vector<std::vector<std::string>> out;
    std::ifstream in(m_dir / "runs.log");
    for (std::string line; std::getline(in, line);) {
      out.push_back(nlohmann::json::parse(line).get<std::vector<std::string>>());
    }
    return out;
  }

  std::vector<fs::path> workFolders() const {
    std::vector<fs::path> out;
    for (const auto& entry : fs::directory_iterator(m_dir / "tmp")) {
      out.push_back(entry.path());
    }
    return out;
  }

  TempDir m_dir;
  ScopedEnv m_tmp{"TMPDIR", (m_dir / "tmp").c_str()};
  ScopedEnv m_log{"FAKE_WHISPER_LOG", (m_dir / "runs.log").c_str()};
  ScopedEnv m_exit{"FAKE_WHISPER_EXIT", nullptr};
  ScopedEnv m_exitNg{"FAKE_WHISPER_EXIT_NG", nullptr};
  ScopedEnv m_sleep{"FAKE_WHISPER_SLEEP", nullptr};
  ScopedEnv m_pid{"FAKE_WHISPER_PID_FILE", nullptr};
  ScopedEnv m_wavCopy{"FAKE_WHISPER_WAV_COPY", nullptr};
  std::optional<ScopedEnv> m_json;
  std::string m_modelBytes = "a small stand-in for the model file";
  fs::path m_model = [this] {
    writeFile(m_dir / "ggml-base.bin", m_modelBytes);
    return m_dir / "ggml-base.bin";
  }();
};

TEST_F(RecognitionServiceTest, SilentOrShortChunksNeverStartTheEngine) {
  struct Case {
    const char* name;
    std::string bytes;
    bool runs;
  };
  const Case cases[] = {
      {"3,198 loud bytes", pcm(3'198, 5'000), false},
      {"empty", "", false},
      {"full chunk of zeros", pcm(fullChunkBytes), false},
      {"full chunk within +-100", pcm(fullChunkBytes, 100, -100, 5'000), false},
      {"3,200 bytes with one sample of 101", pcm(3'200, 0, 101, 1'599), true},
      {"full chunk with one sample of -101", pcm(fullChunkBytes, -100, -101, 77), true},
  };
  WhisperRecognitionService service(settings());
  std::size_t expectedRuns = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(runTask(service.transcribe(chunk(c.bytes), 0, "ko", false)).empty());
    expectedRuns += c.runs ? 1 : 0;
    EXPECT_EQ(runs().size(), expectedRuns);
  }
  EXPECT_TRUE(workFolders().empty());
}

TEST_F(RecognitionServiceTest, RunsTheEngineOnTheChunkAsWavWithTheFixedArguments) {
  ScopedEnv copy("FAKE_WHISPER_WAV_COPY", (m_dir / "seen.wav").c_str());
  const std::string bytes = speech(10'000);
  WhisperRecognitionService service(settings());
  runTask(service.transcribe(chunk(bytes), 4, "en", false));

  const auto all = runs();
  ASSERT_EQ(all.size(), 1U);
  const std::vector<std::string>& args = all[0];
  ASSERT_EQ(args.size(), 13U);
  const fs::path work = fs::path(args[3]).parent_path();
  EXPECT_EQ(work.parent_path(), m_dir / "tmp");
  EXPECT_TRUE(work.filename().string().starts_with("sayloom-"));
  const std::vector<std::string> expected{"-m",
                                          m_model.string(),
                                          "-f",
                                          (work / "audio.wav").string(),
                                          "-l",
                                          "en",
                                          "-oj",
                                          "-of",
                                          (work / "result").string(),
                                          "-np",
                                          "-nt",
                                          "-t",
                                          "4"};
  EXPECT_EQ(args, expected);
  EXPECT_EQ(readFile(m_dir / "seen.wav"), wave::wave(bytes));
  EXPECT_TRUE(workFolders().empty());
}

TEST_F(RecognitionServiceTest, MapsSegmentsToEntriesOfTheChunk) {
  engineWrites(R"({"systeminfo": "x", "transcription": [
      {"timestamps": {}, "offsets": {"from": 1200, "to": 3400}, "text": " word\n"},
      {"offsets": {"from": 3400, "to": 4000}, "text": "  \n "},
      {"text": "no offsets"},
      {"offsets": {"from": 5000}, "text": "no end"},
      {"offsets": {"to": 6000}, "text": "no start"},
      {"offsets": {"from": 10, "to": "7000"}, "text": "odd offsets"},
      {"offsets": [1, 2], "text": "offsets not an object"},
      {"offsets": {"from": 1, "to": 2}},
      {"offsets": {"from": 1, "to": 2}, "text": 42}
  ]})");
  WhisperRecognitionService service(settings());
  const auto entries = runTask(service.transcribe(chunk(speech()), 2, "ko", false));
  const std::vector<TranscriptEntry> expected{
      {"2-0", 2000, "word", 17'200, 19'400, ""},
      {"2-2", 2002, "no offsets", 16'000, 24'000, ""},
      {"2-3", 2003, "no end", 21'000, 24'000, ""},
      {"2-4", 2004, "no start", 16'000, 22'000, ""},
      {"2-5", 2005, "odd offsets", 16'000, 24'000, ""},
      {"2-6", 2006, "offsets not an object", 16'000, 24'000, ""},
  };
  EXPECT_EQ(entries, expected);
}

TEST_F(RecognitionServiceTest, MissingEndOfAShortChunkIsTheChunkLength) {
  engineWrites(R"({"transcription": [{"text": "short"}]})");
  WhisperRecognitionService service(settings());
  const auto entries = runTask(service.transcribe(chunk(speech(100'000)), 1, "ko", false));
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].startTimeMs, 8'000);
  EXPECT_EQ(entries[0].endTimeMs, 8'000 + 100'000 / 32);
}

TEST_F(RecognitionServiceTest, EngineTextWithControlBytesAndBrokenUtf8BecomesValidText) {
  // The engine escapes only quotes and backslashes: a raw line feed, a bell and a cut-off
  // three-byte character can appear inside its strings.
  engineWrites(
      "{\"transcription\": [{\"offsets\": {\"from\": 0, \"to\": 10}, "
      "\"text\": \" \xEC\x95\x88\xEB\x85\x95\x07 \\\"hi\\\"\nthere \xEC\x95\"}]}");
  WhisperRecognitionService service(settings());
  const auto entries = runTask(service.transcribe(chunk(speech()), 0, "ko", false));
  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].text, "\xEC\x95\x88\xEB\x85\x95 \"hi\"\nthere \xEF\xBF\xBD");
}

TEST_F(RecognitionServiceTest, RetriesOnceOnTheProcessorAfterAFailedDefaultRun) {
  ScopedEnv exit("FAKE_WHISPER_EXIT", "1");
  ScopedEnv exitNg("FAKE_WHISPER_EXIT_NG", "0");
  engineWrites(R"({"transcription": [{"offsets": {"from": 0, "to": 500}, "text": "second run"}]})");
  WhisperRecognitionService service(settings());
  const auto entries = runTask(service.transcribe(chunk(speech()), 0, "ko", false));

  ASSERT_EQ(entries.size(), 1U);
  EXPECT_EQ(entries[0].text, "second run");
  const auto all = runs();
  ASSERT_EQ(all.size(), 2U);
  EXPECT_EQ(all[0].size(), 13U);
  ASSERT_EQ(all[1].size(), 14U);
  EXPECT_EQ(all[1].back(), "-ng");
  EXPECT_EQ(std::vector<std::string>(all[1].begin(), all[1].begin() + 13)[11], "-t");
  EXPECT_TRUE(workFolders().empty());
}

TEST_F(RecognitionServiceTest, ProcessorFailureIsReportedAfterItsOneRun) {
  ScopedEnv exit("FAKE_WHISPER_EXIT", "1");
  struct Case {
    bool cpuOnly;
    std::size_t runs;
  };
  for (const Case c : {Case{true, 1}, Case{false, 2}}) {
    SCOPED_TRACE(c.cpuOnly ? "cpuOnly" : "default device first");
    fs::remove(m_dir / "runs.log");
    WhisperRecognitionService service(settings());
    try {
      runTask(service.transcribe(chunk(speech()), 0, "ko", c.cpuOnly));
      ADD_FAILURE() << "no failure";
    } catch (const NativeError& error) {
      EXPECT_EQ(error.description(), messages::whisperFailed);
    }
    const auto all = runs();
    ASSERT_EQ(all.size(), c.runs);
    for (const auto& args : all) {
      EXPECT_EQ(args.back() == "-ng", &args == &all.back());
    }
    EXPECT_TRUE(workFolders().empty());
  }
}

TEST_F(RecognitionServiceTest, ResultsOfTheWrongShapeFail) {
  struct Case {
    const char* json;
    bool nativeError;  // otherwise the JSON parser's own error
  };
  const Case cases[] = {
      {"not json", false},
      {"", false},
      {R"({"transcription": [)", false},
      {R"([{"text": "x"}])", true},
      {R"({"result": {"language": "ko"}})", true},
      {R"({"transcription": {"text": "x"}})", true},
      {R"({"transcription": [{"text": "x"}, "y"]})", true},
      {R"({"transcription": null})", true},
      {"42", true},
  };
  WhisperRecognitionService service(settings());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.json);
    engineWrites(c.json);
    try {
      runTask(service.transcribe(chunk(speech()), 0, "ko", true));
      ADD_FAILURE() << "no failure";
    } catch (const NativeError& error) {
      EXPECT_TRUE(c.nativeError);
      EXPECT_EQ(error.description(), messages::whisperResultUnreadable);
    } catch (const nlohmann::json::parse_error&) {
      EXPECT_FALSE(c.nativeError);
    }
  }
  engineWrites(R"({"transcription": []})");
  EXPECT_TRUE(runTask(service.transcribe(chunk(speech()), 0, "ko", true)).empty());
  EXPECT_TRUE(workFolders().empty());
}

TEST_F(RecognitionServiceTest, SuccessfulExitWithoutAResultIsAFailure) {
  ScopedEnv none("FAKE_WHISPER_JSON", "none");
  WhisperRecognitionService service(settings());
  EXPECT_THROW(runTask(service.transcribe(chunk(speech()), 0, "zz", false)),
               std::filesystem::filesystem_error);
  EXPECT_EQ(runs().size(), 1U);  // exit status 0: no retry
  EXPECT_TRUE(workFolders().empty());
}

TEST_F(RecognitionServiceTest, CancellingWhileTheEngineRunsTerminatesItWithoutRetry) {
  ScopedEnv sleep("FAKE_WHISPER_SLEEP", "60");
  ScopedEnv pidFile("FAKE_WHISPER_PID_FILE", (m_dir / "engine.pid").c_str());
  WhisperRecognitionService service(settings());
  std::stop_source stop;
  auto task = service.transcribe(chunk(speech()), 0, "ko", false, stop.get_token());
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(m_dir / "engine.pid"); }, 10'000));
  const pid_t pid = std::stoi(readFile(m_dir / "engine.pid"));
  ASSERT_TRUE(processAlive(pid));
  ASSERT_EQ(workFolders().size(), 1U);

  stop.request_stop();
  EXPECT_THROW(runTask(std::move(task)), Cancelled);
  EXPECT_FALSE(processAlive(pid));
  EXPECT_TRUE(workFolders().empty());
  EXPECT_EQ(runs().size(), 1U);
}

TEST_F(RecognitionServiceTest, CancellationFromAnotherThreadTerminatesTheEngine) {
  ScopedEnv sleep("FAKE_WHISPER_SLEEP", "60");
  ScopedEnv pidFile("FAKE_WHISPER_PID_FILE", (m_dir / "engine.pid").c_str());
  WhisperRecognitionService service(settings());
  std::stop_source stop;
  auto task = service.transcribe(chunk(speech()), 0, "ko", false, stop.get_token());
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(m_dir / "engine.pid"); }, 10'000));
  std::thread([&stop] { stop.request_stop(); }).join();
  EXPECT_THROW(runTask(std::move(task)), Cancelled);
  EXPECT_EQ(runs().size(), 1U);
  EXPECT_TRUE(workFolders().empty());
}

TEST_F(RecognitionServiceTest, EngineThatIgnoresTerminationIsKilled) {
  ScopedEnv sleep("FAKE_WHISPER_SLEEP", "60");
  ScopedEnv ignore("FAKE_WHISPER_IGNORE_TERM", "1");
  ScopedEnv pidFile("FAKE_WHISPER_PID_FILE", (m_dir / "engine.pid").c_str());
  WhisperRecognitionService service(settings());
  std::stop_source stop;
  auto task = service.transcribe(chunk(speech()), 0, "ko", false, stop.get_token());
  ASSERT_TRUE(QTest::qWaitFor([&] { return fs::exists(m_dir / "engine.pid"); }, 10'000));
  const pid_t pid = std::stoi(readFile(m_dir / "engine.pid"));
  stop.request_stop();
  EXPECT_THROW(runTask(std::move(task)), Cancelled);
  EXPECT_FALSE(processAlive(pid));
  EXPECT_EQ(runs().size(), 1U);
  EXPECT_TRUE(workFolders().empty());
}

TEST_F(RecognitionServiceTest, AnEngineThatOutlivesItsTimeLimitIsEndedAndCountsAsAFailedRun) {
  engineWrites(R"({"transcription": [{"offsets": {"from": 0, "to": 500}, "text": "on the processor"}]})");
  constexpr const char* hangs = "600";
  struct Case {
    const char* name;
    bool cpuOnly;
    const char* sleep;    // seconds of the default-device run
    const char* sleepNg;  // seconds of the "-ng" run
    bool ignoresTermination;
    std::chrono::milliseconds limit;  // long enough for a run that does not hang
    std::size_t runs;
    bool answers;
  };
  const Case cases[] = {
      {"hangs on the default device, answers on the processor", false, hangs, "0", false,
       std::chrono::seconds(5), 2, true},
      {"hangs on the processor", true, hangs, hangs, false, std::chrono::milliseconds(500), 1, false},
      {"hangs on both", false, hangs, hangs, false, std::chrono::milliseconds(500), 2, false},
      {"hangs and ignores termination", true, hangs, hangs, true, std::chrono::milliseconds(500), 1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove(m_dir / "runs.log");
    fs::remove(m_dir / "engine.pid");
    ScopedEnv sleep("FAKE_WHISPER_SLEEP", c.sleep);
    ScopedEnv sleepNg("FAKE_WHISPER_SLEEP_NG", c.sleepNg);
    ScopedEnv ignore("FAKE_WHISPER_IGNORE_TERM", c.ignoresTermination ? "1" : nullptr);
    ScopedEnv pidFile("FAKE_WHISPER_PID_FILE", (m_dir / "engine.pid").c_str());
    auto s = settings();
    s.timeLimitBase = c.limit;
    s.timeLimitPerAudioSecond = std::chrono::milliseconds(0);
    WhisperRecognitionService service(s);
    try {
      const auto entries = runTask(service.transcribe(chunk(speech()), 0, "ko", c.cpuOnly));
      EXPECT_TRUE(c.answers);
      ASSERT_EQ(entries.size(), 1U);
      EXPECT_EQ(entries[0].text, "on the processor");
    } catch (const NativeError& error) {
      EXPECT_FALSE(c.answers);
      EXPECT_EQ(error.description(), messages::whisperFailed);
    }
    EXPECT_EQ(runs().size(), c.runs);
    EXPECT_FALSE(processAlive(std::stoi(readFile(m_dir / "engine.pid"))));
    EXPECT_TRUE(workFolders().empty());
  }
}

TEST_F(RecognitionServiceTest, AlreadyCancelledCallDoesNothing) {
  WhisperRecognitionService service(settings());
  std::stop_source stop;
  stop.request_stop();
  EXPECT_THROW(runTask(service.transcribe(chunk(speech()), 0, "ko", false, stop.get_token())), Cancelled);
  EXPECT_TRUE(runs().empty());
  EXPECT_FALSE(service.verified());
}

TEST_F(RecognitionServiceTest, EngineThatCannotStartFailsWithItsRealCauseAndWithoutRetry) {
  struct Case {
    const char* name;
    std::function<fs::path()> engine;
    int error;           // errno of the std::system_error; 0 for a plain runtime_error
    const char* reason;  // ends the text
  };
  const Case cases[] = {
      {"missing", [this] { return m_dir / "no-such-engine"; }, ENOENT, "No such file or directory"},
      {"in a missing folder", [this] { return m_dir / "none" / "engine"; }, ENOENT,
       "No such file or directory"},
      {"not executable",
       [this] {
         writeFile(m_dir / "not-executable", "#!/bin/sh\n");
         fs::permissions(m_dir / "not-executable", fs::perms::owner_read | fs::perms::owner_write);
         return m_dir / "not-executable";
       },
       EACCES, "Permission denied"},
      {"a folder",
       [this] {
         fs::create_directories(m_dir / "engine-folder");
         return m_dir / "engine-folder";
       },
       EACCES, "Permission denied"},
      {"not a program",
       [this] {
         writeFile(m_dir / "garbage", "neither a program nor a script");
         fs::permissions(m_dir / "garbage", fs::perms::owner_all);
         return m_dir / "garbage";
       },
       0, "Exec format error"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = settings();
    const fs::path engine = c.engine();
    s.enginePath = QString::fromStdString(engine.string());
    WhisperRecognitionService service(s);
    try {
      runTask(service.transcribe(chunk(speech()), 0, "ko", false));
      ADD_FAILURE() << "no failure";
    } catch (const NativeError& error) {
      ADD_FAILURE() << "a start failure is the platform's error, not " << error.description();
    } catch (const std::exception& error) {
      const std::string text = error.what();
      EXPECT_TRUE(text.starts_with("cannot start " + engine.string())) << text;
      EXPECT_TRUE(text.ends_with(c.reason)) << text;
      const auto* system = dynamic_cast<const std::system_error*>(&error);
      EXPECT_EQ(system != nullptr ? system->code().value() : 0, c.error) << text;
    }
    EXPECT_TRUE(runs().empty());
    EXPECT_TRUE(workFolders().empty());
  }
}

TEST_F(RecognitionServiceTest, ModelIsCheckedBySizeAndDigest) {
  struct Case {
    const char* name;
    std::function<void(WhisperRecognitionService::Settings&)> change;
    bool fileError;
  };
  const Case cases[] = {
      {"missing", [this](auto& s) { s.modelFile = m_dir / "missing.bin"; }, true},
      {"one byte short", [](auto& s) { s.model.size += 1; }, false},
      {"one byte long", [](auto& s) { s.model.size -= 1; }, false},
      {"other digest", [](auto& s) { s.model.sha256[10] = s.model.sha256[10] == '0' ? '1' : '0'; }, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto s = settings();
    c.change(s);
    WhisperRecognitionService service(s);
    try {
      runTask(service.transcribe(chunk(speech()), 0, "ko", false));
      ADD_FAILURE() << "no failure";
    } catch (const NativeError& error) {
      EXPECT_FALSE(c.fileError);
      EXPECT_EQ(error.description(), messages::whisperModelInvalid);
    } catch (const fs::filesystem_error& error) {
      EXPECT_TRUE(c.fileError);
      EXPECT_EQ(error.code(), std::errc::no_such_file_or_directory);
    }
    EXPECT_FALSE(service.verified());
    EXPECT_TRUE(runs().empty());
  }
}

TEST_F(RecognitionServiceTest, ModelIsCheckedOnlyOncePerService) {
  WhisperRecognitionService service(settings());
  runTask(service.verifyModel());
  EXPECT_TRUE(service.verified());
  writeFile(m_model, "replaced by something else entirely");
  EXPECT_NO_THROW(runTask(service.transcribe(chunk(speech()), 0, "ko", false)));
  EXPECT_NO_THROW(runTask(service.verifyModel()));

  WhisperRecognitionService fresh(settings());
  EXPECT_THROW(runTask(fresh.verifyModel()), NativeError);
}

TEST_F(RecognitionServiceTest, ConcurrentCallsKeepTheirWorkApart) {
  ScopedEnv sleep("FAKE_WHISPER_SLEEP", "0.3");
  engineWrites(R"({"transcription": [{"offsets": {"from": 0, "to": 1}, "text": "x"}]})");
  WhisperRecognitionService service(settings());
  auto first = service.transcribe(chunk(speech(), "a.pcm"), 0, "ko", false);
  auto second = service.transcribe(chunk(speech(), "b.pcm"), 1, "ko", false);
  EXPECT_EQ(runTask(std::move(first)).at(0).id, "0-0");
  EXPECT_EQ(runTask(std::move(second)).at(0).id, "1-0");
  const auto all = runs();
  ASSERT_EQ(all.size(), 2U);
  EXPECT_NE(all[0][3], all[1][3]);
  EXPECT_TRUE(workFolders().empty());
}

}  // namespace
}  // namespace sayloom
