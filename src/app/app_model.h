#pragma once
// The application model: the composition root of Sayloom. It owns the parts, each with one job
// and its own published fields, wires them together ("entries recognised → note saved → captions
// refreshed"), runs the start-up and the orderly shutdown, and keeps the user commands' names for
// the views and the shell. Views bind to the parts directly:
//
//   appStatus()      status line, warning, working                app/app_status.h
//   library()        notes and the selected note                   app/notes/note_library.h
//   session()        the next recording, recording, level, displays app/recording/recording_session.h
//   recognition()    the recognition queue and recovery            app/recognition/recognition_queue.h
//   exporter()       WAV, transcript and subtitle export           app/export/note_exporter.h
//   modelInstaller() the speech model and its download             app/speech_model/model_installer.h
//   presetEditor()   presets, undo and redo, window frames         app/presets/preset_editor.h
//   settings()       cpuOnly and the overlay shortcut              app/settings/user_settings.h
//   overlays()       hidden, edit mode, the overlay windows        app/overlays/overlays.h
//   cloud()          the account and the chosen workspace          app/cloud/cloud_access.h
//
// Thread contract: lives on the main thread and is only touched there; see each part's header.
// Lifetime: made once, lives for the whole process. Await `shutdown` before destroying it.
#include <QCoro/QCoroTask>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <stop_token>

#include "app/app_services.h"
#include "app/concurrency/task_handle.h"
#include "app/recording_parts.h"
#include "core/export_formats.h"
#include "core/overlay_geometry.h"
#include "core/recording_lock.h"
#include "core/subtitle_export.h"

namespace sayloom {

class AppStatus;
class Overlays;
class ModelInstaller;
class NoteExporter;
class NoteLibrary;
class PresetEditor;
class RecognitionQueue;
class UserSettings;

class AppModel : public QObject {
  Q_OBJECT
  Q_PROPERTY(bool busy READ busy NOTIFY busyChanged)

public:
  // A test's pause before a start-up step ("presets", "layouts", "notes", "model", "account",
  // "migration").
  using StartupProbe = std::function<QCoro::Task<void>(const QString& step)>;

  // Starts the start-up at once.
  explicit AppModel(AppServices services = AppServices::platformDefaults(), QObject* parent = nullptr,
                    StartupProbe probe = {});
  ~AppModel() override;

  AppStatus& appStatus() { return m_parts->status(); }
  NoteLibrary& library() { return m_parts->library(); }
  RecordingSession& session() { return m_parts->session(); }
  RecognitionQueue& recognition() { return m_parts->recognition(); }
  NoteExporter& exporter() { return m_parts->exporter(); }
  ModelInstaller& modelInstaller() { return m_parts->modelInstaller(); }
  PresetEditor& presetEditor() { return *m_presetEditor; }
  UserSettings& settings() { return m_parts->settings(); }
  Overlays& overlays() { return *m_overlays; }
  CloudAccess& cloud() { return m_parts->cloud(); }

  // A recording runs, a command works (start, stop, export, a cloud save) or recognition runs: no
  // other recording, recovery or cloud save may start. The views enable their commands by it.
  bool busy() const;

  // --- start-up and shutdown ----------------------------------------------------------------
  // Completes when the start-up begun by the constructor has ended.
  QCoro::Task<void> waitUntilLoaded() const { return m_loadTask.waitForEnd(); }
  QCoro::Task<void> reloadNotes();
  QCoro::Task<void> loadDisplays();
  // The one-time snapshot of the earlier application's settings (the last start-up step).
  QCoro::Task<void> migrateLegacySnapshot();
  // Ends the start-up, lets a start, stop or export finish, stops and saves a running recording,
  // ends recognition and recovery, gives cloud work (the final upload of the stopped note included)
  // `AppServices::cloudShutdownWait` before cancelling it, and saves the settings; afterwards the
  // process may end. Every command is refused from here on.
  QCoro::Task<void> shutdown();

  // --- user commands --------------------------------------------------------------------------
  QCoro::Task<void> startRecording();
  QCoro::Task<void> stopRecording();
  // Rebuilds the selected note's transcript from its chunk files.
  QCoro::Task<void> recoverSelected();
  // Saves the selected note to the chosen workspace, translating it when `translate` ("클라우드
  // 저장", "번역하고 저장").
  QCoro::Task<void> syncSelected(bool translate);
  void downloadModel();
  // Exports the selected note in `format` to the place chosen in the save dialog (the studio's
  // export menu, one entry per format); the three below are its formats by name.
  QCoro::Task<void> exportNote(ExportFormat format);
  QCoro::Task<void> exportAudio();
  QCoro::Task<void> exportTranscript();
  // The selected note's transcript as SubRip or WebVTT subtitles ("SRT 자막", "WebVTT 자막").
  QCoro::Task<void> exportSubtitles(SubtitleFormat format);
  // Whether another program (sayloom-cli recording or rebuilding it) holds note `id`'s lock now. The
  // commands on a note (recovery, cloud save, export) refuse such a note, and read a note again
  // when its file changed on disk before they act on it.
  bool heldElsewhere(const QString& id) const;
  void newPreset(bool duplicate);
  void deletePreset();
  void undo();
  void redo();
  QCoro::Task<void> importPresets();
  QCoro::Task<void> exportPresets();
  // Flips `hidden` (the global shortcut and the menu).
  void toggleHidden();
  // Registers the overlay shortcut chosen in `settings().shortcut` (done at start-up and whenever
  // the setting changes); a refusal becomes the warning.
  void configureShortcut();

  // --- overlay windows ------------------------------------------------------------------------
  // From a overlay window: the user moved or resized preset `presetID`'s window to `frame`.
  void recordLayout(const QString& presetID, const Rect& frame);
  // Brings the overlay windows in line with the presets and shows the newest caption of the note
  // being recorded, or else of the selected note. Nothing is shown before the start-up has read
  // the presets (or failed to) and the window frames, and then the notes unless the presets failed.
  void refreshOverlays();

signals:
  void busyChanged();

private:
  QCoro::Task<void> load(std::stop_token stop);
  QCoro::Task<void> afterChunk(QString noteID);
  void onRecognitionDrained(const QString& noteID);
  void syncLinkedNote(const QString& noteID);
  QCoro::Task<void> finalSync(QString noteID);
  void updateBusy();
  // Takes note `id`'s lock for a command that writes the note, or warns and gives none when another
  // program holds it.
  std::optional<RecordingLock> lockNote(const QString& id);
  // Readies the selected note for a command that reads it; false (warned) when another program holds it.
  QCoro::Task<bool> readySelectedForReading();

  AppServices m_services;
  StartupProbe m_probe;
  bool m_shuttingDown = false;
  bool m_captionsLoaded = false;       // the start-up has reached the overlay windows
  bool m_busy = false;                 // the value last announced by busyChanged
  bool m_noteCommandStarting = false;  // a recovery or cloud save is reading its note again

  // The recording parts first; the presets and the overlays may use them.
  std::unique_ptr<RecordingParts> m_parts;
  std::unique_ptr<PresetEditor> m_presetEditor;
  std::unique_ptr<Overlays> m_overlays;

  TaskHandle m_loadTask;
};

}  // namespace sayloom
