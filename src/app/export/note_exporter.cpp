// Export of the selected note: its whole recording as one WAV file, its transcript as plain text
// and as subtitles.
#include "app/export/note_exporter.h"

#include <QDateTime>
#include <QRegularExpression>
#include <filesystem>

#include "app/app_status.h"
#include "app/notes/note_library.h"
#include "app/recording/recording_session.h"
#include "app/concurrency/serial_worker.h"
#include "core/atomic_file.h"
#include "core/audio_export.h"
#include "core/data_paths.h"
#include "core/subtitle_export.h"
#include "core/transcript_export.h"
#include "platform/save_dialog.h"

namespace sayloom {

namespace {

const QString audioExportedStatus = QStringLiteral("원본 오디오를 WAV로 내보냈습니다");

std::filesystem::path toPath(const QString& path) { return std::filesystem::path(path.toStdString()); }

}  // namespace

NoteExporter::NoteExporter(const NoteLibrary& notes, const RecordingSession& session, AppStatus& status,
                           platform::SaveDialog* saveDialog, QObject* parent)
    : QObject(parent), m_notes(notes), m_session(session), m_status(status), m_saveDialog(saveDialog) {}

QString NoteExporter::duration(double seconds) { return QString::fromStdString(sayloom::duration(seconds)); }

QString NoteExporter::transcriptFileName(const NativeNote& note, const QLocale& locale) {
  return datedFileName(note, locale, QStringLiteral("txt"));
}

QString NoteExporter::subtitleFileName(const NativeNote& note, const QLocale& locale, SubtitleFormat format) {
  return datedFileName(note, locale, QString::fromLatin1(subtitles::extension(format)));
}

QString NoteExporter::datedFileName(const NativeNote& note, const QLocale& locale, const QString& extension) {
  // The locale's long date without the weekday and with the month abbreviated: "Mar 1, 2026",
  // "2026년 3월 1일", "1. März 2026".
  QString format = locale.dateFormat(QLocale::LongFormat);
  format.remove(QRegularExpression(QStringLiteral("d{3,4}[,.]?\\s*")));
  format.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
  format = format.trimmed();
  while (format.endsWith(QLatin1Char(',')) || format.endsWith(QLatin1Char(' '))) {
    format.chop(1);
  }
  const auto secs = note.createdAt.time_since_epoch().count();
  const QDate date = QDateTime::fromSecsSinceEpoch(secs).toLocalTime().date();
  QString text = locale.toString(date, format);
  // A path separator in the date would make the suggested name a path.
  text.replace(QLatin1Char('/'), QLatin1Char('-'));
  return QStringLiteral("Sayloom-") + text + QLatin1Char('.') + extension;
}

QCoro::Task<void> NoteExporter::exportAudio() {
  const NativeNote* note = m_notes.selectedNote();
  if (note == nullptr || m_session.recording() || m_saveDialog == nullptr) {
    co_return;
  }
  std::filesystem::path folder;
  try {
    folder = DataPaths::audioDirectory(note->id, m_notes.root());
  } catch (...) {
    m_status.warnCurrentException();
    co_return;
  }
  const std::optional<QString> chosen =
      m_saveDialog->askSavePath(QStringLiteral("Sayloom-audio.wav"), QStringLiteral("WAV (*.wav)"));
  if (!chosen) {
    co_return;
  }
  const AppStatus::WorkScope work(m_status);
  auto write = [folder, destination = toPath(*chosen)] { ::sayloom::exportAudio(folder, destination); };
  if (co_await m_status.attempt(runInBackground(std::move(write)))) {
    m_status.setStatus(audioExportedStatus);
  }
}

QCoro::Task<void> NoteExporter::exportTranscript() {
  const NativeNote* note = m_notes.selectedNote();
  if (note == nullptr) {
    co_return;
  }
  co_await exportText(transcriptText(*note), transcriptFileName(*note, QLocale::system()),
                      QStringLiteral("Text (*.txt)"));
}

QCoro::Task<void> NoteExporter::exportSubtitles(SubtitleFormat format) {
  const NativeNote* note = m_notes.selectedNote();
  if (note == nullptr) {
    co_return;
  }
  const QString filter =
      format == SubtitleFormat::srt ? QStringLiteral("SubRip (*.srt)") : QStringLiteral("WebVTT (*.vtt)");
  co_await exportText(subtitles::text(note->segments, format),
                      subtitleFileName(*note, QLocale::system(), format), filter);
}

QCoro::Task<void> NoteExporter::exportText(std::string text, QString suggestedName, QString filter) {
  if (m_saveDialog == nullptr) {
    co_return;
  }
  const std::optional<QString> chosen = m_saveDialog->askSavePath(suggestedName, filter);
  if (!chosen) {
    co_return;
  }
  const AppStatus::WorkScope work(m_status);
  auto write = [text = std::move(text), destination = toPath(*chosen)] {
    AtomicFile::writeBytes(text, destination);
  };
  co_await m_status.attempt(runInBackground(std::move(write)));
}

}  // namespace sayloom
