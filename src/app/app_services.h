#pragma once
// Everything outside the application model that it reaches: the platform's pieces behind
// interfaces, the capture of a recording, and the engine and download settings. Tests replace a
// piece while the rest stays real. A missing piece (null) means the platform does not offer it.
#include <chrono>
#include <memory>

#include "app/overlays/overlay_windows.h"
#include "app/recognition/whisper_recognition_service.h"
#include "app/recording/recording_session.h"
#include "app/speech_model/model_downloader.h"
#include "platform/display_list.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"
#include "platform/settings_store.h"
#include "platform/sleep_watcher.h"

namespace sayloom {

class CloudAccess;

struct AppServices {
  // Announces sleep and holds it back while a recording is stopped and saved.
  std::unique_ptr<platform::SleepWatcher> sleepWatcher;
  // Asks for the destination of an export.
  std::unique_ptr<platform::SaveDialog> saveDialog;
  // The displays whose system audio can be recorded.
  std::unique_ptr<platform::DisplayList> displayList;
  // Asks for a preset file to import.
  std::unique_ptr<platform::OpenDialog> openDialog;
  // The overlay windows; made by the window layer, none without one.
  std::unique_ptr<OverlayWindows> overlays;
  // The user's settings; kept in memory when null.
  std::unique_ptr<platform::SettingsStore> settings;
  // Makes each recording's capture; recordings cannot start without it.
  CaptureFactory makeCapture;
  // The account and cloud sync; nothing leaves the machine when null.
  std::unique_ptr<CloudAccess> cloud;
  // Where the engine and the model are, and where the model comes from (read from the environment
  // when the services are made).
  WhisperRecognitionService::Settings recognition = WhisperRecognitionService::Settings::fromEnvironment();
  ModelDownloader::Settings download = ModelDownloader::Settings::fromEnvironment();
  // How long cloud work may go on at shutdown before it is cancelled (and taken up at the next
  // start).
  std::chrono::milliseconds cloudShutdownWait{10'000};

  // The desktop's own pieces: logind on the system bus, screens, the settings file, and capture
  // from the sound server converted by soxr. The dialogs are widgets: the window layer adds them
  // (ui/desktop_services.h).
  static AppServices platformDefaults();

  AppServices();
  AppServices(AppServices&&) noexcept;
  AppServices& operator=(AppServices&&) noexcept;
  ~AppServices();
};

}  // namespace sayloom
