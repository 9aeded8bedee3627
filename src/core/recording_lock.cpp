#include "core/recording_lock.h"

#include <fcntl.h>
#include <sys/file.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "core/data_paths.h"
#include "core/native_error.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

// A probe (isHeld) holds a shared lock for two system calls; a taker that meets one tries again
// for a short while instead of reporting a recording that is not there.
constexpr int acquireAttempts = 10;
constexpr std::chrono::milliseconds acquireRetryDelay{5};

int flockRetryingInterrupts(int fd, int operation) {
  int result = 0;
  do {
    result = ::flock(fd, operation);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

std::filesystem::path RecordingLock::lockFile(const std::filesystem::path& root, const std::string& id) {
  DataPaths::requireNoteId(id);
  return root / "Locks" / (id + ".lock");
}

std::filesystem::path RecordingLock::recorderLockFile(const std::filesystem::path& root) {
  return root / "Locks" / "recording.lock";
}

RecordingLock RecordingLock::acquire(const std::filesystem::path& root, const std::string& id) {
  return take(lockFile(root, id), id, messages::noteBeingRecorded);
}

RecordingLock RecordingLock::acquireRecorder(const std::filesystem::path& root) {
  return take(recorderLockFile(root), {}, messages::dataFolderRecording);
}

RecordingLock RecordingLock::take(const std::filesystem::path& file, std::string id,
                                  const char* heldMessage) {
  DataPaths::createFolders(file.parent_path());
  // Read-only: the lock holds no data, and a file open for writing would keep its file system from
  // being remounted read-only (flock needs no write access).
  posix::Descriptor fd(::open(file.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0644));
  if (fd.get() < 0) {
    posix::throwErrno("cannot open lock file", file);
  }
  for (int attempt = 1;; ++attempt) {
    if (flockRetryingInterrupts(fd.get(), LOCK_EX | LOCK_NB) == 0) {
      return RecordingLock(std::move(fd), std::move(id));
    }
    if (errno != EWOULDBLOCK) {
      posix::throwErrno("cannot lock file", file);
    }
    if (attempt == acquireAttempts) {
      throw NativeError::message(heldMessage);
    }
    std::this_thread::sleep_for(acquireRetryDelay);
  }
}

bool RecordingLock::isHeld(const std::filesystem::path& root, const std::string& id) {
  if (!uuid::isValid(id)) {
    return false;
  }
  const posix::Descriptor fd(::open(lockFile(root, id).c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    return false;  // never taken since the data folder was made
  }
  if (flockRetryingInterrupts(fd.get(), LOCK_SH | LOCK_NB) != 0) {
    return errno == EWOULDBLOCK;
  }
  ::flock(fd.get(), LOCK_UN);
  return false;
}

void RecordingLock::release() {
  // Closing the only descriptor of the open file drops its lock.
  m_fd = posix::Descriptor();
  m_id.clear();
}

}  // namespace sayloom
