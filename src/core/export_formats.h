#pragma once
// The formats a note is exported in, one description each: the word and the menu text that name
// it, its file suffix, the save dialog's filter and the function that writes it. Adding a format
// is one enumerator and one entry of the table; the switches over ExportFormat (none has a
// default) then show every other place that must learn it. Constant data and stateless writers;
// any thread.
//
// Errors: `describe` and `exportFormat` throw std::invalid_argument for a value that is no
// enumerator; the writers throw what the export they run throws (audio_export.h, atomic_file.h).
#include <filesystem>
#include <optional>
#include <span>

#include "core/native_note.h"
#include "core/subtitle_export.h"

namespace sayloom {

enum class ExportFormat { transcript, audio, srt, webVtt };

// What a writer reads: the note's transcript, or the chunk files of its audio folder.
struct ExportSource {
  NativeNote note;
  std::filesystem::path audioFolder;  // needed only by a format that reads the audio
};

struct ExportFormatDescription {
  ExportFormat format;
  const char* word;      // the command line's word: "sayloom-cli export srt"
  const char* menuText;  // the studio's export menu: "SRT 자막"
  const char* suffix;    // of the file name, without the dot: "srt"
  const char* filter;    // the save dialog's file type: "SubRip (*.srt)"
  // Written from the chunk files, which a running recording is still writing; otherwise from the
  // transcript.
  bool fromAudio;
  std::optional<SubtitleFormat> subtitles;  // the subtitle format written, for subtitles
  // Writes the export to `destination`, replacing it only with a complete file.
  void (*write)(const ExportSource& source, const std::filesystem::path& destination);
};

// Every format, in the order the studio's menu and the command line's help list them.
std::span<const ExportFormatDescription> exportFormats();

const ExportFormatDescription& describe(ExportFormat format);

// The export format that writes `format` subtitles.
ExportFormat exportFormat(SubtitleFormat format);

}  // namespace sayloom
