// Making the recording parts and wiring them to one another.
#include "app/recording_parts.h"

#include "app/app_services.h"
#include "app/app_status.h"
#include "app/cloud/cloud_access.h"
#include "app/export/note_exporter.h"
#include "app/notes/note_library.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/recording_session.h"
#include "app/settings/user_settings.h"
#include "app/speech_model/model_installer.h"

namespace sayloom {

RecordingParts::RecordingParts(AppServices& services, const std::filesystem::path& root) {
  m_status = std::make_unique<AppStatus>();
  m_settingsStore =
      services.settings ? std::move(services.settings) : std::make_unique<platform::MemorySettingsStore>();
  m_settings = std::make_unique<UserSettings>(*m_settingsStore);
  m_cloud = services.cloud ? std::move(services.cloud) : std::make_unique<LocalOnlyCloud>();
  m_library = std::make_unique<NoteLibrary>(root, *m_status);
  m_recognizer = std::make_unique<WhisperRecognitionService>(services.recognition);
  m_modelInstaller = std::make_unique<ModelInstaller>(services.download, *m_recognizer, *m_status);
  m_recognition = std::make_unique<RecognitionQueue>(*m_library, *m_modelInstaller, *m_settings,
                                                     *m_recognizer, *m_status);
  m_session = std::make_unique<RecordingSession>(
      RecordingSession::Parts{*m_library, *m_recognition, *m_modelInstaller, *m_cloud, *m_status},
      services.makeCapture, services.sleepWatcher.get(), services.displayList.get());
  m_exporter = std::make_unique<NoteExporter>(*m_library, *m_session, *m_status, services.saveDialog.get());
}

RecordingParts::~RecordingParts() = default;

bool RecordingParts::busy() const {
  return m_session->recording() || m_status->working() || m_recognition->recognizing();
}

QCoro::Task<void> RecordingParts::stopAndClose() {
  co_await m_status->idle();
  co_await m_session->stop();
  co_await m_recognition->close();
}

}  // namespace sayloom
