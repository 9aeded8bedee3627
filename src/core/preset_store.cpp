#include "core/preset_store.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>
#include <utility>

#include "core/atomic_file.h"
#include "core/native_error.h"
#include "core/preset_document.h"
#include "core/uuid.h"

namespace sayloom {

namespace {

[[noreturn]] void throwErrno(const char* what, const std::filesystem::path& path) {
  throw std::filesystem::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

class Descriptor {
public:
  explicit Descriptor(int fd) : m_fd(fd) {}
  ~Descriptor() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }
  int release() { return std::exchange(m_fd, -1); }

private:
  int m_fd;
};

// Reads the file's first `limit` bytes (all of it when it is shorter). Reading no more than the
// document limit plus one byte is enough to reject an oversized file without holding it in memory.
std::string readAtMost(const std::filesystem::path& path, std::size_t limit) {
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    throwErrno("cannot open file", path);
  }
  std::string bytes;
  char buffer[64 * 1024];
  while (bytes.size() < limit) {
    ssize_t count = ::read(fd.get(), buffer, std::min(sizeof buffer, limit - bytes.size()));
    if (count < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("cannot read file", path);
    }
    if (count == 0) {
      break;
    }
    bytes.append(buffer, static_cast<std::size_t>(count));
  }
  return bytes;
}

// Copies `source` to the new file `target` and synchronises it to storage. On failure nothing is
// left at `target`.
void copyToNewFile(const std::filesystem::path& source, const std::filesystem::path& target) {
  Descriptor in(::open(source.c_str(), O_RDONLY | O_CLOEXEC));
  if (in.get() < 0) {
    throwErrno("cannot open file", source);
  }
  Descriptor out(::open(target.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644));
  if (out.get() < 0) {
    throwErrno("cannot create file", target);
  }
  try {
    char buffer[64 * 1024];
    for (;;) {
      ssize_t count = ::read(in.get(), buffer, sizeof buffer);
      if (count < 0) {
        if (errno == EINTR) {
          continue;
        }
        throwErrno("cannot read file", source);
      }
      if (count == 0) {
        break;
      }
      for (ssize_t done = 0; done < count;) {
        ssize_t written = ::write(out.get(), buffer + done, static_cast<std::size_t>(count - done));
        if (written < 0) {
          if (errno == EINTR) {
            continue;
          }
          throwErrno("cannot write file", target);
        }
        done += written;
      }
    }
    if (::fsync(out.get()) != 0) {
      throwErrno("cannot synchronise file", target);
    }
    if (::close(out.release()) != 0) {
      throwErrno("cannot close file", target);
    }
  } catch (...) {
    ::unlink(target.c_str());
    throw;
  }
  Descriptor folder(::open(target.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() >= 0) {
    ::fsync(folder.get());  // best effort: the copy itself is complete
  }
}

}  // namespace

PresetStore::PresetStore(const std::filesystem::path& root) : m_url(root / fileName) {}

bool PresetStore::readOnly() const {
  std::lock_guard lock(m_mutex);
  return m_readOnly;
}

PresetStore::LoadResult PresetStore::load() {
  std::lock_guard lock(m_mutex);
  std::error_code error;
  if (std::filesystem::status(m_url, error).type() == std::filesystem::file_type::not_found) {
    return {OverlayPreset::builtIns(), std::nullopt, false};
  }
  try {
    PresetDocument document = PresetDocument::read(readAtMost(m_url, PresetDocument::maxBytes + 1));
    return {std::move(document.Presets), std::nullopt, false};
  } catch (const NativeError& failure) {
    if (failure.kind() == NativeError::Kind::futureVersion) {
      // A newer version's file: leave it exactly as it is and never write over it.
      m_readOnly = true;
      return {OverlayPreset::builtIns(), failure.description(), true};
    }
  } catch (const std::exception&) {
    // Unreadable in some other way: keep a copy before the defaults take its place.
  }
  std::filesystem::path backup = m_url;
  backup += ".corrupt-" + uuid::generate();
  try {
    copyToNewFile(m_url, backup);
  } catch (const std::exception&) {
    m_readOnly = true;
    return {OverlayPreset::builtIns(), messages::presetBackupFailed, true};
  }
  return {OverlayPreset::builtIns(), messages::presetBackupRestored, false};
}

void PresetStore::save(const std::vector<OverlayPreset>& presets) {
  std::lock_guard lock(m_mutex);
  if (m_readOnly) {
    throw NativeError::message(messages::presetSaveLocked);
  }
  // What is written is what a later load will read: the reader enforces every limit and rule.
  const PresetDocument checked = PresetDocument::read(PresetDocument(presets).encode());
  AtomicFile::write(checked.toJson(), m_url);
}

}  // namespace sayloom
