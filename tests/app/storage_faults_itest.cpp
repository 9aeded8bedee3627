// Every writer of the data folder and of exports against storage that refuses writes: a small
// tmpfs over the data folder that fills up (ENOSPC), RLIMIT_FSIZE (EFBIG), the tmpfs remounted
// read-only (EROFS), and the note's or the whole data folder removed while recording. Each
// writer reports its own message, every file that was there before keeps its bytes, no temporary
// file is left, and a recording that can no longer write stops by itself.
//
// The tmpfs needs the right to mount (root, as in CI); where it is missing those faults are
// skipped and RLIMIT_FSIZE, which works for any user, still runs. Recordings use the scripted
// capture source; the model download a real HTTP server on loopback.
#include <iostream>

#include "app/scripted_recording.h"
#include "core/chunk_files.h"
#include "core/legacy_migration.h"
#include "core/whisper_output.h"
#include "support/folder_server.h"
#include "support/storage_faults.h"

namespace sayloom::test {
namespace {

enum class Fault { diskFull, fileSizeLimit, readOnly };

const char* nameOf(Fault fault) {
  switch (fault) {
    case Fault::diskFull:
      return "full disk";
    case Fault::fileSizeLimit:
      return "file size limit";
    case Fault::readOnly:
      return "read-only folder";
  }
  return "?";
}

// The platform's text for the fault, which the file system's errors carry.
QString errnoText(Fault fault) {
  switch (fault) {
    case Fault::diskFull:
      return QString::fromUtf8(std::strerror(ENOSPC));
    case Fault::fileSizeLimit:
      return QString::fromUtf8(std::strerror(EFBIG));
    case Fault::readOnly:
      return QString::fromUtf8(std::strerror(EROFS));
  }
  return {};
}

const QString chunkWriteFailed = QString::fromUtf8(messages::chunkWriteFailed);

class StorageFaultTest : public ScriptedRecordingTest {
protected:
  // Sets up the means of `fault` over an empty data folder; false when they are missing here.
  bool prepare(Fault fault) {
    fs::remove_all(root());
    fs::create_directories(root());
    if (fault != Fault::fileSizeLimit) {
      m_disk = SmallDisk::mountOver(root(), 16 << 20);
      return m_disk != nullptr;
    }
    return true;
  }

  void inject(Fault fault) {
    m_before = files();
    switch (fault) {
      case Fault::diskFull:
        m_disk->fill();
        break;
      case Fault::fileSizeLimit:
        m_limit.emplace(1);
        break;
      case Fault::readOnly:
        m_disk->setReadOnly(true);
        break;
    }
  }

  // Ends the fault, then the model, then the mount.
  void lift() {
    m_limit.reset();
    if (m_disk) {
      m_disk->setReadOnly(false);
      m_disk->empty();
    }
    if (m_model) {
      shutdown();
    }
    m_disk.reset();
    source = SourceScript{};
    m_warnings.clear();
  }

  // Every file under the data folder with its bytes (the filler of a full disk left out).
  std::map<fs::path, std::string> files() const {
    std::map<fs::path, std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(root())) {
      if (entry.is_regular_file() && entry.path().filename() != SmallDisk::fillerName) {
        found[fs::relative(entry.path(), root())] = readFile(entry.path());
      }
    }
    return found;
  }

  // The files that were there when the fault began still hold the same bytes, and no temporary
  // file is left anywhere.
  void expectEarlierFilesKept() const {
    const std::map<fs::path, std::string> now = files();
    for (const auto& [path, bytes] : m_before) {
      const auto it = now.find(path);
      ASSERT_NE(it, now.end()) << path << " is gone";
      EXPECT_TRUE(it->second == bytes) << path << " changed";
    }
    for (const auto& [path, bytes] : now) {
      EXPECT_FALSE(path.filename().string().ends_with(".tmp") ||
                   path.filename().string().ends_with(".download"))
          << path << " is left over";
    }
  }

  // Records the warnings of `model` from now on.
  void watchWarnings(AppModel& model) {
    m_warnings.clear();
    QObject::connect(&model.appStatus(), &AppStatus::warningChanged, [this, &model] {
      if (model.appStatus().warning()) {
        m_warnings.push_back(*model.appStatus().warning());
      }
    });
  }

  int warningsContaining(const QString& text) const {
    return static_cast<int>(std::count_if(m_warnings.begin(), m_warnings.end(),
                                          [&](const QString& warning) { return warning.contains(text); }));
  }

  std::unique_ptr<SmallDisk> m_disk;
  std::optional<FileSizeLimit> m_limit;
  std::map<fs::path, std::string> m_before;
  std::vector<QString> m_warnings;
};

// One writer: `before` makes the model and the files the fault must not harm, `act` runs the
// writer with the fault in place and looks at the outcome.
struct Writer {
  const char* name;
  std::function<void()> before;
  std::function<void(Fault)> act;
};

class StorageFaultWriters : public StorageFaultTest {
protected:
  void runAll(Fault fault);
  std::vector<Writer> writers();

  std::optional<FolderServer> m_hub;
  QString m_noteID;
};

std::vector<Writer> StorageFaultWriters::writers() {
  return {

      {"first note save at start", [this] { makeScriptedModel(); },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         QCoro::waitFor(model.startRecording());
         EXPECT_EQ(warningsContaining(errnoText(fault)), 1);
         EXPECT_FALSE(model.session().recording());
         EXPECT_FALSE(model.appStatus().working());
         EXPECT_TRUE(model.library().notes().empty());
         EXPECT_FALSE(source.handler) << "a capture was started";
         EXPECT_FALSE(fs::exists(root() / "Notes") && !fs::is_empty(root() / "Notes"))
             << "a note folder is left";
       }},
      {"note save in recovery",
       [this] {
         installModel();
         engineSays("recovered");
         storedNote({256'000, 1'000});
         makeModel();
       },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         QCoro::waitFor(model.recoverSelected());
         EXPECT_EQ(warningsContaining(errnoText(fault)), 1);
         EXPECT_FALSE(model.recognition().recognizing());
         EXPECT_EQ(engineRuns(), 0);
       }},
      {"recording while the disk fails: chunk files, transcript, save at stop",
       [this] {
         installModel();
         engineSays("chunk");
         // The engine waits for the fault, so that the chunk's transcript is written under it.
         engineRunsFirst("while [ ! -e '" + (m_dir / "go").string() + "' ]; do sleep 0.05; done");
         AppModel& model = makeScriptedModel();
         m_noteID = start(model);
         push(samplesPerChunk);
         ASSERT_TRUE(eventually([&] { return model.recognition().recognizing(); }));
       },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         writeFile(m_dir / "go", "");
         // More audio than the disk takes; the capture gives up at once and the recording stops.
         source.push(std::vector<float>(48'000, 0.25f));
         ASSERT_TRUE(eventually([&] { return !model.session().recording() && !model.appStatus().working(); },
                                20'000));
         ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 20'000));
         EXPECT_EQ(warningsContaining(chunkWriteFailed), 1) << "the capture reports once and stops";
         EXPECT_GE(warningsContaining(errnoText(fault)) +
                       warningsContaining(QString::fromUtf8(messages::whisperFailed)),
                   2)
             << "the transcript (or, under a size limit, the engine) and the save at stop fail";
         EXPECT_TRUE(source.stopped);
         EXPECT_FALSE(
             fs::exists(chunks::transcriptFile(audioFolder(m_noteID.toStdString()) / "00000000.pcm")));
         EXPECT_TRUE(model.library().find(m_noteID)->segments.empty());
       }},
      {"preset save",
       [this] {
         AppModel& model = makeModel();
         model.presetEditor().setSaveDelay(std::chrono::milliseconds(1));
         model.newPreset(false);
         ASSERT_TRUE(eventually([&] { return !model.presetEditor().savePending(); }));
         ASSERT_TRUE(fs::exists(root() / "overlay-presets.json"));
       },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         model.newPreset(true);
         ASSERT_TRUE(eventually([&] { return !model.presetEditor().savePending(); }));
         EXPECT_EQ(warningsContaining(errnoText(fault)), 1);
       }},
      {"layout save",
       [this] {
         // Presets from a newer version are never saved, so only the layout file is written.
         writeFile(root() / "overlay-presets.json", R"({"Version": 3, "Presets": []})");
         AppModel& model = makeModel();
         model.presetEditor().setSaveDelay(std::chrono::milliseconds(1));
         model.recordLayout(QStringLiteral("builtin-widget"), Rect{10, 20, 400, 200});
         ASSERT_TRUE(eventually([&] { return !model.presetEditor().savePending(); }));
         ASSERT_TRUE(fs::exists(root() / "layout-macos.json"));
       },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         model.recordLayout(QStringLiteral("builtin-widget"), Rect{30, 40, 500, 300});
         ASSERT_TRUE(eventually([&] { return !model.presetEditor().savePending(); }));
         EXPECT_EQ(warningsContaining(errnoText(fault)), 1);
       }},
      {"WAV export",
       [this] {
         storedNote({256'000, 1'000});
         writeFile(root() / "exports" / "a.wav", "the previous export");
         makeModel();
       },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         m_dialog->answers.push_back(QString::fromStdString((root() / "exports" / "a.wav").string()));
         QCoro::waitFor(model.exportAudio());
         EXPECT_EQ(warningsContaining(errnoText(fault)), 1);
         EXPECT_FALSE(model.appStatus().working());
       }},
      {"transcript export",
       [this] {
         storedNote({1'000}, "회의록");
         writeFile(root() / "exports" / "a.txt", "the previous transcript");
         makeModel();
       },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         m_dialog->answers.push_back(QString::fromStdString((root() / "exports" / "a.txt").string()));
         QCoro::waitFor(model.exportTranscript());
         EXPECT_EQ(warningsContaining(errnoText(fault)), 1);
       }},
      {"model install",
       [this] {
         writeFile(root() / "Models" / "ggml-base.bin", "an earlier model file");
         writeFile(m_dir / "hub" / "ggml-base.bin", modelBytes());
         m_hub.emplace(m_dir / "hub");
         setenv("SAYLOOM_MODEL_URL", m_hub->url("/ggml-base.bin").c_str(), 1);
         makeModel();
         unsetenv("SAYLOOM_MODEL_URL");
       },
       [this](Fault fault) {
         AppModel& model = *m_model;
         watchWarnings(model);
         model.downloadModel();
         ASSERT_TRUE(eventually([&] { return !model.modelInstaller().downloadTask(); }));
         EXPECT_EQ(warningsContaining(errnoText(fault)), 1);
         EXPECT_FALSE(model.modelInstaller().downloadProgress());
         m_hub.reset();
       }},
      {"legacy settings snapshot", [] { writeFile(legacyFolder() / "Preferences", "legacy settings"); },
       [this](Fault) {
         // The snapshot is taken during the start-up.
         AppModel& model = makeModel();
         ASSERT_TRUE(model.appStatus().warning());
         EXPECT_EQ(*model.appStatus().warning(), QString::fromUtf8(messages::legacySnapshotFailed));
         EXPECT_FALSE(fs::exists(root() / "migration-v1.json"));
         EXPECT_EQ(readFile(legacyFolder() / "Preferences"), "legacy settings");
       }},
  };
}

void StorageFaultWriters::runAll(Fault fault) {
  for (const Writer& writer : writers()) {
    SCOPED_TRACE(std::string(writer.name) + " on a " + nameOf(fault));
    if (!prepare(fault)) {
      GTEST_SKIP() << "this process may not mount a tmpfs";
    }
    writer.before();
    inject(fault);
    writer.act(fault);
    // What each writer said, for the record.
    std::cout << writer.name << " on a " << nameOf(fault) << ":" << std::endl;
    for (const QString& warning : m_warnings) {
      std::cout << "  " << warning.toStdString() << std::endl;
    }
    expectEarlierFilesKept();
    lift();
    fs::remove_all(legacyFolder());
    fs::remove(m_dir / "go");
  }
}

TEST_F(StorageFaultWriters, OnAFullDisk) { runAll(Fault::diskFull); }
TEST_F(StorageFaultWriters, UnderAFileSizeLimit) { runAll(Fault::fileSizeLimit); }
TEST_F(StorageFaultWriters, InAReadOnlyFolder) { runAll(Fault::readOnly); }

// The note's folder, or the whole data folder, removed while recording: the capture cannot create
// its next chunk, says so once and the recording stops; nothing is written outside the data folder.
TEST_F(StorageFaultTest, AFolderRemovedWhileRecordingStopsTheRecording) {
  for (const bool wholeDataFolder : {false, true}) {
    SCOPED_TRACE(wholeDataFolder ? "data folder removed" : "note folder removed");
    installModel();
    engineSays("gone");
    AppModel& model = makeScriptedModel();
    watchWarnings(model);
    const QString id = start(model);
    push(samplesPerChunk / 2);
    fs::remove_all(wholeDataFolder ? root() : noteFolder(id.toStdString()));
    const std::set<fs::path> outside = {m_dir / "engine.json", m_dir / "engine.log", m_dir / "config"};

    // The open chunk still takes its bytes; the next one cannot be created.
    push(samplesPerChunk / 2);
    source.push(std::vector<float>(16'000, 0.25f));
    ASSERT_TRUE(
        eventually([&] { return !model.session().recording() && !model.appStatus().working(); }, 20'000));
    ASSERT_TRUE(eventually([&] { return !model.recognition().recognizing(); }, 20'000));
    EXPECT_EQ(warningsContaining(chunkWriteFailed), 1);
    EXPECT_TRUE(source.stopped);
    for (const auto& entry : fs::directory_iterator(m_dir.path())) {
      EXPECT_TRUE(entry.path() == root() || outside.contains(entry.path()) ||
                  entry.path().filename() == "xdg-data")
          << entry.path() << " was written outside the data folder";
    }

    // The model goes on working: a new recording is stored whole (recognising it needs the model
    // file, which went with the data folder).
    m_warnings.clear();
    const QString next = start(model);
    push(16'000);
    QCoro::waitFor(model.stopRecording());
    EXPECT_EQ(warningsContaining(chunkWriteFailed), 0);
    EXPECT_EQ(readFile(audioFolder(next.toStdString()) / "00000000.pcm").size(), 32'000U);
    EXPECT_TRUE(storedCopy(next).completed);
    lift();
    fs::create_directories(root());
  }
}

}  // namespace
}  // namespace sayloom::test
