// recover, transcribe: the speech engine on a note's stored audio or on any sound file.
#include <QCoro/QCoroSignal>
#include <cstdio>

#include "app/recognition/recognition_queue.h"
#include "app/recognition/sound_file_transcriber.h"
#include "app/settings/user_settings.h"
#include "cli/cli_support.h"
#include "cli/command_line_parts.h"
#include "cli/commands.h"
#include "cli/progress_bar.h"
#include "core/recording_lock.h"
#include "core/subtitle_export.h"
#include "core/transcript_export.h"

namespace sayloom::cli {

namespace {

const char* const nothingRecognised = "인식된 말이 없습니다.";

std::string chunkCount(std::int64_t done, std::int64_t total) {
  return std::to_string(done) + "/" + std::to_string(total);
}

}  // namespace

// The application's own recovery: the recognition queue marks the note completed with its stored
// length and recognises every chunk again in order, saving the note after each.
QCoro::Task<void> recover(const Invocation& invocation) {
  const std::string id = invocation.operands.at(0);
  requireNote(id);
  CommandLineParts command({.cpuOnly = invocation.has("--cpu")});
  RecognitionQueue& recognition = command.parts().recognition();
  // Held until the last chunk is recognised, so the application cannot record into the note
  // meanwhile, and refused while it does.
  RecordingLock lock = RecordingLock::acquire(dataRoot(), id);
  // Read under the lock: a recording that just stopped has saved its last state.
  co_await command.openNote(id);
  co_await command.requireModel();

  ProgressBar bar("대본 복구");
  bar.update(0);
  const QObject receiver;
  QObject::connect(&recognition, &RecognitionQueue::progressChanged, &receiver, [&bar, &recognition] {
    const RecognitionQueue::Progress progress = recognition.progress();
    if (progress.total > 0) {
      bar.update(static_cast<double>(progress.done) / static_cast<double>(progress.total),
                 chunkCount(progress.done, progress.total));
    }
  });
  command.onInterrupt(invocation.stop, [&recognition] { recognition.close(); });
  co_await recognition.recover(
      QString::fromStdString(id), [] { return false; }, std::move(lock));
  while (recognition.recognizing()) {
    co_await qCoro(&recognition, &RecognitionQueue::recognizingChanged);
  }
  co_await recognition.close();
  command.finish(invocation.stop);
  bar.finish();
  printOut(std::string(messages::transcriptSaved) + "\n");
}

QCoro::Task<void> transcribe(const Invocation& invocation) {
  const std::filesystem::path file = invocation.operands.at(0);
  const std::string language = invocation.value("--language", "ko");
  const std::shared_ptr<SoundFileChunker> sound = co_await openSoundFile(file);

  CommandLineParts command({.cpuOnly = invocation.has("--cpu")});
  co_await command.requireModel();

  ProgressBar bar("받아쓰기");
  bar.update(0);
  auto progress = [&bar](std::int64_t done, std::int64_t expected) {
    bar.update(static_cast<double>(done) / static_cast<double>(expected), chunkCount(done, expected));
  };
  const FileTranscription result = co_await transcribeSoundFile(command.parts().recognizer(), sound, language,
                                                                command.parts().settings().cpuOnly(),
                                                                std::move(progress), invocation.stop);
  bar.finish();

  if (invocation.has("--json")) {
    printJson({{"file", file.string()},
               {"language", language},
               {"chunks", result.chunks},
               {"durationSeconds", result.seconds},
               {"entries", result.entries}});
  } else if (const std::optional<SubtitleFormat> subtitleFormat = chosenSubtitles(invocation)) {
    printOut(subtitles::text(result.entries, *subtitleFormat));
  } else {
    std::string out;
    for (const TranscriptEntry& entry : result.entries) {
      out += "[" + duration(static_cast<double>(entry.startTimeMs) / 1000.0) + "] " + entry.text + "\n";
    }
    printOut(out);
  }
  if (result.entries.empty()) {
    std::fprintf(stderr, "%s\n", nothingRecognised);
  }
}

}  // namespace sayloom::cli
