#include "core/export_formats.h"

#include <algorithm>
#include <array>
#include <stdexcept>

#include "core/atomic_file.h"
#include "core/audio_export.h"
#include "core/transcript_export.h"

namespace sayloom {

namespace {

void writeTranscript(const ExportSource& source, const std::filesystem::path& destination) {
  AtomicFile::writeBytes(transcriptText(source.note), destination);
}

void writeAudio(const ExportSource& source, const std::filesystem::path& destination) {
  exportAudio(source.audioFolder, destination);
}

template <SubtitleFormat format>
void writeSubtitles(const ExportSource& source, const std::filesystem::path& destination) {
  AtomicFile::writeBytes(subtitles::text(source.note.segments, format), destination);
}

}  // namespace

// Built on first use, so that no static initialiser elsewhere can see it before it is made.
std::span<const ExportFormatDescription> exportFormats() {
  static const auto formats = std::to_array<ExportFormatDescription>({
      {ExportFormat::transcript, "transcript", "대본", "txt", "Text (*.txt)", false, std::nullopt,
       writeTranscript},
      {ExportFormat::audio, "audio", "오디오 내보내기", "wav", "WAV (*.wav)", true, std::nullopt, writeAudio},
      {ExportFormat::srt, "srt", "SRT 자막", subtitles::extension(SubtitleFormat::srt), "SubRip (*.srt)",
       false, SubtitleFormat::srt, writeSubtitles<SubtitleFormat::srt>},
      {ExportFormat::webVtt, "vtt", "WebVTT 자막", subtitles::extension(SubtitleFormat::webVtt),
       "WebVTT (*.vtt)", false, SubtitleFormat::webVtt, writeSubtitles<SubtitleFormat::webVtt>},
  });
  return formats;
}

const ExportFormatDescription& describe(ExportFormat format) {
  const auto formats = exportFormats();
  const auto found = std::ranges::find(formats, format, &ExportFormatDescription::format);
  if (found == formats.end()) {
    throw std::invalid_argument("unknown export format");
  }
  return *found;
}

ExportFormat exportFormat(SubtitleFormat format) {
  const auto formats = exportFormats();
  const auto found = std::ranges::find(formats, std::optional(format), &ExportFormatDescription::subtitles);
  if (found == formats.end()) {
    throw std::invalid_argument("unknown subtitle format");
  }
  return found->format;
}

}  // namespace sayloom
