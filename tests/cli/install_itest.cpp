// `cmake --install` into a scratch prefix, as a packager or a user installing from source would:
// the programs, the engine under libexec, the desktop entry, AppStream metadata and icons, checked
// by the desktop's own validators, and the installed programs run from there.
#include <gtest/gtest.h>

#include <QString>

#include "support/engine_fixture.h"
#include "support/file_bytes.h"
#include "support/program_run.h"
#include "support/temp_dir.h"

namespace sayloom::test {
namespace {

namespace fs = std::filesystem;

QString text(const fs::path& path) { return QString::fromStdString(path.string()); }

class InstallTest : public ::testing::Test {
protected:
  void SetUp() override {
    const ProgramRun install = runProgram(QStringLiteral(SAYLOOM_CMAKE_COMMAND),
                                          {"--install", SAYLOOM_BINARY_DIR, "--prefix", text(prefix())});
    ASSERT_EQ(install.status, 0) << install.out << install.err;
    fs::create_directories(data() / "Models");
  }

  fs::path prefix() const { return m_dir / "prefix"; }
  fs::path data() const { return m_dir / "data"; }

  // The real engine's test model in the data folder, with its identity.
  void installTestModel() {
    fs::copy_file(fixture("whisper-test-model.bin"), data() / "Models" / "ggml-base.bin");
  }

  TempDir m_dir;
  ScopedEnv m_data{"SAYLOOM_DATA_DIR", (m_dir / "data").c_str()};
  ScopedEnv m_config{"XDG_CONFIG_HOME", (m_dir / "config").c_str()};
  ScopedEnv m_noEngine{"SAYLOOM_WHISPER_CLI", nullptr};  // the installed programs find their own
  ScopedEnv m_size{"SAYLOOM_MODEL_SIZE", std::to_string(testModelSize).c_str()};
  ScopedEnv m_sha{"SAYLOOM_MODEL_SHA256", testModelSha256};
};

TEST_F(InstallTest, PutsEveryFileWhereTheDesktopLooksAndTheValidatorsAcceptThem) {
  const char* const files[] = {
      "bin/sayloom",
      "bin/sayloom-cli",
      "libexec/sayloom/whisper-cli",
      "share/applications/kr.tovik.Sayloom.desktop",
      "share/metainfo/kr.tovik.Sayloom.metainfo.xml",
      "share/icons/hicolor/scalable/apps/kr.tovik.Sayloom.svg",
      "share/icons/hicolor/16x16/apps/kr.tovik.Sayloom.png",
      "share/icons/hicolor/48x48/apps/kr.tovik.Sayloom.png",
      "share/icons/hicolor/256x256/apps/kr.tovik.Sayloom.png",
  };
  for (const char* file : files) {
    EXPECT_TRUE(fs::is_regular_file(prefix() / file)) << file;
  }
  for (const char* program : {"bin/sayloom", "bin/sayloom-cli", "libexec/sayloom/whisper-cli"}) {
    EXPECT_NE(fs::status(prefix() / program).permissions() & fs::perms::owner_exec, fs::perms::none)
        << program;
  }
  // The PNG sizes are what their folders say (width and height in the IHDR chunk).
  const std::string png = readFile(prefix() / "share/icons/hicolor/48x48/apps/kr.tovik.Sayloom.png");
  ASSERT_GE(png.size(), 24U);
  EXPECT_EQ(png.substr(16, 8), std::string("\0\0\0\x30\0\0\0\x30", 8));

  const ProgramRun desktop = runProgram(QStringLiteral("desktop-file-validate"),
                                        {text(prefix() / "share/applications/kr.tovik.Sayloom.desktop")});
  EXPECT_EQ(desktop.status, 0) << desktop.out << desktop.err;
  EXPECT_EQ(desktop.out + desktop.err, "");
  const ProgramRun appstream =
      runProgram(QStringLiteral("appstreamcli"),
                 {"validate", "--no-net", text(prefix() / "share/metainfo/kr.tovik.Sayloom.metainfo.xml")});
  EXPECT_EQ(appstream.status, 0) << appstream.out << appstream.err;
}

TEST_F(InstallTest, TheInstalledSelfTestFindsTheEngineUnderLibexecAndRunsEveryStep) {
  installTestModel();
  const QStringList arguments = {"--self-test", "--fixture", text(fixture("zeb.wav")), "--cpu"};
  const ProgramRun run = runProgram(text(prefix() / "bin/sayloom"), arguments);
  // The test model has no weights: the engine runs and hears nothing, so only the word check fails.
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err, "Native diagnostics failed: Whisper fixture transcription mismatch\n");

  // With an engine that hears the fixture's words, the installed self-test passes.
  writeFile(m_dir / "engine.json",
            R"({"transcription": [{"offsets": {"from": 0, "to": 1000}, "text": " my country"}]})");
  ScopedEnv engine("SAYLOOM_WHISPER_CLI", SAYLOOM_TEST_FAKES_DIR "/fake-whisper-cli");
  ScopedEnv answer("FAKE_WHISPER_JSON", (m_dir / "engine.json").c_str());
  const ProgramRun passed = runProgram(text(prefix() / "bin/sayloom"), arguments);
  EXPECT_EQ(passed.status, 0) << passed.err;
  EXPECT_EQ(passed.out, "Native diagnostics passed (PCM, Whisper, journal recovery).\n");
}

TEST_F(InstallTest, TheInstalledCommandLineToolTranscribesWithTheInstalledEngine) {
  installTestModel();
  const ProgramRun run = runProgram(text(prefix() / "bin/sayloom-cli"),
                                    {"transcribe", text(fixture("zeb.wav")), "--language", "en", "--cpu"});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.err, "인식된 말이 없습니다.\n");
}

}  // namespace
}  // namespace sayloom::test
