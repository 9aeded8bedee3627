// The application model: construction, published fields, user settings and the sleep rule.
#include "app/app_model.h"

#include <QPointer>

#include "app/audio_capture.h"
#include "app/whisper_recognition_service.h"
#include "core/data_paths.h"
#include "platform/logind_sleep_watcher.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"
#include "platform/sleep_watcher.h"

namespace sayloom {

namespace {
const QString readyStatus = QStringLiteral("녹음을 시작할 준비가 되었습니다");
const QString systemAudioPermissionWarning = QStringLiteral(
    "시스템 오디오 권한이 필요합니다. 시스템 설정에서 화면 및 시스템 오디오 녹음을 허용하고 다시 시도해 "
    "주세요.");
}  // namespace

AppServices AppServices::platformDefaults() {
  AppServices services;
  services.sleepWatcher = std::make_unique<platform::LogindSleepWatcher>();
  services.saveDialog = std::make_unique<platform::FileSaveDialog>();
  services.openDialog = std::make_unique<platform::FileOpenDialog>();
  services.displayList = std::make_unique<platform::DesktopDisplayList>();
  return services;
}

AppModel::AppModel(AppServices services, QObject* parent)
    : QObject(parent),
      m_services(std::move(services)),
      m_title(QString::fromUtf8(defaultNoteTitle)),
      m_status(readyStatus),
      m_cpuOnly(m_settings.cpuOnly()),
      m_shortcut(m_settings.overlayShortcut()),
      m_store(DataPaths::root()),
      m_recognizer(std::make_unique<WhisperRecognitionService>()) {
  if (m_services.sleepWatcher) {
    // The connection ends with the model, so a late notification never reaches a destroyed model.
    connect(m_services.sleepWatcher.get(), &platform::SleepWatcher::prepareForSleep, this,
            &AppModel::onPrepareForSleep);
  }
  m_loadTask.attach(runLoad());
}

AppModel::~AppModel() = default;

// --- published fields -------------------------------------------------------------------------

namespace {
template <typename T>
bool assign(T& field, const T& value) {
  if (field == value) {
    return false;
  }
  field = value;
  return true;
}
}  // namespace

void AppModel::setSelectedNoteID(const std::optional<QString>& id) {
  if (assign(m_selectedNoteID, id)) {
    emit selectedNoteIDChanged();
  }
}

const NativeNote* AppModel::selectedNote() const {
  return m_selectedNoteID ? findNote(*m_selectedNoteID) : nullptr;
}

void AppModel::setTitle(const QString& title) {
  if (assign(m_title, title)) {
    emit titleChanged();
  }
}

void AppModel::setLanguage(const QString& language) {
  if (assign(m_language, language)) {
    emit languageChanged();
  }
}

void AppModel::setSource(const QString& source) {
  if (assign(m_source, source)) {
    emit sourceChanged();
  }
}

void AppModel::setTranslationLanguage(const QString& language) {
  if (assign(m_translationLanguage, language)) {
    emit translationLanguageChanged();
  }
}

void AppModel::setLiveTranslation(bool on) {
  if (assign(m_liveTranslation, on)) {
    emit liveTranslationChanged();
  }
}

void AppModel::setStatus(const QString& status) {
  if (assign(m_status, status)) {
    emit statusChanged();
  }
}

// Every warning is announced, even one equal to the last, so that views show it again.
void AppModel::setWarning(const std::optional<QString>& warning) {
  m_warning = warning;
  emit warningChanged();
}

void AppModel::setWarningText(const QString& text) { setWarning(text); }

void AppModel::setRecording(bool on) {
  if (assign(m_recording, on)) {
    emit recordingChanged();
  }
}

void AppModel::setWorking(bool on) {
  if (assign(m_working, on)) {
    emit workingChanged();
  }
}

void AppModel::setRecognizing(bool on) {
  if (assign(m_recognizing, on)) {
    emit recognizingChanged();
  }
}

void AppModel::setLevel(float level) {
  if (assign(m_level, level)) {
    emit levelChanged();
  }
}

void AppModel::setElapsed(double seconds) {
  if (assign(m_elapsed, seconds)) {
    emit elapsedChanged();
  }
}

void AppModel::setHidden(bool hidden) {
  if (assign(m_hidden, hidden)) {
    emit hiddenChanged();
  }
}

void AppModel::setEditing(bool editing) {
  if (assign(m_editing, editing)) {
    emit editingChanged();
  }
}

void AppModel::setModelReady(bool ready) {
  if (assign(m_modelReady, ready)) {
    emit modelReadyChanged();
  }
}

void AppModel::setDownloadProgress(const std::optional<double>& progress) {
  if (assign(m_downloadProgress, progress)) {
    emit downloadProgressChanged();
  }
}

void AppModel::setWorkspaceID(const QString& id) {
  if (assign(m_workspaceID, id)) {
    emit workspaceIDChanged();
  }
}

void AppModel::setDisplayID(quint32 id) {
  if (assign(m_displayID, id)) {
    emit displayIDChanged();
  }
}

QCoro::Task<void> AppModel::loadDisplays() {
  platform::DisplayList* list = m_services.displayList.get();
  if (list == nullptr) {
    co_return;
  }
  try {
    auto check = [list] { list->checkSystemAudio(); };
    co_await runInBackground(std::move(check));
  } catch (...) {
    setWarningText(systemAudioPermissionWarning);
    co_return;
  }
  m_displays = list->screens();
  emit displaysChanged();
  setDisplayID(m_displays.empty() ? 0 : m_displays.front().identifier);
}

void AppModel::setCpuOnly(bool cpuOnly) {
  m_settings.setCpuOnly(cpuOnly);
  if (assign(m_cpuOnly, cpuOnly)) {
    emit cpuOnlyChanged();
  }
}

void AppModel::setNotes(std::vector<NativeNote> notes) {
  m_notes = std::move(notes);
  emit notesChanged();
}

NativeNote* AppModel::findNote(const QString& id) {
  const std::string key = id.toStdString();
  for (NativeNote& note : m_notes) {
    if (note.id == key) {
      return &note;
    }
  }
  return nullptr;
}

const NativeNote* AppModel::findNote(const QString& id) const {
  return const_cast<AppModel*>(this)->findNote(id);
}

QCoro::Task<void> AppModel::saveNote(NativeNote note) {
  LocalNoteStore* store = &m_store;
  auto save = [store, note = std::move(note)] { store->save(note); };
  co_await m_storeWorker.run(std::move(save));
}

}  // namespace sayloom
