// Export of the selected note in each export format: the app's save dialog, suggested name and
// status around the format's writer.
#include "app/export/note_exporter.h"

#include <QDateTime>
#include <QRegularExpression>
#include <filesystem>

#include "app/app_status.h"
#include "app/concurrency/serial_worker.h"
#include "app/notes/note_library.h"
#include "app/recording/recording_session.h"
#include "core/data_paths.h"
#include "core/transcript_export.h"
#include "platform/save_dialog.h"

namespace sayloom {

namespace {

std::filesystem::path toPath(const QString& path) { return std::filesystem::path(path.toStdString()); }

// What the status line says once an export in `format` is written, if anything.
std::optional<QString> doneStatus(ExportFormat format) {
  switch (format) {
    case ExportFormat::audio:
      return QStringLiteral("원본 오디오를 WAV로 내보냈습니다");
    case ExportFormat::transcript:
    case ExportFormat::srt:
    case ExportFormat::webVtt:
      return std::nullopt;
  }
  return std::nullopt;
}

}  // namespace

NoteExporter::NoteExporter(const NoteLibrary& notes, const RecordingSession& session, AppStatus& status,
                           platform::SaveDialog* saveDialog, QObject* parent)
    : QObject(parent), m_notes(notes), m_session(session), m_status(status), m_saveDialog(saveDialog) {}

QString NoteExporter::duration(double seconds) { return QString::fromStdString(sayloom::duration(seconds)); }

QString NoteExporter::suggestedFileName(const NativeNote& note, const QLocale& locale, ExportFormat format) {
  const QString suffix = QString::fromUtf8(describe(format).suffix);
  switch (format) {
    case ExportFormat::audio:
      return QStringLiteral("Sayloom-audio.") + suffix;
    case ExportFormat::transcript:
    case ExportFormat::srt:
    case ExportFormat::webVtt:
      return datedFileName(note, locale, suffix);
  }
  return datedFileName(note, locale, suffix);
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

QCoro::Task<void> NoteExporter::exportNote(ExportFormat format) {
  const ExportFormatDescription& description = describe(format);
  const NativeNote* note = m_notes.selectedNote();
  // The chunk files are not read while a recording still writes them.
  if (note == nullptr || m_saveDialog == nullptr || (description.fromAudio && m_session.recording())) {
    co_return;
  }
  // What is exported is the note as it is when asked, whatever changes while the dialog is open.
  ExportSource source{*note, {}};
  if (description.fromAudio) {
    try {
      source.audioFolder = DataPaths::audioDirectory(note->id, m_notes.root());
    } catch (...) {
      m_status.warnCurrentException();
      co_return;
    }
  }
  const std::optional<QString> chosen = m_saveDialog->askSavePath(
      suggestedFileName(source.note, QLocale::system(), format), QString::fromUtf8(description.filter));
  if (!chosen) {
    co_return;
  }
  const AppStatus::WorkScope work(m_status);
  auto write = [source = std::move(source), write = description.write, destination = toPath(*chosen)] {
    write(source, destination);
  };
  if (co_await m_status.attempt(runInBackground(std::move(write)))) {
    if (const std::optional<QString> done = doneStatus(format)) {
      m_status.setStatus(*done);
    }
  }
}

}  // namespace sayloom
