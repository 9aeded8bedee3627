// The built "sayloom --self-test" run as a child process: its pass and failure lines, exit
// statuses, the note it leaves, and what reaches the engine.
#include "app/app_model_fixture.h"
#include "platform/sound_file_reader.h"
#include "support/program_run.h"

namespace sayloom::test {
namespace {

const std::string fixturesDir = SAYLOOM_FIXTURES_DIR;

using ProcessResult = ProgramRun;

class SelfTestTest : public AppModelTest {
protected:
  ProcessResult selfTest(const QStringList& arguments) {
    return runProgram(QStringLiteral(SAYLOOM_BINARY_DIR "/sayloom"), arguments);
  }

  // A generated WAV fixture (sox), e.g. {"-r", "44100", "-c", "1"}.
  fs::path soxFixture(const char* name, const QStringList& format) {
    const fs::path file = m_dir / name;
    QStringList arguments = {QStringLiteral("-n")};
    arguments << format << QStringLiteral("-b") << QStringLiteral("16")
              << QString::fromStdString(file.string()) << QStringLiteral("synth") << QStringLiteral("1")
              << QStringLiteral("sine") << QStringLiteral("440");
    EXPECT_EQ(QProcess::execute(QStringLiteral("sox"), arguments), 0);
    return file;
  }

  static QString zeb() { return QString::fromStdString(fixturesDir + "/zeb.wav"); }

  std::vector<NativeNote> notes() const { return LocalNoteStore(root()).list().notes; }
};

TEST_F(SelfTestTest, PassesWithTheFixtureAndLeavesAnIncompleteNoteWithOneChunk) {
  installModel();
  engineSays("ask not what your country can do for you");
  const ProcessResult run = selfTest({QStringLiteral("--self-test"), QStringLiteral("--fixture"), zeb()});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "Native diagnostics passed (PCM, Whisper, journal recovery).\n");
  EXPECT_EQ(run.err, "");

  const std::vector<NativeNote> listed = notes();
  ASSERT_EQ(listed.size(), 1U);
  const NativeNote& note = listed.front();
  EXPECT_EQ(note.title, "Native diagnostics (upstream ZEB fixture)");
  EXPECT_EQ(note.language, "en");
  EXPECT_FALSE(note.completed);
  ASSERT_EQ(note.segments.size(), 1U);
  EXPECT_EQ(note.segments[0].text, "ask not what your country can do for you");
  std::vector<fs::path> audio;
  for (const auto& entry : fs::directory_iterator(audioFolder(note.id))) {
    audio.push_back(entry.path().filename());
  }
  EXPECT_EQ(audio, std::vector<fs::path>{"00000000.pcm"});
  // Two bytes for every sample of the fixture.
  const std::uintmax_t bytes = fs::file_size(audioFolder(note.id) / "00000000.pcm");
  EXPECT_EQ(bytes, 2 * platform::readSoundFile(fixturesDir + "/zeb.wav").samples.size());
  EXPECT_DOUBLE_EQ(note.durationSeconds, static_cast<double>(bytes) / 32'000.0);
  EXPECT_EQ(engineRuns(), 1);
  EXPECT_EQ(readFile(m_dir / "engine.log").find("\"-ng\""), std::string::npos);

  std::size_t captures = 0;
  for (const auto& scratch : fs::directory_iterator(root() / "DiagnosticCapture")) {
    ++captures;
    EXPECT_EQ(std::distance(fs::directory_iterator(scratch.path()), fs::directory_iterator()), 2);
  }
  EXPECT_EQ(captures, 1U);
}

TEST_F(SelfTestTest, CpuReachesTheEngineAsProcessorOnly) {
  installModel();
  engineSays("my country");
  const ProcessResult run =
      selfTest({QStringLiteral("--cpu"), QStringLiteral("--self-test"), QStringLiteral("--fixture"), zeb()});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::string log = readFile(m_dir / "engine.log");
  EXPECT_EQ(engineRuns(), 1);
  EXPECT_NE(log.find("\"-ng\"]"), std::string::npos) << log;
}

TEST_F(SelfTestTest, BadArgumentsAndFixturesFailWithTheirTexts) {
  installModel();
  engineSays("country");
  struct Case {
    const char* name;
    QStringList arguments;
    std::string error;
  };
  const QString fast = QString::fromStdString(soxFixture("fast.wav", {"-r", "44100", "-c", "1"}).string());
  const QString stereo =
      QString::fromStdString(soxFixture("stereo.wav", {"-r", "16000", "-c", "2"}).string());
  const std::vector<Case> cases = {
      {"no fixture", {"--self-test"}, "Pass --fixture path/to/zeb.wav"},
      {"fixture last", {"--self-test", zeb(), "--fixture"}, "Pass --fixture path/to/zeb.wav"},
      {"44.1 kHz", {"--self-test", "--fixture", fast}, "Fixture must be 16 kHz mono"},
      {"stereo", {"--self-test", "--fixture", stereo}, "Fixture must be 16 kHz mono"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const ProcessResult run = selfTest(c.arguments);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Native diagnostics failed: " + c.error + "\n");
  }
  EXPECT_TRUE(notes().empty());
  EXPECT_EQ(engineRuns(), 0);

  const ProcessResult missing =
      selfTest({"--self-test", "--fixture", QString::fromStdString((m_dir / "none.wav").string())});
  EXPECT_EQ(missing.status, 1);
  EXPECT_EQ(missing.err.rfind("Native diagnostics failed: ", 0), 0U) << missing.err;
}

TEST_F(SelfTestTest, TheRealEngineWithTheTestModelRunsEveryStepAndFindsNoWords) {
  const fs::path testModel = fixturesDir + "/whisper-test-model.bin";
  fs::create_directories(root() / "Models");
  fs::copy_file(testModel, root() / "Models" / "ggml-base.bin");
  ScopedEnv engine("SAYLOOM_WHISPER_CLI", SAYLOOM_ENGINE_PATH);
  ScopedEnv size("SAYLOOM_MODEL_SIZE", "575451");
  ScopedEnv sha("SAYLOOM_MODEL_SHA256", "ddf6ff3e5f9e0da794fee41652559af1efaa6118f3cc699f250991c515b6af2a");

  const ProcessResult run =
      selfTest({QStringLiteral("--self-test"), QStringLiteral("--fixture"), zeb(), QStringLiteral("--cpu")});
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Native diagnostics failed: Whisper fixture transcription mismatch\n");
  const std::vector<NativeNote> listed = notes();
  ASSERT_EQ(listed.size(), 1U);
  EXPECT_TRUE(fs::exists(audioFolder(listed.front().id) / "00000000.pcm"));
}

}  // namespace
}  // namespace sayloom::test
