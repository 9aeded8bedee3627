#pragma once
// Hands the selected note to the user as ordinary files: its whole recording as one WAV file, its
// transcript as text and as SubRip or WebVTT subtitles, each to a place chosen in the save dialog.
// The audio is not exported while a recording runs.
//
// Thread contract: main thread only; the files are written on a worker thread and awaited, and
// `working` stays set meanwhile so that shutdown waits for them.
#include <QCoro/QCoroTask>
#include <QLocale>
#include <QObject>
#include <QString>

#include "core/native_note.h"
#include "core/subtitle_export.h"

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
  // The selected note's transcript as subtitles (the studio's "SRT 자막" and "WebVTT 자막").
  QCoro::Task<void> exportSubtitles(SubtitleFormat format);

  // "%02d:%02d:%02d" of hours, minutes and seconds.
  static QString duration(double seconds);
  // The suggested name of a transcript export: "Sayloom-", the note's date in `locale`, ".txt".
  static QString transcriptFileName(const NativeNote& note, const QLocale& locale);
  // The same with the subtitle format's extension: "Sayloom-<date>.srt" or ".vtt".
  static QString subtitleFileName(const NativeNote& note, const QLocale& locale, SubtitleFormat format);

private:
  static QString datedFileName(const NativeNote& note, const QLocale& locale, const QString& extension);
  // Asks for the destination and writes `text` there through the atomic writer.
  QCoro::Task<void> exportText(std::string text, QString suggestedName, QString filter);

  const NoteLibrary& m_notes;
  const RecordingSession& m_session;
  AppStatus& m_status;
  platform::SaveDialog* m_saveDialog;
};

}  // namespace sayloom
