#include "core/data_paths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <system_error>

#include "core/native_error.h"
#include "core/uuid.h"

namespace sayloom::DataPaths {

namespace {

std::filesystem::path homeDirectory() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
    return home;
  }
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return std::filesystem::current_path();
}

}  // namespace

std::filesystem::path root() {
  if (const char* value = std::getenv("SAYLOOM_DATA_DIR"); value != nullptr) {
    // An empty value names the working directory itself (std::filesystem::absolute refuses it).
    if (*value == '\0') {
      return std::filesystem::current_path();
    }
    return std::filesystem::absolute(std::filesystem::path(value));
  }
  return applicationSupport() / "Sayloom Native";
}

void createPrivateRoot(const std::filesystem::path& root) noexcept {
  std::error_code error;
  if (root.has_parent_path()) {
    std::filesystem::create_directories(root.parent_path(), error);
  }
  ::mkdir(root.c_str(), 0700);
}

void createFolders(const std::filesystem::path& folder) {
  std::filesystem::path data = root().lexically_normal();
  if (!data.has_filename()) {
    data = data.parent_path();  // "/a/data/" is "/a/data"
  }
  const std::filesystem::path normal = folder.lexically_normal();
  if (std::mismatch(data.begin(), data.end(), normal.begin(), normal.end()).first == data.end()) {
    createPrivateRoot(data);
  }
  std::filesystem::create_directories(folder);
}

std::filesystem::path applicationSupport() {
  if (const char* value = std::getenv("XDG_DATA_HOME"); value != nullptr) {
    std::filesystem::path path(value);
    if (path.is_absolute()) {
      return path;
    }
  }
  return homeDirectory() / ".local" / "share";
}

void requireNoteId(const std::string& id) {
  if (!uuid::isValid(id)) {
    throw NativeError::message(messages::invalidNoteId);
  }
}

std::filesystem::path noteDirectory(const std::string& id, const std::filesystem::path& root) {
  requireNoteId(id);
  return root / "Notes" / id;
}

std::filesystem::path audioDirectory(const std::string& id, const std::filesystem::path& root) {
  return noteDirectory(id, root) / "Audio";
}

std::filesystem::path modelFile(const std::filesystem::path& root) {
  return root / "Models" / "ggml-base.bin";
}

}  // namespace sayloom::DataPaths
