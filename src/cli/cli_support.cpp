#include "cli/cli_support.h"

#include <cstdio>

#include "core/data_paths.h"
#include "core/local_note_store.h"
#include "core/native_error.h"
#include "core/uuid.h"
#include "platform/settings_store.h"

namespace sayloom::cli {

std::filesystem::path dataRoot() {
  std::filesystem::path root = DataPaths::root();
  DataPaths::createPrivateRoot(root);
  return root;
}

NativeNote requireNote(const std::string& id) {
  if (!uuid::isValid(id)) {
    throw NativeError::message(messages::invalidNoteId);
  }
  LocalNoteStore store(dataRoot());
  std::optional<NativeNote> note = store.load(id);
  if (!note) {
    throw NativeError::message(messages::noteNotFoundPrefix + id);
  }
  return std::move(*note);
}

bool cpuOnly(const Invocation& invocation) {
  return invocation.has("--cpu") || platform::DesktopSettingsStore().cpuOnly();
}

void printOut(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
}

void printJson(const nlohmann::json& value) {
  printOut(value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
}

}  // namespace sayloom::cli
