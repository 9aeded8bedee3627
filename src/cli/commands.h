#pragma once
// The commands of sayloom-cli. Each runs on the main thread with a Qt event loop, writes its
// result to standard output and throws on failure (the program prints the error's text and exits
// with status 1). They work in the application's data folder (DataPaths::root) with the
// application's engine and model settings.
#include <QCoroTask>
#include <optional>
#include <string>

#include "cli/command_line.h"
#include "core/export_formats.h"

namespace sayloom::cli {

// commands_notes.cpp
QCoro::Task<void> notesList(const Invocation& invocation);
QCoro::Task<void> notesShow(const Invocation& invocation);

// commands_export.cpp
// "export WORD ID FILE" of one export format.
Handler exportHandler(ExportFormat format);
// The option that asks a command for subtitles in `format` (a format with `subtitles`): "--srt".
std::string subtitleOption(const ExportFormatDescription& format);
// The subtitle format whose option the invocation has, if any.
std::optional<SubtitleFormat> chosenSubtitles(const Invocation& invocation);

// commands_recognition.cpp
QCoro::Task<void> recover(const Invocation& invocation);
QCoro::Task<void> transcribe(const Invocation& invocation);

// commands_record.cpp
QCoro::Task<void> record(const Invocation& invocation);

// commands_speech_model.cpp
QCoro::Task<void> modelDownload(const Invocation& invocation);
QCoro::Task<void> modelCheck(const Invocation& invocation);

// commands_presets.cpp
QCoro::Task<void> presetsExport(const Invocation& invocation);
QCoro::Task<void> presetsImport(const Invocation& invocation);

}  // namespace sayloom::cli
