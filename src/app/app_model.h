#pragma once
// The application model: the one object that holds every user-visible field of Sayloom and owns
// its services (the local note store, the recognition service, the audio capture of a running
// recording). Views read its published fields (Qt properties with change signals) and call its
// operations; operations that wait are coroutines on the Qt event loop and never fail towards the
// views: every failure lands in `warning` or `status`.
//
// Thread contract: lives on the main thread and is only touched there. Capture callbacks, which
// arrive on the capture's worker thread, are posted to the main thread before they touch it; store
// calls and other blocking file work run on worker threads and are awaited.
//
// Lifetime: the model is made once and lives for the whole process. Call `shutdown` and await it
// before destroying the model; coroutines that are still suspended refer to it.
#include <QCoro/QCoroTask>
#include <QLocale>
#include <QObject>
#include <QString>
#include <QTimer>
#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stop_token>
#include <vector>

#include "app/overlay_windows.h"
#include "app/preset_binding.h"
#include "app/serial_worker.h"
#include "app/task_handle.h"
#include "core/display.h"
#include "core/local_note_store.h"
#include "core/mac_layout.h"
#include "core/native_note.h"
#include "core/overlay_preset.h"
#include "core/preset_store.h"
#include "platform/display_list.h"
#include "platform/open_dialog.h"
#include "platform/save_dialog.h"
#include "platform/settings_store.h"
#include "platform/sleep_watcher.h"

namespace sayloom {

class AudioCapture;
class WhisperRecognitionService;

// The platform pieces the model reaches through interfaces, so that tests can replace one while
// the rest stays real. A missing piece (null) means the platform does not offer it.
struct AppServices {
  // Announces sleep and holds it back while a recording is stopped and saved.
  std::unique_ptr<platform::SleepWatcher> sleepWatcher;
  // Asks for the destination of an export.
  std::unique_ptr<platform::SaveDialog> saveDialog;
  // The displays whose system audio can be recorded.
  std::unique_ptr<platform::DisplayList> displayList;
  // Asks for a preset file to import.
  std::unique_ptr<platform::OpenDialog> openDialog;
  // The caption windows; made by the window layer, none without one.
  std::unique_ptr<OverlayWindows> overlays;

  // The desktop's own pieces: logind on the system bus, the desktop's save dialog and screens.
  static AppServices platformDefaults();
};

// A chunk file waiting for recognition.
struct PendingChunk {
  QString file;
  std::int64_t index = 0;
};

class AppModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(std::vector<sayloom::NativeNote> notes READ notes NOTIFY notesChanged)
  Q_PROPERTY(std::optional<QString> selectedNoteID READ selectedNoteID WRITE setSelectedNoteID NOTIFY
                 selectedNoteIDChanged)
  Q_PROPERTY(QString title READ title WRITE setTitle NOTIFY titleChanged)
  Q_PROPERTY(QString language READ language WRITE setLanguage NOTIFY languageChanged)
  Q_PROPERTY(QString source READ source WRITE setSource NOTIFY sourceChanged)
  Q_PROPERTY(QString translationLanguage READ translationLanguage WRITE setTranslationLanguage NOTIFY
                 translationLanguageChanged)
  Q_PROPERTY(bool liveTranslation READ liveTranslation WRITE setLiveTranslation NOTIFY liveTranslationChanged)
  Q_PROPERTY(QString status READ status NOTIFY statusChanged)
  Q_PROPERTY(std::optional<QString> warning READ warning WRITE setWarning NOTIFY warningChanged)
  Q_PROPERTY(bool recording READ recording NOTIFY recordingChanged)
  Q_PROPERTY(bool working READ working NOTIFY workingChanged)
  Q_PROPERTY(bool recognizing READ recognizing NOTIFY recognizingChanged)
  Q_PROPERTY(float level READ level NOTIFY levelChanged)
  Q_PROPERTY(double elapsed READ elapsed NOTIFY elapsedChanged)
  Q_PROPERTY(bool hidden READ hidden WRITE setHidden NOTIFY hiddenChanged)
  Q_PROPERTY(bool editing READ editing WRITE setEditing NOTIFY editingChanged)
  Q_PROPERTY(bool modelReady READ modelReady NOTIFY modelReadyChanged)
  Q_PROPERTY(std::optional<double> downloadProgress READ downloadProgress NOTIFY downloadProgressChanged)
  Q_PROPERTY(QString workspaceID READ workspaceID WRITE setWorkspaceID NOTIFY workspaceIDChanged)
  Q_PROPERTY(bool signingIn READ signingIn NOTIFY signingInChanged)
  Q_PROPERTY(std::vector<sayloom::Display> displays READ displays NOTIFY displaysChanged)
  Q_PROPERTY(quint32 displayID READ displayID WRITE setDisplayID NOTIFY displayIDChanged)
  Q_PROPERTY(bool cpuOnly READ cpuOnly WRITE setCpuOnly NOTIFY cpuOnlyChanged)
  Q_PROPERTY(int shortcut READ shortcut NOTIFY shortcutChanged)
  Q_PROPERTY(std::vector<sayloom::OverlayPreset> presets READ presets NOTIFY presetsChanged)
  Q_PROPERTY(
      QString selectedPresetID READ selectedPresetID WRITE setSelectedPresetID NOTIFY selectedPresetIDChanged)
  Q_PROPERTY(bool presetReadOnly READ presetReadOnly NOTIFY presetReadOnlyChanged)

public:
  explicit AppModel(AppServices services = AppServices::platformDefaults(), QObject* parent = nullptr);
  ~AppModel() override;

  // --- published fields -------------------------------------------------------------------
  const std::vector<NativeNote>& notes() const { return m_notes; }
  const std::optional<QString>& selectedNoteID() const { return m_selectedNoteID; }
  void setSelectedNoteID(const std::optional<QString>& id);
  // The first note whose id is `selectedNoteID`, or null.
  const NativeNote* selectedNote() const;

  const QString& title() const { return m_title; }
  void setTitle(const QString& title);
  const QString& language() const { return m_language; }
  void setLanguage(const QString& language);
  const QString& source() const { return m_source; }
  void setSource(const QString& source);
  const QString& translationLanguage() const { return m_translationLanguage; }
  void setTranslationLanguage(const QString& language);
  bool liveTranslation() const { return m_liveTranslation; }
  void setLiveTranslation(bool on);

  const QString& status() const { return m_status; }
  const std::optional<QString>& warning() const { return m_warning; }
  // Views clear the warning (nullopt) once they have shown it.
  void setWarning(const std::optional<QString>& warning);

  bool recording() const { return m_recording; }
  bool working() const { return m_working; }
  bool recognizing() const { return m_recognizing; }
  float level() const { return m_level; }
  double elapsed() const { return m_elapsed; }

  bool hidden() const { return m_hidden; }
  void setHidden(bool hidden);
  bool editing() const { return m_editing; }
  void setEditing(bool editing);

  bool modelReady() const { return m_modelReady; }
  const std::optional<double>& downloadProgress() const { return m_downloadProgress; }

  const QString& workspaceID() const { return m_workspaceID; }
  void setWorkspaceID(const QString& id);
  bool signingIn() const { return m_signingIn; }

  const std::vector<Display>& displays() const { return m_displays; }
  quint32 displayID() const { return m_displayID; }
  void setDisplayID(quint32 id);

  // Also stored at once in the user setting "cpuOnly".
  bool cpuOnly() const { return m_cpuOnly; }
  void setCpuOnly(bool cpuOnly);
  int shortcut() const { return m_shortcut; }

  // --- start-up and shutdown ----------------------------------------------------------------
  // The start-up sequence; the constructor has already started it once.
  QCoro::Task<void> load();
  // Completes when the start-up begun by the constructor has finished.
  QCoro::Task<void> waitUntilLoaded() const;
  QCoro::Task<void> reloadNotes();
  // Lists the displays and selects the first one.
  QCoro::Task<void> loadDisplays();
  // The one-time snapshot of the earlier application's settings (the last start-up step).
  QCoro::Task<void> migrateLegacySnapshot();
  // Stops and saves a running recording, lets the recognition worker end and saves the settings;
  // afterwards the process may end.
  QCoro::Task<void> shutdown();

  // --- recording ------------------------------------------------------------------------------
  // Starts a recording of `source` into a new note; does nothing while a recording, a start or
  // stop, or recognition runs.
  QCoro::Task<void> startRecording();
  // Stops the capture, marks the note completed with its stored duration and saves it.
  QCoro::Task<void> stopRecording();
  // Rebuilds the selected note's transcript from its chunk files.
  QCoro::Task<void> recoverSelected();
  // Seconds of stored audio of a note: the bytes of its chunk files ÷ 32,000.
  double audioDuration(const QString& noteID) const;

  // The chunks waiting for recognition, oldest first.
  const std::deque<PendingChunk>& pending() const { return m_pending; }
  // The note being recorded, if any.
  const std::optional<QString>& activeNoteID() const { return m_activeNoteID; }

  // From the capture's progress callback: seconds recorded and the block's peak level.
  void captureProgress(const QString& noteID, double seconds, float level);
  // From the capture's chunk callback: queues a finished chunk for recognition.
  void enqueue(const QString& file, std::int64_t index, const QString& noteID);
  // Starts the recognition worker for a note unless one runs.
  void startWorker(const QString& noteID);

  // --- model download -----------------------------------------------------------------------
  // Downloads and checks the Whisper model in the background (once at a time); `downloadProgress`
  // follows it and `modelReady` is set afterwards.
  void downloadModel();
  // The running download, if any.
  const std::optional<TaskHandle>& downloadTask() const { return m_downloadTask; }

  // --- export ---------------------------------------------------------------------------------
  // Writes the selected note's recording as one WAV file chosen in the save dialog.
  QCoro::Task<void> exportAudio();
  // Writes the selected note's transcript as a text file chosen in the save dialog.
  void exportTranscript();
  // "%02d:%02d:%02d" of hours, minutes and seconds.
  static QString duration(double seconds);
  // The suggested name of a transcript export: "Sayloom-", the note's date in `locale`, ".txt".
  static QString transcriptFileName(const NativeNote& note, const QLocale& locale);

  // --- overlay presets (app_model_presets.cpp) ------------------------------------------------
  // Never empty: the built-in presets until the start-up has loaded the stored ones.
  const std::vector<OverlayPreset>& presets() const { return m_presets; }
  const QString& selectedPresetID() const { return m_selectedPresetID; }
  void setSelectedPresetID(const QString& id);
  // The preset whose Id is `selectedPresetID`, or the first preset.
  const OverlayPreset& selectedPreset() const;
  // The preset file may not be written (it comes from a newer version or could not be backed up);
  // edits, new presets and deletions are refused.
  bool presetReadOnly() const { return m_presetReadOnly; }
  // The stored window frames by preset Id.
  const LayoutMap& layouts() const { return m_layouts; }

  // A link between one field of the selected preset and an inspector control.
  template <typename T>
  PresetBinding<T> binding(T OverlayPreset::*field) {
    return PresetBinding<T>(*this, field);
  }
  // The field edit behind `binding`: applies `change` to the selected preset and normalises it.
  void editSelectedPreset(const std::function<void(OverlayPreset&)>& change);
  // Adds a default preset, or a copy of the selected one, and selects it (at most 64).
  void newPreset(bool duplicate);
  // Removes the selected preset (at least one stays).
  void deletePreset();
  void undo();
  void redo();
  bool canUndo() const { return !m_undoStack.empty() || (m_editBaseline && *m_editBaseline != m_presets); }
  bool canRedo() const { return !m_redoStack.empty(); }
  // Adds disabled copies of the presets of a file chosen in the open dialog.
  QCoro::Task<void> importPresets();
  // Writes every preset to a file chosen in the save dialog.
  QCoro::Task<void> exportPresets();

  // From the caption windows: the user moved or resized preset `presetID`'s window to `frame`
  // (screen points, origin bottom-left, y up).
  void recordLayout(const QString& presetID, const Rect& frame);
  // Brings the caption windows in line with the presets and shows the newest caption.
  void refreshOverlays();
  // Writes the preset file (unless locked) and then the layout file.
  QCoro::Task<void> saveSettings();
  // A settings save is scheduled or running.
  bool savePending() const;
  // The quiet time after the last change before the settings are saved (0.3 s).
  void setSaveDelay(std::chrono::milliseconds delay) { m_saveDelay = delay; }

signals:
  void notesChanged();
  void selectedNoteIDChanged();
  void titleChanged();
  void languageChanged();
  void sourceChanged();
  void translationLanguageChanged();
  void liveTranslationChanged();
  void statusChanged();
  void warningChanged();
  void recordingChanged();
  void workingChanged();
  void recognizingChanged();
  void levelChanged();
  void elapsedChanged();
  void hiddenChanged();
  void editingChanged();
  void modelReadyChanged();
  void downloadProgressChanged();
  void workspaceIDChanged();
  void signingInChanged();
  void displaysChanged();
  void displayIDChanged();
  void cpuOnlyChanged();
  void shortcutChanged();
  void presetsChanged();
  void selectedPresetIDChanged();
  void presetReadOnlyChanged();

private:
  void setStatus(const QString& status);
  void setWarningText(const QString& text);
  void setRecording(bool on);
  void setWorking(bool on);
  void setRecognizing(bool on);
  void setLevel(float level);
  void setElapsed(double seconds);
  void setModelReady(bool ready);
  void setDownloadProgress(const std::optional<double>& progress);
  void setNotes(std::vector<NativeNote> notes);

  NativeNote* findNote(const QString& id);
  const NativeNote* findNote(const QString& id) const;
  std::filesystem::path dataRoot() const { return m_store.root(); }

  // Store calls, run on the store's own worker thread.
  QCoro::Task<void> saveNote(NativeNote note);

  // Start-up steps.
  QCoro::Task<void> runLoad();

  void onPrepareForSleep();
  QCoro::Task<void> stopForSleep();
  void handleCaptureError(const QString& message);
  QCoro::Task<void> reportCaptureError(QString message);
  QCoro::Task<void> recognitionWorker(QString noteID, std::stop_token stop);
  QCoro::Task<void> runDownload(std::stop_token stop);

  // Overlay presets: start-up steps (false ends the start-up), edit groups, the debounced save.
  QCoro::Task<bool> loadPresets();
  void setPresets(std::vector<OverlayPreset> presets);
  void setPresetReadOnly(bool readOnly);
  OverlayPreset* findPreset(const QString& id);
  void beginEdit();
  void commitEdit();
  void normalizeSelection();
  void scheduleSave();
  void onSaveTimer();
  QCoro::Task<void> runScheduledSave();
  // Shutdown: drops a scheduled save, lets a running one end, then saves once more.
  void cancelScheduledSave();
  QCoro::Task<void> saveSettingsAtShutdown();

  // --- fields ---------------------------------------------------------------------------------
  platform::SettingsStore m_settings;
  AppServices m_services;

  std::vector<NativeNote> m_notes;
  std::optional<QString> m_selectedNoteID;
  QString m_title;
  QString m_language = QStringLiteral("ko");
  QString m_source = QStringLiteral("microphone");
  QString m_translationLanguage = QStringLiteral("en");
  bool m_liveTranslation = false;
  QString m_status;
  std::optional<QString> m_warning;
  bool m_recording = false;
  bool m_working = false;
  bool m_recognizing = false;
  float m_level = 0;
  double m_elapsed = 0;
  bool m_hidden = false;
  bool m_editing = false;
  bool m_modelReady = false;
  std::optional<double> m_downloadProgress;
  QString m_workspaceID;
  bool m_signingIn = false;
  std::vector<Display> m_displays;
  quint32 m_displayID = 0;
  bool m_cpuOnly = false;
  int m_shortcut = 0;

  LocalNoteStore m_store;
  SerialWorker m_storeWorker;

  std::vector<OverlayPreset> m_presets = OverlayPreset::builtIns();
  QString m_selectedPresetID = QStringLiteral("builtin-widget");
  bool m_presetReadOnly = false;
  LayoutMap m_layouts;
  std::optional<std::vector<OverlayPreset>> m_editBaseline;
  std::deque<std::vector<OverlayPreset>> m_undoStack;
  std::vector<std::vector<OverlayPreset>> m_redoStack;
  QTimer m_saveTimer;
  bool m_saveTimerConnected = false;
  std::chrono::milliseconds m_saveDelay{300};
  std::optional<TaskHandle> m_saveTask;
  PresetStore m_presetStore{m_store.root()};
  SerialWorker m_presetWorker;  // after the store: destroyed first, finishing work that uses it

  std::optional<QString> m_activeNoteID;
  std::optional<TaskHandle> m_recognitionTask;
  std::optional<TaskHandle> m_downloadTask;
  std::deque<PendingChunk> m_pending;

  std::unique_ptr<AudioCapture> m_capture;
  std::unique_ptr<WhisperRecognitionService> m_recognizer;

  TaskHandle m_loadTask;
};

}  // namespace sayloom
