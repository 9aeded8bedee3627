// export audio|transcript|srt|vtt: a note's recording or transcript as an ordinary file, written
// the way the application's own exports write them.
#include <filesystem>

#include "app/concurrency/serial_worker.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/atomic_file.h"
#include "core/audio_export.h"
#include "core/data_paths.h"
#include "core/subtitle_export.h"
#include "core/transcript_export.h"

namespace sayloom::cli {

namespace {

QCoro::Task<void> exportSubtitles(const Invocation& invocation, SubtitleFormat format) {
  const NativeNote note = requireNote(invocation.operands.at(0));
  AtomicFile::writeBytes(subtitles::text(note.segments, format), invocation.operands.at(1));
  co_return;
}

}  // namespace

QCoro::Task<void> exportAudio(const Invocation& invocation) {
  const NativeNote note = requireNote(invocation.operands.at(0));
  auto write = [folder = DataPaths::audioDirectory(note.id, dataRoot()),
                destination = std::filesystem::path(invocation.operands.at(1))] {
    ::sayloom::exportAudio(folder, destination);
  };
  co_await runInBackground(std::move(write));
}

QCoro::Task<void> exportTranscript(const Invocation& invocation) {
  const NativeNote note = requireNote(invocation.operands.at(0));
  AtomicFile::writeBytes(transcriptText(note), invocation.operands.at(1));
  co_return;
}

QCoro::Task<void> exportSrt(const Invocation& invocation) {
  return exportSubtitles(invocation, SubtitleFormat::srt);
}

QCoro::Task<void> exportVtt(const Invocation& invocation) {
  return exportSubtitles(invocation, SubtitleFormat::webVtt);
}

}  // namespace sayloom::cli
