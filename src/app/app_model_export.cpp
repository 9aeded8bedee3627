// Export of the selected note: its whole recording as one WAV file, its transcript as plain text.
#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <filesystem>

#include "app/app_model.h"
#include "app/error_text.h"
#include "core/atomic_file.h"
#include "core/audio_export.h"
#include "core/data_paths.h"
#include "core/transcript_export.h"
#include "platform/save_dialog.h"

namespace sayloom {

namespace {

const QString audioExportedStatus = QStringLiteral("원본 오디오를 WAV로 내보냈습니다");

std::filesystem::path toPath(const QString& path) { return std::filesystem::path(path.toStdString()); }

}  // namespace

QString AppModel::duration(double seconds) { return QString::fromStdString(sayloom::duration(seconds)); }

QString AppModel::transcriptFileName(const NativeNote& note, const QLocale& locale) {
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
  return QStringLiteral("Sayloom-") + text + QStringLiteral(".txt");
}

QCoro::Task<void> AppModel::exportAudio() {
  const NativeNote* note = selectedNote();
  if (note == nullptr || m_recording || !m_services.saveDialog) {
    co_return;
  }
  const std::filesystem::path folder = DataPaths::audioDirectory(note->id, dataRoot());
  const std::optional<QString> chosen =
      m_services.saveDialog->askSavePath(QStringLiteral("Sayloom-audio.wav"), QStringLiteral("WAV (*.wav)"));
  if (!chosen) {
    co_return;
  }
  const std::filesystem::path destination = toPath(*chosen);

  setWorking(true);
  try {
    auto write = [folder, destination] { ::sayloom::exportAudio(folder, destination); };
    co_await runInBackground(std::move(write));
    setStatus(audioExportedStatus);
  } catch (...) {
    setWarningText(currentExceptionText());
  }
  setWorking(false);
}

void AppModel::exportTranscript() {
  const NativeNote* note = selectedNote();
  if (note == nullptr || !m_services.saveDialog) {
    return;
  }
  const NativeNote snapshot = *note;
  const std::optional<QString> chosen = m_services.saveDialog->askSavePath(
      transcriptFileName(snapshot, QLocale::system()), QStringLiteral("Text (*.txt)"));
  if (!chosen) {
    return;
  }
  try {
    AtomicFile::writeBytes(transcriptText(snapshot), toPath(*chosen));
  } catch (...) {
    setWarningText(currentExceptionText());
  }
}

}  // namespace sayloom
