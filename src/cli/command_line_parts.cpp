// sayloom-cli's services for the recording parts, and system audio without a window system.
#include "cli/command_line_parts.h"

#include <QMetaObject>

#include "app/app_status.h"
#include "app/notes/note_library.h"
#include "app/recording/audio_capture.h"
#include "app/speech_model/model_installer.h"
#include "cli/cli_support.h"
#include "core/native_error.h"
#include "platform/logind_sleep_watcher.h"
#include "platform/pulse_source.h"
#include "platform/save_dialog.h"
#include "platform/settings_store.h"

namespace sayloom::cli {

namespace {

// The destination named on the command line, as the save dialog's answer.
class NamedDestination final : public platform::SaveDialog {
public:
  explicit NamedDestination(std::filesystem::path path) : m_path(std::move(path)) {}
  std::optional<QString> askSavePath(const QString&, const QString&) override {
    return QString::fromStdString(m_path.string());
  }

private:
  std::filesystem::path m_path;
};

}  // namespace

std::vector<Display> SoundServerDisplays::screens() {
  Display display;
  display.identifier = m_display;
  display.name = "display " + std::to_string(m_display);
  return {display};
}

void SoundServerDisplays::checkSystemAudio() {
  platform::PulseSource::probe(platform::SourceKind::defaultSinkMonitor);
}

CommandLineParts::CommandLineParts(const Options& options) {
  // The user's setting is read, never written: the run's own choice stays with the run.
  auto settings = std::make_unique<platform::MemorySettingsStore>();
  settings->setCpuOnly(options.cpuOnly || platform::DesktopSettingsStore().cpuOnly());
  m_services.settings = std::move(settings);
  m_services.sleepWatcher = std::make_unique<platform::LogindSleepWatcher>();
  m_services.displayList = std::make_unique<SoundServerDisplays>(options.display);
  m_services.makeCapture = [] { return std::make_unique<AudioCapture>(); };
  if (!options.exportDestination.empty()) {
    m_services.saveDialog = std::make_unique<NamedDestination>(options.exportDestination);
  }
  m_parts = std::make_unique<RecordingParts>(m_services, dataRoot());
}

CommandLineParts::~CommandLineParts() = default;

QCoro::Task<void> CommandLineParts::openNote(const std::string& id) {
  NoteLibrary& library = m_parts->library();
  const QString noteID = QString::fromStdString(id);
  std::optional<NativeNote> note = co_await library.stored(noteID);
  // Not there or not readable: requireNote says which (an invalid id, no such note, the store's
  // error), or reads it after all.
  library.addFirst(note ? std::move(*note) : requireNote(id));
  library.setSelectedNoteID(noteID);
}

QCoro::Task<void> CommandLineParts::requireModel() {
  co_await m_parts->modelInstaller().check();
  if (!m_parts->modelInstaller().modelReady()) {
    throw NativeError::message(messages::downloadModelFirst);
  }
}

void CommandLineParts::onInterrupt(const std::stop_token& stop, std::function<void()> action) {
  m_onInterrupt.reset();
  m_onInterrupt.emplace(stop, [this, action = std::move(action)] {
    QMetaObject::invokeMethod(&m_context, action, Qt::QueuedConnection);
  });
}

void CommandLineParts::finish(const std::stop_token& stop) {
  if (stop.stop_requested()) {
    throw Cancelled();
  }
  if (const std::optional<QString>& warning = m_parts->status().warning()) {
    throw NativeError::message(warning->toStdString());
  }
}

}  // namespace sayloom::cli
