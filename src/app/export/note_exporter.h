#pragma once
// Hands the selected note to the user as an ordinary file in one of the export formats
// (core/export_formats.h): its whole recording as one WAV file, its transcript as text or as SubRip
// or WebVTT subtitles, each to a place chosen in the save dialog. The audio is not exported while a
// recording runs.
//
// Thread contract: main thread only; the files are written on a worker thread and awaited, and
// `working` stays set meanwhile so that shutdown waits for them.
#include <QCoro/QCoroTask>
#include <QLocale>
#include <QObject>
#include <QString>

#include "core/export_formats.h"
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

  // The selected note in `format` (its audio: the chunk files behind a WAV header).
  QCoro::Task<void> exportNote(ExportFormat format);

  // "%02d:%02d:%02d" of hours, minutes and seconds.
  static QString duration(double seconds);
  // The name the save dialog suggests: "Sayloom-audio.wav" for the audio; for the transcript's
  // formats "Sayloom-", the note's date in `locale`, "." and the format's suffix.
  static QString suggestedFileName(const NativeNote& note, const QLocale& locale, ExportFormat format);

private:
  static QString datedFileName(const NativeNote& note, const QLocale& locale, const QString& extension);

  const NoteLibrary& m_notes;
  const RecordingSession& m_session;
  AppStatus& m_status;
  platform::SaveDialog* m_saveDialog;
};

}  // namespace sayloom
