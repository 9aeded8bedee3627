#include "core/local_note_store.h"

#include <unistd.h>

#include <algorithm>
#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/atomic_file.h"
#include "core/data_paths.h"
#include "core/native_error.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

constexpr const char* noteFileName = "note.json";

// Reads and decodes one entry of "Notes"; throws whatever makes it unusable.
// Neither the folder nor its note.json may be a link: a note is never read from outside the data
// folder.
NativeNote readNoteFolder(const std::filesystem::path& folder, const std::string& name) {
  if (std::filesystem::symlink_status(folder).type() != std::filesystem::file_type::directory) {
    throw std::runtime_error("not a folder: " + name);
  }
  NativeNote note = decodeNote(AtomicFile::readBytes(folder / noteFileName, {.followLinks = false}));
  if (!uuid::isValid(note.id)) {
    throw std::runtime_error("note id is not a UUID: " + note.id);
  }
  if (note.id != name) {
    throw std::runtime_error("note id " + note.id + " does not match its folder " + name);
  }
  return note;
}

// A note whose first save was killed before its rename left a folder holding nothing but that
// save's temporary file: no note ever existed there. The temporary file and then the folder, if that
// left it empty, are removed; true when the folder is gone. Any other folder stays as it is.
bool wasNeverCreated(const std::filesystem::path& folder) {
  std::error_code error;
  if (std::filesystem::symlink_status(folder / noteFileName, error).type() !=
          std::filesystem::file_type::not_found ||
      AtomicFile::removeAbandoned(folder) == 0) {
    return false;
  }
  return ::rmdir(folder.c_str()) == 0;  // refuses a folder that still holds anything
}

}  // namespace

LocalNoteStore::LocalNoteStore(std::filesystem::path root) : m_root(std::move(root)) {}

void LocalNoteStore::save(const NativeNote& note) {
  const std::filesystem::path folder = DataPaths::noteDirectory(note.id, m_root);
  const nlohmann::json encoded = note;
  std::lock_guard lock(m_mutex);
  std::error_code error;
  const bool created =
      std::filesystem::symlink_status(folder, error).type() == std::filesystem::file_type::not_found;
  try {
    AtomicFile::write(encoded, folder / noteFileName);
  } catch (...) {
    // A first save that failed (a full disk, say) leaves no empty folder to be reported at every
    // later start; rmdir refuses a folder that holds anything.
    if (created) {
      ::rmdir(folder.c_str());
    }
    throw;
  }
}

std::optional<NativeNote> LocalNoteStore::load(const std::string& id) {
  if (!uuid::isValid(id)) {
    return std::nullopt;
  }
  std::lock_guard lock(m_mutex);
  const std::filesystem::path folder = DataPaths::noteDirectory(id, m_root);
  std::error_code error;
  if (std::filesystem::symlink_status(folder, error).type() == std::filesystem::file_type::not_found) {
    return std::nullopt;
  }
  try {
    return readNoteFolder(folder, id);
  } catch (const std::exception&) {
    throw NativeError::message(messages::unreadableNotePrefix + id);
  }
}

NoteListing LocalNoteStore::list() {
  std::lock_guard lock(m_mutex);
  NoteListing listing;
  const std::filesystem::path notesFolder = m_root / "Notes";

  std::error_code error;
  const auto status = std::filesystem::symlink_status(notesFolder, error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return listing;
  }
  if (error) {
    throw std::filesystem::filesystem_error("cannot read the notes folder", notesFolder, error);
  }

  // Every entry in the order the file system gives, hidden ones included. A failure anywhere in
  // the listing fails the whole list rather than returning a silently shorter one.
  std::vector<std::string> names;
  for (std::filesystem::directory_iterator it(notesFolder), end; it != end; it.increment(error)) {
    names.push_back(it->path().filename().string());
  }
  if (error) {
    throw std::filesystem::filesystem_error("cannot list the notes folder", notesFolder, error);
  }

  listing.notes.reserve(names.size());
  for (const std::string& name : names) {
    const std::filesystem::path folder = notesFolder / name;
    try {
      listing.notes.push_back(readNoteFolder(folder, name));
    } catch (const std::exception&) {
      if (!wasNeverCreated(folder)) {
        listing.warnings.push_back(messages::unreadableNotePrefix + name);
      }
      continue;
    }
    AtomicFile::removeAbandoned(folder);
    AtomicFile::removeAbandoned(DataPaths::audioDirectory(name, m_root));
  }

  std::stable_sort(listing.notes.begin(), listing.notes.end(),
                   [](const NativeNote& a, const NativeNote& b) { return a.createdAt > b.createdAt; });
  return listing;
}

}  // namespace sayloom
