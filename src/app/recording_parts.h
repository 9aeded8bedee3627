#pragma once
// The parts every recording needs, made and wired in one place for the application model and for
// sayloom-cli: the status line, the user's settings, the access to the cloud, the note library, the
// speech engine, the speech model's installer, the recognition queue, the recording session and the
// exporter. The application model adds the presets and the overlays around them; the command line
// uses them as they are, so a recording, a recovery, a model download or an export runs the same
// code in both.
//
// Thread contract: main thread only, like the parts it holds.
// Lifetime: await `stopAndClose` before destroying the parts while anything may still run.
#include <QCoro/QCoroTask>
#include <filesystem>
#include <memory>

namespace sayloom {

struct AppServices;
class AppStatus;
class CloudAccess;
class ModelInstaller;
class NoteExporter;
class NoteLibrary;
class RecognitionQueue;
class RecordingSession;
class UserSettings;
class WhisperRecognitionService;
namespace platform {
class SettingsStore;
}  // namespace platform

class RecordingParts {
public:
  // Makes the parts on the data folder `root`. Takes the settings store and the cloud from
  // `services` (kept in memory and local-only when null); borrows its sleep watcher, display list
  // and save dialog, which must outlive the parts.
  RecordingParts(AppServices& services, const std::filesystem::path& root);
  ~RecordingParts();
  RecordingParts(const RecordingParts&) = delete;
  RecordingParts& operator=(const RecordingParts&) = delete;

  AppStatus& status() { return *m_status; }
  UserSettings& settings() { return *m_settings; }
  CloudAccess& cloud() { return *m_cloud; }
  NoteLibrary& library() { return *m_library; }
  WhisperRecognitionService& recognizer() { return *m_recognizer; }
  ModelInstaller& modelInstaller() { return *m_modelInstaller; }
  RecognitionQueue& recognition() { return *m_recognition; }
  RecordingSession& session() { return *m_session; }
  NoteExporter& exporter() { return *m_exporter; }

  // A recording runs, a command works (start, stop, export, a cloud save) or recognition runs.
  bool busy() const;

  // Lets a start, stop or export in progress finish, stops a running recording (saving its note),
  // then ends recognition and recovery and accepts no further chunks.
  QCoro::Task<void> stopAndClose();

private:
  // In the order they are made; each may use those made before it.
  std::unique_ptr<AppStatus> m_status;
  std::unique_ptr<platform::SettingsStore> m_settingsStore;
  std::unique_ptr<UserSettings> m_settings;
  std::unique_ptr<CloudAccess> m_cloud;
  std::unique_ptr<NoteLibrary> m_library;
  std::unique_ptr<WhisperRecognitionService> m_recognizer;
  std::unique_ptr<ModelInstaller> m_modelInstaller;
  std::unique_ptr<RecognitionQueue> m_recognition;
  std::unique_ptr<RecordingSession> m_session;
  std::unique_ptr<NoteExporter> m_exporter;
};

}  // namespace sayloom
