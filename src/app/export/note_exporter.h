#pragma once
// Hands the selected note to the user as ordinary files: its whole recording as one WAV file and
// its transcript as text, each to a place chosen in the save dialog. The audio is not exported
// while a recording runs.
//
// Thread contract: main thread only; the files are written on a worker thread and awaited, and
// `working` stays set meanwhile so that shutdown waits for them.
#include <QCoro/QCoroTask>
#include <QLocale>
#include <QObject>
#include <QString>

#include "core/native_note.h"

namespace sayloom {

namespace platform {
class SaveDialog;
}  // namespace platform

class AppStatus;
class NoteLibrary;
class RecordingSession;

class NoteExporter : public QObject {
  Q_OBJECT

public:
  // `saveDialog` may be null (no dialog: nothing is exported); everything must outlive the exporter.
  NoteExporter(const NoteLibrary& notes, const RecordingSession& session, AppStatus& status,
               platform::SaveDialog* saveDialog, QObject* parent = nullptr);

  // The selected note's chunk files behind a WAV header.
  QCoro::Task<void> exportAudio();
  // The selected note's transcript text.
  QCoro::Task<void> exportTranscript();

  // "%02d:%02d:%02d" of hours, minutes and seconds.
  static QString duration(double seconds);
  // The suggested name of a transcript export: "Sayloom-", the note's date in `locale`, ".txt".
  static QString transcriptFileName(const NativeNote& note, const QLocale& locale);

private:
  const NoteLibrary& m_notes;
  const RecordingSession& m_session;
  AppStatus& m_status;
  platform::SaveDialog* m_saveDialog;
};

}  // namespace sayloom
