// export FORMAT ID FILE: a note's recording or transcript as an ordinary file in one of the export
// formats, written the way the application's own exports write them.
#include <stdexcept>

#include "app/export/note_exporter.h"
#include "cli/cli_support.h"
#include "cli/command_line_parts.h"
#include "cli/commands.h"
#include "core/export_formats.h"

namespace sayloom::cli {

namespace {

// The application's own export of the note, to the file named on the command line.
QCoro::Task<void> exportNote(const Invocation& invocation, ExportFormat format) {
  CommandLineParts command({.exportDestination = invocation.operands.at(1)});
  co_await command.openNote(invocation.operands.at(0));
  co_await command.parts().exporter().exportNote(format);
  command.finish(invocation.stop);
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
