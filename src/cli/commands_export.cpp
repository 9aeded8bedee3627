// export FORMAT ID FILE: a note's recording or transcript as an ordinary file in one of the export
// formats, written the way the application's own exports write them.
#include <filesystem>
#include <stdexcept>

#include "app/concurrency/serial_worker.h"
#include "cli/cli_support.h"
#include "cli/commands.h"
#include "core/data_paths.h"
#include "core/export_formats.h"

namespace sayloom::cli {

namespace {

QCoro::Task<void> exportNote(const Invocation& invocation, ExportFormat format) {
  const ExportFormatDescription& description = describe(format);
  ExportSource source{requireNote(invocation.operands.at(0)), {}};
  if (description.fromAudio) {
    source.audioFolder = DataPaths::audioDirectory(source.note.id, dataRoot());
  }
  auto write = [source = std::move(source), write = description.write,
                destination = std::filesystem::path(invocation.operands.at(1))] {
    write(source, destination);
  };
  co_await runInBackground(std::move(write));
}

// A handler is a plain function, so each format has its own.
template <ExportFormat format>
QCoro::Task<void> exportAs(const Invocation& invocation) {
  return exportNote(invocation, format);
}

}  // namespace

Handler exportHandler(ExportFormat format) {
  switch (format) {
    case ExportFormat::transcript:
      return exportAs<ExportFormat::transcript>;
    case ExportFormat::audio:
      return exportAs<ExportFormat::audio>;
    case ExportFormat::srt:
      return exportAs<ExportFormat::srt>;
    case ExportFormat::webVtt:
      return exportAs<ExportFormat::webVtt>;
  }
  throw std::invalid_argument("unknown export format");
}

std::string subtitleOption(const ExportFormatDescription& format) { return std::string("--") + format.word; }

std::optional<SubtitleFormat> chosenSubtitles(const Invocation& invocation) {
  for (const ExportFormatDescription& format : exportFormats()) {
    if (format.subtitles && invocation.has(subtitleOption(format))) {
      return format.subtitles;
    }
  }
  return std::nullopt;
}

}  // namespace sayloom::cli
