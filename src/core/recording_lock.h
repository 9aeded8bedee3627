#pragma once
// The locks that keep two programs from writing one note at a time: the application takes a note's
// lock for the note it records, the command-line tool for a note it rebuilds. It is an flock(2)
// lock on the empty file root / "Locks" / "<note id>.lock". The recorder's lock, on
// root / "Locks" / "recording.lock", is held by whichever program records into the data folder
// (the application or sayloom-cli), so that only one recording runs there at a time. The kernel drops the
// lock when its holder ends, however it ends, so a file left behind by a crash means nothing: only the lock
// on it counts, and the files are never removed (removing one could split a waiting and a new holder onto two
// files). The descriptor is opened close-on-exec, so child processes (the speech engine) never
// inherit and prolong the lock.
//
// Thread contract: a RecordingLock is a value owned by one thread at a time; the static functions
// may be called from any thread. Locks of one process conflict with each other too (flock locks
// belong to the open file, not the process).
#include <filesystem>
#include <string>

#include "core/posix_file.h"

namespace sayloom {

namespace messages {
inline constexpr const char* noteBeingRecorded =
    "이 노트는 지금 앱에서 녹음 중입니다. 녹음을 중지한 뒤 다시 시도해 주세요.";
inline constexpr const char* dataFolderRecording =
    "이 데이터 폴더에는 이미 진행 중인 녹음이 있습니다. 그 녹음을 중지한 뒤 다시 시도해 주세요.";
}  // namespace messages

class RecordingLock {
public:
  // Takes the lock of note `id` without waiting. Throws NativeError(messages::invalidNoteId) for an
  // id that is not a UUID, NativeError(messages::noteBeingRecorded) when another holder has it,
  // and the file system's error when the lock file cannot be made or opened.
  static RecordingLock acquire(const std::filesystem::path& root, const std::string& id);
  // Takes the recorder's lock of the data folder without waiting. Throws
  // NativeError(messages::dataFolderRecording) when another recording holds it, and the file
  // system's error when the lock file cannot be made or opened.
  static RecordingLock acquireRecorder(const std::filesystem::path& root);

  // Whether some holder has the lock of note `id` now. Creates nothing; false for an id that is
  // not a UUID.
  static bool isHeld(const std::filesystem::path& root, const std::string& id);

  // root / "Locks" / "<id>.lock"
  static std::filesystem::path lockFile(const std::filesystem::path& root, const std::string& id);
  // root / "Locks" / "recording.lock"
  static std::filesystem::path recorderLockFile(const std::filesystem::path& root);

  RecordingLock() = default;  // holds nothing
  RecordingLock(RecordingLock&&) noexcept = default;
  RecordingLock& operator=(RecordingLock&&) noexcept = default;

  bool held() const { return m_fd.get() >= 0; }
  // The note whose lock this is; empty for the recorder's lock.
  const std::string& noteId() const { return m_id; }
  // Gives the lock up (also done on destruction).
  void release();

private:
  static RecordingLock take(const std::filesystem::path& file, std::string id, const char* heldMessage);
  RecordingLock(posix::Descriptor fd, std::string id) : m_fd(std::move(fd)), m_id(std::move(id)) {}

  posix::Descriptor m_fd;
  std::string m_id;
};

}  // namespace sayloom
