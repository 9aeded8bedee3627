// notes list, notes show: the notes of the data folder as text or JSON.
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/chunk_files.h"
#include "core/data_paths.h"
#include "core/iso_date.h"
#include "core/local_note_store.h"
#include "core/recording_lock.h"
#include "core/transcript_export.h"

namespace sayloom::cli {

namespace {

// "녹음 중" while the application records the note, otherwise whether it was completed.
std::string state(const NativeNote& note, bool recording) {
  if (recording) {
    return "녹음 중";
  }
  return note.completed ? "완료" : "미완료";
}

struct AudioSummary {
  std::size_t chunks = 0;
  std::uint64_t bytes = 0;
};

AudioSummary audioOf(const std::string& id) {
  const std::filesystem::path folder = DataPaths::audioDirectory(id, dataRoot());
  std::error_code error;
  if (!std::filesystem::exists(folder, error)) {
    return {};
  }
  const std::vector<chunks::ChunkFile> files = chunks::list(folder);
  return {files.size(), chunks::totalBytes(files)};
}

}  // namespace

QCoro::Task<void> notesList(const Invocation& invocation) {
  const std::filesystem::path root = dataRoot();
  const NoteListing listing = LocalNoteStore(root).list();
  for (const std::string& warning : listing.warnings) {
    std::fprintf(stderr, "%s\n", warning.c_str());
  }

  if (invocation.has("--json")) {
    nlohmann::json notes = nlohmann::json::array();
    for (const NativeNote& note : listing.notes) {
      notes.push_back({{"id", note.id},
                       {"title", note.title},
                       {"createdAt", formatIsoDate(note.createdAt)},
                       {"language", note.language},
                       {"source", note.source},
                       {"durationSeconds", note.durationSeconds},
                       {"completed", note.completed},
                       {"segmentCount", note.segments.size()},
                       {"recording", RecordingLock::isHeld(root, note.id)}});
    }
    printJson({{"notes", std::move(notes)}, {"warnings", listing.warnings}});
    co_return;
  }

  std::string out;
  for (const NativeNote& note : listing.notes) {
    out += note.id + '\t' + formatIsoDate(note.createdAt) + '\t' + duration(note.durationSeconds) + '\t' +
           state(note, RecordingLock::isHeld(root, note.id)) + '\t' + note.title + '\n';
  }
  printOut(out);
}

QCoro::Task<void> notesShow(const Invocation& invocation) {
  const NativeNote note = requireNote(invocation.operands.at(0));
  const AudioSummary audio = audioOf(note.id);
  const double audioSeconds = chunks::seconds(audio.bytes);
  const bool recording = RecordingLock::isHeld(dataRoot(), note.id);

  if (invocation.has("--json")) {
    printJson({{"note", note},
               {"audio", {{"chunks", audio.chunks}, {"bytes", audio.bytes}, {"seconds", audioSeconds}}},
               {"recording", recording}});
    co_return;
  }
  std::string out;
  out += "ID: " + note.id + "\n";
  out += "만든 시각: " + formatIsoDate(note.createdAt) + "\n";
  out += "언어: " + note.language + "\n";
  out += "소스: " + note.source + "\n";
  out += "길이: " + duration(note.durationSeconds) + "\n";
  out += "상태: " + state(note, recording) + "\n";
  out += "오디오: " + std::to_string(audio.chunks) + "개 조각, " + duration(audioSeconds) + "\n";
  out += "구간: " + std::to_string(note.segments.size()) + "개\n";
  out += "\n" + transcriptText(note) + "\n";
  printOut(out);
}

}  // namespace sayloom::cli
