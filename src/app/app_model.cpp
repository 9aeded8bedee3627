// The application model: making and wiring the parts, the start-up and the orderly shutdown.
#include "app/app_model.h"

#include "app/app_status.h"
#include "app/cloud/cloud_access.h"
#include "app/concurrency/serial_worker.h"
#include "app/export/note_exporter.h"
#include "app/notes/note_library.h"
#include "app/overlays/overlays.h"
#include "app/presets/preset_editor.h"
#include "app/recognition/recognition_queue.h"
#include "app/recording/audio_capture.h"
#include "app/settings/user_settings.h"
#include "app/speech_model/model_installer.h"
#include "core/data_paths.h"
#include "core/legacy_migration.h"
#include "core/native_error.h"

namespace sayloom {

namespace {
const char* const emptyCaption = "녹음을 시작하면 자막이 여기에 표시됩니다.";
const char* const noteHeldElsewhere =
    "이 노트는 지금 다른 프로그램(sayloom-cli)이 녹음하거나 복구하고 있습니다. 끝난 뒤 다시 시도해 주세요.";
const QString shortcutRefused = QStringLiteral(
    "오버레이 단축키를 등록하지 못했습니다. 설정에서 다른 키를 선택하거나 메뉴 막대를 사용해 주세요.");
}  // namespace

AppModel::AppModel(AppServices services, QObject* parent, StartupProbe probe)
    : QObject(parent), m_services(std::move(services)), m_probe(std::move(probe)) {
  const std::filesystem::path root = DataPaths::root();
  DataPaths::createPrivateRoot(root);
  m_parts = std::make_unique<RecordingParts>(m_services, root);
  m_presetEditor = std::make_unique<PresetEditor>(root, m_parts->status(), m_services.openDialog.get(),
                                                  m_services.saveDialog.get());
  m_overlays = std::make_unique<Overlays>(std::move(m_services.overlays));
  m_parts->cloud().attach({m_parts->library(), m_parts->status(), [this] { return busy(); },
                           [this] { return m_parts->session().translationLanguage(); },
                           [this] { refreshOverlays(); }});

  connect(&m_parts->session(), &RecordingSession::recordingChanged, this, &AppModel::updateBusy);
  connect(&m_parts->status(), &AppStatus::workingChanged, this, &AppModel::updateBusy);
  connect(&m_parts->recognition(), &RecognitionQueue::recognizingChanged, this, &AppModel::updateBusy);
  // The captions follow every change of what they show.
  connect(m_presetEditor.get(), &PresetEditor::presetsChanged, this, &AppModel::refreshOverlays);
  connect(&m_parts->library(), &NoteLibrary::selectedNoteIDChanged, this, &AppModel::refreshOverlays);
  connect(m_overlays.get(), &Overlays::hiddenChanged, this, &AppModel::refreshOverlays);
  connect(&m_parts->session(), &RecordingSession::started, this, &AppModel::refreshOverlays);
  // What the windows report, and the shortcut following its setting.
  connect(m_overlays.get(), &Overlays::frameChanged, this, &AppModel::recordLayout);
  connect(m_overlays.get(), &Overlays::shortcutPressed, this, &AppModel::toggleHidden);
  connect(&m_parts->settings(), &UserSettings::shortcutChanged, this, &AppModel::configureShortcut);
  connect(&m_parts->session(), &RecordingSession::stopped, this, [this](const QString& noteID) {
    if (!m_parts->recognition().recognizing()) {
      syncLinkedNote(noteID);
    }
  });
  connect(&m_parts->recognition(), &RecognitionQueue::drained, this, &AppModel::onRecognitionDrained);
  m_parts->recognition().setAfterChunk([this](QString noteID) { return afterChunk(std::move(noteID)); });

  m_loadTask.attach(load(m_loadTask.token()));
}

AppModel::~AppModel() = default;

// --- wiring -------------------------------------------------------------------------------------

// Computed on each call rather than read from m_busy, so that a part asking from its own slot of
// one of these signals never sees a value from before the change.
bool AppModel::busy() const { return m_parts->busy(); }

void AppModel::updateBusy() {
  if (busy() != m_busy) {
    m_busy = busy();
    emit busyChanged();
  }
}

QCoro::Task<void> AppModel::afterChunk(QString noteID) {
  refreshOverlays();
  const NativeNote* note = m_parts->library().find(noteID);
  if (note != nullptr && note->translationLanguage && !note->cloudTranslationStoppedAtSeconds) {
    co_await m_parts->cloud().syncLiveNote(noteID, true);
  }
}

void AppModel::onRecognitionDrained(const QString& noteID) {
  if (!m_parts->session().recording()) {
    m_parts->status().setStatus(QString::fromUtf8(messages::transcriptSaved));
    syncLinkedNote(noteID);
  }
}

// The last upload of a note linked to the cloud, once nothing more is added to it. The model is
// busy until it ends, so that no recording, recovery or cloud save starts meanwhile.
void AppModel::syncLinkedNote(const QString& noteID) {
  const NativeNote* note = m_parts->library().find(noteID);
  if (note != nullptr && note->cloudNoteId) {
    finalSync(noteID);
  }
}

QCoro::Task<void> AppModel::finalSync(QString noteID) {
  const AppStatus::WorkScope work(m_parts->status());
  co_await m_parts->cloud().syncLiveNote(noteID, false);
}

void AppModel::refreshOverlays() {
  if (!m_captionsLoaded) {
    return;  // a window made before the frames are loaded would open at its default place for good
  }
  const NativeNote* note = nullptr;
  if (m_parts->session().recording() && m_parts->session().activeNoteID()) {
    note = m_parts->library().find(*m_parts->session().activeNoteID());
  }
  if (note == nullptr) {
    note = m_parts->library().selectedNote();
  }
  QString original = QString::fromUtf8(emptyCaption);
  QString translation;
  if (note != nullptr && !note->segments.empty()) {
    original = QString::fromStdString(note->segments.back().text);
    translation = QString::fromStdString(note->segments.back().translation);
  }
  m_overlays->show(m_presetEditor->presets(), m_presetEditor->layouts(), original, translation,
                   m_parts->session().translationLanguage());
}

void AppModel::recordLayout(const QString& presetID, const Rect& frame) {
  m_presetEditor->recordLayout(presetID, frame, m_overlays->screens(), m_overlays->mainScreen());
}

void AppModel::toggleHidden() { m_overlays->setHidden(!m_overlays->hidden()); }

void AppModel::configureShortcut() {
  if (!m_overlays->registerShortcut(m_parts->settings().shortcut())) {
    m_parts->status().warn(shortcutRefused);
  }
}

// --- start-up and shutdown ----------------------------------------------------------------------

QCoro::Task<void> AppModel::load(std::stop_token stop) {
  // Each step may be the last: shutdown ends the start-up between steps.
  const auto step = [this, &stop](const QString& name) -> QCoro::Task<bool> {
    if (m_probe && !stop.stop_requested()) {
      co_await m_probe(name);
    }
    co_return !stop.stop_requested();
  };

  // The overlay windows and their shortcut come alive once the presets and their window frames are
  // known, whatever a later step meets: a failed account restore must not keep them off.
  const auto enableCaptions = [this] {
    configureShortcut();
    m_captionsLoaded = true;
    refreshOverlays();
  };

  // The overlay presets and their window frames come first; a preset store failure ends the
  // start-up after the frames (the built-in presets are shown).
  if (!co_await step(QStringLiteral("presets"))) {
    co_return;
  }
  const bool presetsLoaded = co_await m_presetEditor->loadPresets();
  if (!co_await step(QStringLiteral("layouts"))) {
    co_return;
  }
  co_await m_presetEditor->loadLayouts();
  if (!presetsLoaded) {
    enableCaptions();
    co_return;
  }
  if (!co_await step(QStringLiteral("notes"))) {
    co_return;
  }
  co_await m_parts->library().reload();
  enableCaptions();
  if (!co_await step(QStringLiteral("model"))) {
    co_return;
  }
  co_await m_parts->modelInstaller().check();
  if (!co_await step(QStringLiteral("account")) || !co_await m_parts->cloud().restore()) {
    co_return;
  }
  if (!co_await step(QStringLiteral("migration"))) {
    co_return;
  }
  co_await migrateLegacySnapshot();
}

QCoro::Task<void> AppModel::reloadNotes() { return m_parts->library().reload(); }

QCoro::Task<void> AppModel::loadDisplays() { return m_parts->session().loadDisplays(); }

QCoro::Task<void> AppModel::migrateLegacySnapshot() {
  auto migrate = [root = m_parts->library().root()] {
    return ::sayloom::migrateLegacySnapshot(root, legacyFolder());
  };
  const std::optional<std::optional<std::string>> failure =
      co_await m_parts->status().attempt(runInBackground(std::move(migrate)));
  if (failure && *failure) {
    m_parts->status().warn(QString::fromStdString(**failure));
  }
}

QCoro::Task<void> AppModel::shutdown() {
  m_shuttingDown = true;
  m_parts->cloud().cancelSignIn();
  const std::optional<TaskHandle> download = m_parts->modelInstaller().downloadTask();
  if (download) {
    download->cancel();
  }
  // A start-up still running would otherwise save presets and frames it never read.
  m_loadTask.cancel();
  co_await m_loadTask.waitForEnd();

  // Cloud work has a bounded time from here on; what it cannot finish is cancelled and runs again
  // at the next start.
  m_parts->cloud().windDown(m_services.cloudShutdownWait);
  // A start, stop, export or cloud save in progress is let finish first: a recording that is still
  // starting would otherwise keep running past the end, and an export would leave its temporary
  // file behind.
  co_await m_parts->stopAndClose();
  // The final upload of the note just stopped, begun by the stop or by the end of recognition.
  co_await m_parts->status().idle();
  co_await m_presetEditor->saveAtShutdown();
  if (download) {
    co_await download->waitForEnd();
  }
}

// --- user commands ------------------------------------------------------------------------------

QCoro::Task<void> AppModel::startRecording() {
  if (!m_shuttingDown) {
    co_await m_parts->session().start();
  }
}

QCoro::Task<void> AppModel::stopRecording() { return m_parts->session().stop(); }

// --- commands on one note -----------------------------------------------------------------------

bool AppModel::heldElsewhere(const QString& id) const {
  return !m_parts->session().holdsNoteLock(id) && !m_parts->recognition().holdsNoteLock(id) &&
         RecordingLock::isHeld(m_parts->library().root(), id.toStdString());
}

// On the main thread: opening and locking a file in the data folder does not wait, and a command
// that found the note free must not let a second click in before it holds the lock.
std::optional<RecordingLock> AppModel::lockNote(const QString& id) {
  try {
    return RecordingLock::acquire(m_parts->library().root(), id.toStdString());
  } catch (const NativeError& error) {
    // The lock's own text speaks for sayloom-cli, to which the app is the holder.
    if (error.description() == messages::noteBeingRecorded) {
      m_parts->status().warn(QString::fromUtf8(noteHeldElsewhere));
    } else {
      m_parts->status().warnCurrentException();
    }
  } catch (...) {
    m_parts->status().warnCurrentException();
  }
  return std::nullopt;
}

QCoro::Task<bool> AppModel::readySelectedForReading() {
  const std::optional<QString> id = m_parts->library().selectedNoteID();
  if (!id || m_parts->library().selectedNote() == nullptr) {
    co_return true;
  }
  if (m_parts->session().holdsNoteLock(*id) || m_parts->recognition().holdsNoteLock(*id)) {
    co_return true;  // the app writes this note itself: the listed copy is the newest
  }
  if (heldElsewhere(*id)) {
    m_parts->status().warn(QString::fromUtf8(noteHeldElsewhere));
    co_return false;
  }
  co_await m_parts->library().refresh(*id);
  co_return true;
}

QCoro::Task<void> AppModel::recoverSelected() {
  const NativeNote* selected = m_parts->library().selectedNote();
  if (m_shuttingDown || busy() || m_noteCommandStarting || selected == nullptr) {
    co_return;
  }
  const QString id = QString::fromStdString(selected->id);
  std::optional<RecordingLock> lock = lockNote(id);
  if (!lock) {
    co_return;
  }
  m_noteCommandStarting = true;
  co_await m_parts->library().refresh(id);
  m_noteCommandStarting = false;
  co_await m_parts->recognition().recover(
      id, [this] { return busy(); }, std::move(*lock));
}

QCoro::Task<void> AppModel::syncSelected(bool translate) {
  const NativeNote* selected = m_parts->library().selectedNote();
  if (m_shuttingDown || busy() || m_noteCommandStarting || selected == nullptr) {
    co_return;
  }
  // Held through the upload: the cloud's answer is saved into the note.
  const std::optional<RecordingLock> lock = lockNote(QString::fromStdString(selected->id));
  if (!lock) {
    co_return;
  }
  m_noteCommandStarting = true;
  co_await m_parts->library().refresh(QString::fromStdString(lock->noteId()));
  m_noteCommandStarting = false;
  if (!m_shuttingDown) {
    co_await m_parts->cloud().syncSelected(translate);
  }
}

void AppModel::downloadModel() {
  if (!m_shuttingDown) {
    m_parts->modelInstaller().download();
  }
}

QCoro::Task<void> AppModel::exportNote(ExportFormat format) {
  if (m_shuttingDown) {
    co_return;
  }
  const bool ready = co_await readySelectedForReading();
  if (ready) {
    co_await m_parts->exporter().exportNote(format);
  }
}

QCoro::Task<void> AppModel::exportAudio() { return exportNote(ExportFormat::audio); }

QCoro::Task<void> AppModel::exportTranscript() { return exportNote(ExportFormat::transcript); }

QCoro::Task<void> AppModel::exportSubtitles(SubtitleFormat format) {
  return exportNote(exportFormat(format));
}

void AppModel::newPreset(bool duplicate) { m_presetEditor->newPreset(duplicate); }
void AppModel::deletePreset() { m_presetEditor->deletePreset(); }
void AppModel::undo() { m_presetEditor->undo(); }
void AppModel::redo() { m_presetEditor->redo(); }
QCoro::Task<void> AppModel::importPresets() { return m_presetEditor->importPresets(); }
QCoro::Task<void> AppModel::exportPresets() { return m_presetEditor->exportPresets(); }

}  // namespace sayloom

// Compiled here, so that programs using other parts of the model do not link the model itself.
#include "moc_app_model.cpp"
