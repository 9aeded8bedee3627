#pragma once
// A scratch world for application-model tests: a private data directory, settings folder and
// application-support folder, the scripted engine with a small model whose identity is
// overridden, and a model with replaceable platform pieces.
#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QSignalSpy>
#include <QTest>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "app/app_model.h"
#include "app/app_status.h"
#include "app/cloud/cloud_access.h"
#include "app/export/note_exporter.h"
#include "app/notes/note_library.h"
#include "app/overlays/overlay_windows.h"
#include "app/presets/preset_editor.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/audio_capture.h"
#include "app/recording/recording_session.h"
#include "app/settings/user_settings.h"
#include "app/speech_model/model_installer.h"
#include "core/native_error.h"
#include "platform/display_list.h"
#include "platform/save_dialog.h"
#include "support/file_bytes.h"
#include "support/temp_dir.h"

// Readable Qt texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

namespace sayloom::test {

namespace fs = std::filesystem;

// `bytes` of PCM that the engine is asked to transcribe (loud enough not to count as silence).
inline std::string speechPcm(std::size_t bytes = 256'000) {
  std::string out(bytes, '\0');
  for (std::size_t i = 0; i + 1 < bytes; i += 2) {
    out[i] = static_cast<char>(2'000 & 0xFF);
    out[i + 1] = static_cast<char>(2'000 >> 8);
  }
  return out;
}

inline std::string fakeEngine() { return std::string(SAYLOOM_TEST_FAKES_DIR) + "/fake-whisper-cli"; }

// Answers the save dialog from a queue; an empty answer is a cancel.
class ScriptedSaveDialog final : public platform::SaveDialog {
public:
  std::optional<QString> askSavePath(const QString& suggestedName, const QString& filter) override {
    asked.push_back({suggestedName, filter});
    if (answers.empty()) {
      return std::nullopt;
    }
    const bool cancelled = !answers.front().has_value();
    const QString path = answers.front().value_or(QString());
    answers.pop_front();
    if (cancelled) {
      return std::nullopt;
    }
    return path;
  }

  std::deque<std::optional<QString>> answers;
  std::vector<std::pair<QString, QString>> asked;
};

class FixedDisplayList final : public platform::DisplayList {
public:
  std::vector<Display> screens() override { return displays; }
  void checkSystemAudio() override {
    if (!reachable) {
      throw std::runtime_error("Connection refused");
    }
  }

  std::vector<Display> displays;
  bool reachable = true;
};

class AppModelTest : public ::testing::Test {
protected:
  AppModelTest()
      : m_data("SAYLOOM_DATA_DIR", (m_dir / "data").c_str()),
        m_config("XDG_CONFIG_HOME", (m_dir / "config").c_str()),
        m_xdgData("XDG_DATA_HOME", (m_dir / "xdg-data").c_str()),
        m_engine("SAYLOOM_WHISPER_CLI", fakeEngine().c_str()),
        m_modelSize("SAYLOOM_MODEL_SIZE", std::to_string(modelBytes().size()).c_str()),
        m_modelSha("SAYLOOM_MODEL_SHA256", modelSha256().c_str()),
        m_log("FAKE_WHISPER_LOG", (m_dir / "engine.log").c_str()) {
    fs::create_directories(m_dir / "data");
  }

  ~AppModelTest() override {
    if (m_model) {
      shutdown();
    }
  }

  static std::string modelBytes() { return "a small stand-in for the speech model"; }
  static std::string modelSha256() {
    return QCryptographicHash::hash(QByteArray::fromStdString(modelBytes()), QCryptographicHash::Sha256)
        .toHex()
        .toStdString();
  }

  fs::path root() const { return m_dir / "data"; }
  fs::path noteFolder(const std::string& id) const { return root() / "Notes" / id; }
  fs::path audioFolder(const std::string& id) const { return noteFolder(id) / "Audio"; }

  void installModel() { writeFile(root() / "Models" / "ggml-base.bin", modelBytes()); }

  // The engine's text for every run.
  void engineSays(const std::string& text) {
    writeFile(m_dir / "engine.json",
              R"({"transcription": [{"offsets": {"from": 0, "to": 1000}, "text": " )" + text + R"("}]})");
    m_engineJson.emplace("FAKE_WHISPER_JSON", (m_dir / "engine.json").c_str());
  }

  // Puts a shell snippet in front of every engine run (before the model is made).
  void engineRunsFirst(const std::string& snippet) {
    const fs::path wrapper = m_dir / "wrapped-engine";
    writeFile(wrapper, "#!/bin/sh\n" + snippet + "\nexec '" + fakeEngine() + "' \"$@\"\n");
    fs::permissions(wrapper, fs::perms::owner_all);
    m_wrappedEngine.emplace("SAYLOOM_WHISPER_CLI", wrapper.c_str());
  }

  // Lines of the engine's run log.
  int engineRuns() const {
    const std::string log = readFile(m_dir / "engine.log");
    return static_cast<int>(std::count(log.begin(), log.end(), '\n'));
  }

  // Makes the model (with the scripted dialog and displays, no sleep watcher unless given) and
  // waits for its start-up.
  AppModel& makeModel(std::unique_ptr<platform::SleepWatcher> sleepWatcher = nullptr,
                      CaptureFactory makeCapture = {}) {
    AppServices services;
    auto dialog = std::make_unique<ScriptedSaveDialog>();
    auto displays = std::make_unique<FixedDisplayList>();
    m_dialog = dialog.get();
    m_displays = displays.get();
    services.saveDialog = std::move(dialog);
    services.displayList = std::move(displays);
    services.sleepWatcher = std::move(sleepWatcher);
    services.settings = std::make_unique<platform::DesktopSettingsStore>();
    services.makeCapture =
        makeCapture ? std::move(makeCapture) : [] { return std::make_unique<AudioCapture>(); };
    services.cloud = std::move(m_cloud);
    services.overlays = std::move(m_overlays);
    services.cloudShutdownWait = m_cloudShutdownWait;
    m_model = std::make_unique<AppModel>(std::move(services));
    QCoro::waitFor(m_model->waitUntilLoaded());
    return *m_model;
  }

  void shutdown() {
    QCoro::waitFor(m_model->shutdown());
    m_model.reset();
  }

  // Waits on the Qt loop until `condition` holds (generous limit: the services are real).
  static bool eventually(const std::function<bool()>& condition, int timeoutMs = 60'000) {
    return QTest::qWaitFor(condition, timeoutMs);
  }

  // A stored note with `chunks` chunk files of the given sizes.
  NativeNote storedNote(const std::vector<std::size_t>& chunks, const std::string& title = "stored") {
    NativeNote note;
    note.title = title;
    for (std::size_t i = 0; i < chunks.size(); ++i) {
      char name[32];
      std::snprintf(name, sizeof name, "%08zu.pcm", i);
      writeFile(audioFolder(note.id) / name, speechPcm(chunks[i]));
    }
    LocalNoteStore(root()).save(note);
    return note;
  }

  TempDir m_dir;
  ScopedEnv m_data;
  ScopedEnv m_config;
  ScopedEnv m_xdgData;
  ScopedEnv m_engine;
  ScopedEnv m_modelSize;
  ScopedEnv m_modelSha;
  ScopedEnv m_log;
  std::optional<ScopedEnv> m_engineJson;
  std::optional<ScopedEnv> m_wrappedEngine;
  // Given to the next model when set (an account's cloud part, overlay windows).
  std::unique_ptr<CloudAccess> m_cloud;
  std::unique_ptr<OverlayWindows> m_overlays;
  // How long the next model's shutdown waits for cloud work.
  std::chrono::milliseconds m_cloudShutdownWait = AppServices().cloudShutdownWait;
  std::unique_ptr<AppModel> m_model;
  ScriptedSaveDialog* m_dialog = nullptr;
  FixedDisplayList* m_displays = nullptr;
};

}  // namespace sayloom::test
