// recover, transcribe: the speech engine on a note's stored audio or on any sound file.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "app/recognition/engine_config.h"
#include "app/speech_model/model_downloader.h"
#include "app/recognition/recognition_queue.h"
#include "app/recognition/sound_file_transcriber.h"
#include "app/recognition/whisper_recognition_service.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "cli/progress_bar.h"
#include "core/atomic_file.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/local_note_store.h"
#include "core/native_error.h"
#include "core/recording_lock.h"
#include "core/subtitle_export.h"
#include "core/transcript_export.h"

namespace sayloom::cli {

namespace {

const char* const nothingRecognised = "인식된 말이 없습니다.";

// The installed model, checked once; a missing model asks for the download as the app does.
QCoro::Task<void> requireModel(WhisperRecognitionService& recognizer) {
  std::error_code error;
  if (!std::filesystem::exists(recognizer.settings().modelFile, error)) {
    throw NativeError::message(messages::downloadModelFirst);
  }
  co_await recognizer.verifyModel();
}

std::string chunkCount(std::int64_t done, std::int64_t total) {
  return std::to_string(done) + "/" + std::to_string(total);
}

}  // namespace

QCoro::Task<void> recover(const Invocation& invocation) {
  const std::filesystem::path root = dataRoot();
  const std::string id = invocation.operands.at(0);
  requireNote(id);
  // Held until the end, so the application cannot record into the note meanwhile, and refused
  // while it does.
  const RecordingLock lock = RecordingLock::acquire(root, id);
  // Read again under the lock: a recording that just stopped has saved its last state.
  NativeNote note = requireNote(id);

  WhisperRecognitionService recognizer;
  co_await requireModel(recognizer);

  const std::filesystem::path folder = DataPaths::audioDirectory(note.id, root);
  std::error_code error;
  const std::vector<chunks::ChunkFile> files =
      std::filesystem::exists(folder, error) ? chunks::list(folder) : std::vector<chunks::ChunkFile>{};
  if (files.empty()) {
    throw NativeError::message(messages::noAudioToRecover);
  }

  LocalNoteStore store(root);
  note.durationSeconds = chunks::seconds(chunks::totalBytes(files));
  note.completed = true;
  store.save(note);

  const bool processorOnly = cpuOnly(invocation);
  ProgressBar bar("대본 복구");
  const auto total = static_cast<std::int64_t>(files.size());
  bar.update(0, chunkCount(0, total));
  for (std::int64_t done = 0; done < total; ++done) {
    const chunks::ChunkFile& file = files[static_cast<std::size_t>(done)];
    if (const auto index = chunks::indexOf(file.path)) {
      const std::vector<TranscriptEntry> entries =
          co_await recognizer.transcribe(file.path, *index, note.language, processorOnly, invocation.stop);
      AtomicFile::write(nlohmann::json(entries), chunks::transcriptFile(file.path));
      transcript::merge(note.segments, entries);
      store.save(note);
    }
    bar.update(static_cast<double>(done + 1) / static_cast<double>(total), chunkCount(done + 1, total));
  }
  bar.finish();
  printOut(std::string(messages::transcriptSaved) + "\n");
}

QCoro::Task<void> transcribe(const Invocation& invocation) {
  const std::filesystem::path file = invocation.operands.at(0);
  const std::string language = invocation.value("--language", "ko");
  const std::shared_ptr<SoundFileChunker> sound = co_await openSoundFile(file);

  WhisperRecognitionService recognizer;
  co_await requireModel(recognizer);

  ProgressBar bar("받아쓰기");
  bar.update(0);
  auto progress = [&bar](std::int64_t done, std::int64_t expected) {
    bar.update(static_cast<double>(done) / static_cast<double>(expected), chunkCount(done, expected));
  };
  const FileTranscription result = co_await transcribeSoundFile(
      recognizer, sound, language, cpuOnly(invocation), std::move(progress), invocation.stop);
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
