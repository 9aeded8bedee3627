// The application model fed what someone else made: FIFOs and links where its files belong, audio
// folders and chunks that lead out of the data folder, note ids made of path pieces, and an engine
// whose output is huge, endless, not a file or not the expected JSON, or that never ends. Nothing
// hangs or crashes, nothing outside the data folder is read or written, and every failure is a
// warning.
#include <sys/stat.h>

#include <csignal>

#include "app/app_model_fixture.h"
#include "core/chunk_files.h"
#include "core/legacy_migration.h"
#include "core/whisper_output.h"

namespace sayloom::test {
namespace {

void fifo(const fs::path& path) {
  fs::create_directories(path.parent_path());
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
}

// Every entry below `folder`, links not followed, with the size of regular files.
std::map<std::string, std::uintmax_t> entries(const fs::path& folder) {
  std::map<std::string, std::uintmax_t> found;
  for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
    found[fs::relative(it->path(), folder).string()] =
        it->symlink_status().type() == fs::file_type::regular ? it->file_size() : 0;
  }
  return found;
}

class HostileInputTest : public AppModelTest {
protected:
  // Replaces the engine by a shell script; "$9" is the output base, as the engine is called.
  void engineIs(const std::string& script) {
    const fs::path engine = m_dir / "hostile-engine";
    writeFile(engine, "#!/bin/sh\n" + script + "\n");
    fs::permissions(engine, fs::perms::owner_all);
    m_hostileEngine.emplace("SAYLOOM_WHISPER_CLI", engine.c_str());
  }

  std::optional<ScopedEnv> m_hostileEngine;
};

TEST_F(HostileInputTest, StartUpFinishesWhenFifosStandWhereItsFilesBelong) {
  for (const fs::path& file : {root() / "overlay-presets.json", root() / "layout-macos.json",
                               root() / "Models" / "ggml-base.bin", legacyFolder() / "Preferences"}) {
    fifo(file);
  }
  storedNote({256'000});
  AppModel& model = makeModel();
  EXPECT_EQ(model.library().notes().size(), 1U);
  EXPECT_TRUE(model.presetEditor().presetReadOnly())
      << "a preset file that cannot be copied aside locks saving";

  // The model file is there by name only: recognition refuses it rather than waiting on it.
  QCoro::waitFor(model.recoverSelected());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
  ASSERT_TRUE(model.appStatus().warning());
  EXPECT_EQ(engineRuns(), 0);
}

TEST_F(HostileInputTest, AudioThatLeadsOutOfTheDataFolderIsNeitherReadNorWrittenThere) {
  installModel();
  engineSays("outside");
  const fs::path outside = m_dir / "outside";
  writeFile(outside / "00000000.pcm", speechPcm());
  writeFile(outside / "secret.txt", "not for the recorder");

  // One note's audio folder is a link out of the data folder; another's chunks are links, a FIFO
  // and a file of gigabytes.
  const NativeNote linked = storedNote({});
  fs::create_directory_symlink(outside, audioFolder(linked.id));
  NativeNote odd = storedNote({});
  fs::create_directories(audioFolder(odd.id));
  fs::create_symlink(outside / "00000000.pcm", audioFolder(odd.id) / "00000000.pcm");
  fs::create_symlink("/dev/zero", audioFolder(odd.id) / "00000001.pcm");
  fifo(audioFolder(odd.id) / "00000002.pcm");
  writeFile(audioFolder(odd.id) / "00000003.pcm", "");
  fs::resize_file(audioFolder(odd.id) / "00000003.pcm", std::uintmax_t{2} << 30);
  const auto outsideBefore = entries(outside);

  AppModel& model = makeModel();
  for (const NativeNote& note : {linked, odd}) {
    SCOPED_TRACE(note.id == linked.id ? "linked audio folder" : "odd chunks");
    model.appStatus().setWarning(std::nullopt);
    model.library().setSelectedNoteID(QString::fromStdString(note.id));
    QCoro::waitFor(model.recoverSelected());
    ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
    EXPECT_TRUE(model.appStatus().warning());
    EXPECT_TRUE(model.library().find(QString::fromStdString(note.id))->segments.empty());

    model.appStatus().setWarning(std::nullopt);
    m_dialog->answers.push_back(QString::fromStdString((m_dir / "export.wav").string()));
    if (note.id == linked.id) {
      QCoro::waitFor(model.exportAudio());
      EXPECT_TRUE(model.appStatus().warning());
      EXPECT_FALSE(fs::exists(m_dir / "export.wav"));
    }
    EXPECT_EQ(QCoro::waitFor(model.library().audioSeconds(QString::fromStdString(linked.id))), 0.0);
  }
  EXPECT_EQ(engineRuns(), 0) << "no chunk from outside reached the engine";
  EXPECT_EQ(entries(outside), outsideBefore) << "nothing was written outside the data folder";
}

// A note whose id is made of path pieces never comes from the store (it checks every id against
// its folder's name); should one reach the model anyway, no operation builds a path from it.
TEST_F(HostileInputTest, ANoteIdMadeOfPathPiecesReachesNoPath) {
  installModel();
  writeFile(m_dir / "Audio" / "00000000.pcm", speechPcm());
  AppModel& model = makeModel();
  NativeNote note;
  note.id = "../../Audio/..";
  model.library().addFirst(note);
  model.library().setSelectedNoteID(QString::fromStdString(note.id));
  const auto before = entries(m_dir.path());
  const QString invalidId = QString::fromUtf8(messages::invalidNoteId);

  QCoro::waitFor(model.recoverSelected());
  ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
  EXPECT_EQ(model.appStatus().warning(), invalidId);
  model.appStatus().setWarning(std::nullopt);
  m_dialog->answers.push_back(QString::fromStdString((m_dir / "export.wav").string()));
  QCoro::waitFor(model.exportAudio());
  EXPECT_EQ(model.appStatus().warning(), invalidId);
  EXPECT_EQ(QCoro::waitFor(model.library().audioSeconds(QString::fromStdString(note.id))), 0.0);
  EXPECT_EQ(entries(m_dir.path()), before);
  EXPECT_EQ(engineRuns(), 0);
}

TEST_F(HostileInputTest, EngineOutputThatIsHugeEndlessNotAFileOrMalformedIsAWarning) {
  struct Case {
    const char* name;
    std::string script;
    std::optional<QString> warning;  // else the platform's text
  };
  const std::vector<Case> cases = {
      {"gigabytes", "truncate -s 3G \"$9.json\"", std::nullopt},
      {"endless", "ln -s /dev/zero \"$9.json\"", std::nullopt},
      {"a FIFO", "mkfifo \"$9.json\"", std::nullopt},
      {"a folder", "mkdir \"$9.json\"", std::nullopt},
      {"cut short", "printf '{\"transcription\": [' > \"$9.json\"", std::nullopt},
      {"deeply nested", "head -c 1000000 /dev/zero | tr '\\0' '[' > \"$9.json\"", std::nullopt},
      {"wrong shape", "printf '{\"transcription\": {\"text\": 1}}' > \"$9.json\"",
       QString::fromUtf8(messages::whisperResultUnreadable)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    installModel();
    engineIs(c.script);
    const NativeNote note = storedNote({256'000});
    AppModel& model = makeModel();
    QCoro::waitFor(model.recoverSelected());
    ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }));
    ASSERT_TRUE(model.appStatus().warning());
    if (c.warning) {
      EXPECT_EQ(*model.appStatus().warning(), *c.warning);
    }
    EXPECT_TRUE(model.library().notes().front().segments.empty());
    EXPECT_EQ(readFile(audioFolder(note.id) / "00000000.pcm"), speechPcm()) << "the audio is kept";
    shutdown();
    fs::remove_all(root());
  }
}

// An engine that never ends and ignores the ordinary termination request holds up recognition, but
// neither the next recording's stop nor the shutdown, which ends it.
TEST_F(HostileInputTest, AnEngineThatNeverEndsIsEndedAtShutdown) {
  installModel();
  engineIs("trap '' TERM\necho $$ > '" + (m_dir / "engine.pid").string() + "'\nwhile :; do sleep 0.2; done");
  storedNote({256'000});
  AppModel& model = makeModel();
  QCoro::waitFor(model.recoverSelected());
  ASSERT_TRUE(
      eventually([&] { return fs::exists(m_dir / "engine.pid") && model.recognition().recognizing(); }));
  const pid_t engine = std::stoi(readFile(m_dir / "engine.pid"));
  ASSERT_EQ(::kill(engine, 0), 0);
  shutdown();
  EXPECT_NE(::kill(engine, 0), 0) << "the engine outlived the app";
}

}  // namespace
}  // namespace sayloom::test
