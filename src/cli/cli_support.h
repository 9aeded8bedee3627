#pragma once
// What the commands of sayloom-cli share: finding a note by its id, the user's recognition
// setting, and writing results to standard output. Main thread.
#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "cli/command_line.h"
#include "core/native_note.h"

namespace sayloom::messages {
inline constexpr const char* noteNotFoundPrefix = "노트를 찾지 못했습니다: ";
}  // namespace sayloom::messages

namespace sayloom::cli {

// The data folder the application uses (SAYLOOM_DATA_DIR or the per-user default).
std::filesystem::path dataRoot();

// The note `id` of the data folder. Throws NativeError invalidNoteId for an id that is not a UUID,
// noteNotFoundPrefix + id when there is no such note, and the store's text for a note folder that
// cannot be read.
NativeNote requireNote(const std::string& id);

// Processor-only recognition: "--cpu", or the application's own "cpuOnly" setting.
bool cpuOnly(const Invocation& invocation);

// Writes `text` to standard output as it is (UTF-8).
void printOut(std::string_view text);
// Pretty-printed with keys in sorted order, and a line break.
void printJson(const nlohmann::json& value);

}  // namespace sayloom::cli
