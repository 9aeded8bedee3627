// sayloom-cli's composition of the recording parts, and system audio without a window system.
#include "cli/command_line_model.h"

#include "app/app_status.h"
#include "app/recording/audio_capture.h"
#include "app/cloud/cloud_access.h"
#include "app/speech_model/model_installer.h"
#include "app/notes/note_library.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/recording_session.h"
#include "app/settings/user_settings.h"
#include "app/recognition/whisper_recognition_service.h"
#include "core/data_paths.h"
#include "platform/logind_sleep_watcher.h"
#include "platform/pulse_source.h"
#include "platform/settings_store.h"

namespace sayloom::cli {

std::vector<Display> SoundServerDisplays::screens() {
  Display display;
  display.identifier = m_display;
  display.name = "display " + std::to_string(m_display);
  return {display};
}

void SoundServerDisplays::checkSystemAudio() {
  platform::PulseSource::probe(platform::SourceKind::defaultSinkMonitor);
}

CommandLineModel::CommandLineModel(bool cpuOnly, std::uint32_t display) {
  // The user's setting is read, never written: the run's own choice stays with the run.
  auto settings = std::make_unique<platform::MemorySettingsStore>();
  settings->setCpuOnly(cpuOnly || platform::DesktopSettingsStore().cpuOnly());
  m_settingsStore = std::move(settings);

  m_status = std::make_unique<AppStatus>();
  m_settings = std::make_unique<UserSettings>(*m_settingsStore);
  m_cloud = std::make_unique<LocalOnlyCloud>();
  m_library = std::make_unique<NoteLibrary>(DataPaths::root(), *m_status);
  m_recognizer =
      std::make_unique<WhisperRecognitionService>(WhisperRecognitionService::Settings::fromEnvironment());
  m_modelInstaller = std::make_unique<ModelInstaller>(ModelDownloader::Settings::fromEnvironment(),
                                                      *m_recognizer, *m_status);
  m_recognition = std::make_unique<RecognitionQueue>(*m_library, *m_modelInstaller, *m_settings,
                                                     *m_recognizer, *m_status);
  m_sleepWatcher = std::make_unique<platform::LogindSleepWatcher>();
  m_displays = std::make_unique<SoundServerDisplays>(display);
  m_session = std::make_unique<RecordingSession>(
      RecordingSession::Parts{*m_library, *m_recognition, *m_modelInstaller, *m_cloud, *m_status},
      [] { return std::make_unique<AudioCapture>(); }, m_sleepWatcher.get(), m_displays.get());
}

CommandLineModel::~CommandLineModel() = default;

QCoro::Task<void> CommandLineModel::shutdown() {
  co_await m_status->idle();
  co_await m_session->stop();
  co_await m_recognition->close();
}

}  // namespace sayloom::cli
