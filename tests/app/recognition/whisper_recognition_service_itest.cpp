// The recognition service with the real whisper-cli (built by scripts/build-engine.sh) and the
// tiny test model, which loads but has no weights: its "transcription" is always empty. These
// tests prove the command line, the exit statuses and the output shape, not recognition.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <nlohmann/json.hpp>

#include "app/recognition/whisper_recognition_service.h"
#include "core/chunk_files.h"
#include "core/wave.h"
#include "support/engine_fixture.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace sayloom {
namespace {

using test::fixture;
using test::readFile;
using test::runTask;
using test::ScopedEnv;
using test::TempDir;
using test::TestEngineEnvironment;
using test::wavSamples;
using test::writeFile;
namespace fs = std::filesystem;

constexpr std::size_t fullChunkBytes = chunks::bytesPerChunk;

class RealEngineTest : public ::testing::Test {
protected:
  void SetUp() override {
    if (!fs::is_directory(SAYLOOM_FIXTURES_DIR)) {
      GTEST_SKIP() << "fixtures folder " << SAYLOOM_FIXTURES_DIR
                   << " is absent: no test model and no speech sample to run the engine with";
    }
    ASSERT_TRUE(fs::exists(SAYLOOM_ENGINE_PATH))
        << SAYLOOM_ENGINE_PATH << " is missing; build it with scripts/build-engine.sh "
        << SAYLOOM_ENGINE_PATH;
    fs::create_directories(m_dir / "data" / "Models");
    fs::copy_file(fixture("whisper-test-model.bin"), m_dir / "data" / "Models" / "ggml-base.bin");
    fs::create_directories(m_dir / "tmp");
    const std::string speech = wavSamples(fixture("zeb.wav"));
    ASSERT_GE(speech.size(), fullChunkBytes);
    writeFile(m_dir / "00000003.pcm", speech.substr(0, fullChunkBytes));
  }

  fs::path speechChunk() const { return m_dir / "00000003.pcm"; }

  bool workFoldersGone() const { return fs::is_empty(m_dir / "tmp"); }

  TempDir m_dir;
  ScopedEnv m_tmp{"TMPDIR", (m_dir / "tmp").c_str()};
  ScopedEnv m_data{"SAYLOOM_DATA_DIR", (m_dir / "data").c_str()};
  TestEngineEnvironment m_engine;
};

TEST_F(RealEngineTest, EngineAcceptsTheCommandLineInBothModes) {
  const std::string wav = wave::wave(readFile(speechChunk()));
  writeFile(m_dir / "audio.wav", wav);
  for (const bool cpuOnly : {false, true}) {
    SCOPED_TRACE(cpuOnly ? "with -ng" : "default device");
    const fs::path outputBase = m_dir / (cpuOnly ? "cpu" : "default");
    QProcess engine;
    engine.setProgram(SAYLOOM_ENGINE_PATH);
    engine.setArguments(WhisperRecognitionService::engineArguments(
        m_dir / "data" / "Models" / "ggml-base.bin", m_dir / "audio.wav", "ko", outputBase, cpuOnly));
    engine.setStandardOutputFile(QProcess::nullDevice());
    engine.setStandardErrorFile(QProcess::nullDevice());
    engine.start();
    ASSERT_TRUE(engine.waitForFinished(300'000));
    EXPECT_EQ(engine.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(engine.exitCode(), 0);
    const auto result = nlohmann::json::parse(readFile(fs::path(outputBase.string() + ".json")));
    EXPECT_TRUE(result.at("transcription").is_array());
  }
}

TEST_F(RealEngineTest, ChunkWithSoundYieldsTheEngineEmptyTranscription) {
  WhisperRecognitionService service;  // engine, model and identity from the environment
  for (const bool cpuOnly : {false, true}) {
    SCOPED_TRACE(cpuOnly ? "cpuOnly" : "default device first");
    EXPECT_TRUE(runTask(service.transcribe(speechChunk(), 3, "en", cpuOnly)).empty());
    EXPECT_TRUE(service.verified());
    EXPECT_TRUE(workFoldersGone());
  }
}

TEST_F(RealEngineTest, SilentChunkNeverStartsTheEngine) {
  writeFile(m_dir / "silent.pcm", std::string(fullChunkBytes, '\0'));
  WhisperRecognitionService::Settings settings = WhisperRecognitionService::Settings::fromEnvironment();
  settings.enginePath = QString::fromStdString((m_dir / "no-engine-here").string());  // a start would fail
  WhisperRecognitionService service(settings);
  EXPECT_TRUE(runTask(service.transcribe(m_dir / "silent.pcm", 0, "ko", false)).empty());
  EXPECT_TRUE(workFoldersGone());
}

TEST_F(RealEngineTest, UnknownLanguageFailsInsteadOfGivingAnEmptyTranscript) {
  // The engine exits 0 for an unknown language but writes no result.
  WhisperRecognitionService service;
  EXPECT_THROW(runTask(service.transcribe(speechChunk(), 0, "xx-unknown", false)), fs::filesystem_error);
  EXPECT_TRUE(workFoldersGone());
}

}  // namespace
}  // namespace sayloom
