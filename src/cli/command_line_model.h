#pragma once
// The parts of the application model that sayloom-cli records with, made and wired the way the
// application makes them: the note library, the speech engine, the model installer, the
// recognition queue and the recording session, on the application's data folder, engine, model
// and sleep rule (logind). No presets, overlay windows or account: the application's own files
// stay untouched and nothing leaves the machine.
//
// Thread contract: main thread only, like the parts it holds.
#include <QCoro/QCoroTask>
#include <cstdint>
#include <memory>

#include "platform/display_list.h"

namespace sayloom {
class AppStatus;
class CloudAccess;
class ModelInstaller;
class NoteLibrary;
class RecognitionQueue;
class RecordingSession;
class UserSettings;
class WhisperRecognitionService;
namespace platform {
class SettingsStore;
class SleepWatcher;
}  // namespace platform
}  // namespace sayloom

namespace sayloom::cli {

// System audio on a machine that may have no window system: the sound server's default output
// is what every display plays, so the one display offered is the one the user named.
class SoundServerDisplays final : public platform::DisplayList {
public:
  explicit SoundServerDisplays(std::uint32_t display) : m_display(display) {}
  std::vector<Display> screens() override;
  // Throws the sound server's error when its default output's monitor cannot be reached.
  void checkSystemAudio() override;

private:
  std::uint32_t m_display;
};

class CommandLineModel {
public:
  // `cpuOnly` adds processor-only recognition to the user's own setting, for this run only.
  // `display` is the display whose system audio is offered.
  CommandLineModel(bool cpuOnly, std::uint32_t display);
  ~CommandLineModel();
  CommandLineModel(const CommandLineModel&) = delete;
  CommandLineModel& operator=(const CommandLineModel&) = delete;

  AppStatus& status() { return *m_status; }
  NoteLibrary& library() { return *m_library; }
  ModelInstaller& modelInstaller() { return *m_modelInstaller; }
  RecognitionQueue& recognition() { return *m_recognition; }
  RecordingSession& session() { return *m_session; }

  // Stops a running recording (saving its note), lets the recognition worker end and waits for it.
  QCoro::Task<void> shutdown();

private:
  std::unique_ptr<AppStatus> m_status;
  std::unique_ptr<platform::SettingsStore> m_settingsStore;
  std::unique_ptr<UserSettings> m_settings;
  std::unique_ptr<CloudAccess> m_cloud;
  std::unique_ptr<NoteLibrary> m_library;
  std::unique_ptr<WhisperRecognitionService> m_recognizer;
  std::unique_ptr<ModelInstaller> m_modelInstaller;
  std::unique_ptr<RecognitionQueue> m_recognition;
  std::unique_ptr<platform::SleepWatcher> m_sleepWatcher;
  std::unique_ptr<SoundServerDisplays> m_displays;
  std::unique_ptr<RecordingSession> m_session;
};

}  // namespace sayloom::cli
