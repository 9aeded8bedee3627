#pragma once
// Where Sayloom keeps its data. Computed afresh at every call (nothing is cached), so the
// environment applies to the whole process. Stateless; any thread.
#include <filesystem>
#include <string>

namespace sayloom::DataPaths {

// $SAYLOOM_DATA_DIR when the variable is present (even empty; a relative value resolves against
// the working directory), otherwise applicationSupport() / "Sayloom Native".
std::filesystem::path root();

// Creates `root` readable by its owner alone (0700) when it does not exist yet, so that no other
// user of the machine can read the notes and their audio; missing parents are made with the
// process's umask. An existing folder keeps its permissions: where it is and who may read it are
// the user's choice. Best effort: a failure here surfaces at the first write.
void createPrivateRoot(const std::filesystem::path& root) noexcept;

// Creates `folder` and the missing folders above it (std::filesystem::create_directories, whose
// errors it throws). When `folder` lies in root(), the data folder is made first by
// createPrivateRoot: whichever write comes first, a new data folder is private.
void createFolders(const std::filesystem::path& folder);

// The per-user application data folder: $XDG_DATA_HOME when it is an absolute path, otherwise
// $HOME/.local/share.
std::filesystem::path applicationSupport();

// Throws NativeError(messages::invalidNoteId) unless `id` is a UUID: an id becomes a file or folder
// name, and only a UUID can never climb out of its folder or name something else.
void requireNoteId(const std::string& id);

// root / "Notes" / id; refuses an id that is not a UUID (requireNoteId).
std::filesystem::path noteDirectory(const std::string& id, const std::filesystem::path& root);

// root / "Notes" / id / "Audio": the recording's chunk files and per-chunk transcripts. Refuses an
// id that is not a UUID.
std::filesystem::path audioDirectory(const std::string& id, const std::filesystem::path& root);

// root / "Models" / "ggml-base.bin"
std::filesystem::path modelFile(const std::filesystem::path& root);

}  // namespace sayloom::DataPaths
