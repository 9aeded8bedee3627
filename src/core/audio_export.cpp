#include "core/audio_export.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <string>
#include <system_error>
#include <vector>

#include "core/native_error.h"
#include "core/uuid.h"
#include "core/wave.h"

namespace sayloom {

namespace {

[[noreturn]] void throwErrno(const std::string& what, const std::filesystem::path& path) {
  throw std::filesystem::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

struct Chunk {
  std::filesystem::path path;
  std::uint64_t size = 0;
};

// The chunk files of the folder in index order (their names are zero-padded indexes).
std::vector<Chunk> listChunks(const std::filesystem::path& folder) {
  std::vector<Chunk> chunks;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".pcm") {
      continue;
    }
    std::error_code ec;
    if (entry.is_directory(ec)) {
      continue;
    }
    const std::uintmax_t size = entry.file_size(ec);
    chunks.push_back({entry.path(), ec ? 0 : static_cast<std::uint64_t>(size)});
  }
  std::sort(chunks.begin(), chunks.end(), [](const Chunk& a, const Chunk& b) {
    return a.path.filename().string() < b.path.filename().string();
  });
  return chunks;
}

bool describable(std::uint64_t total) { return total >= 1 && total <= wave::maxPcmBytes; }

void writeAll(int fd, const char* data, std::size_t size, const std::filesystem::path& path) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("cannot write file", path);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
}

void writeAllAt(int fd, const char* data, std::size_t size, off_t offset, const std::filesystem::path& path) {
  while (size > 0) {
    const ssize_t written = ::pwrite(fd, data, size, offset);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("cannot write file", path);
    }
    data += written;
    size -= static_cast<std::size_t>(written);
    offset += written;
  }
}

// Appends the whole content of `source` to `fd`; returns the number of bytes appended.
std::uint64_t appendFile(int fd, const std::filesystem::path& target, const std::filesystem::path& source,
                         std::vector<char>& buffer) {
  const int in = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    throwErrno("cannot open file", source);
  }
  std::uint64_t copied = 0;
  try {
    for (;;) {
      const ssize_t got = ::read(in, buffer.data(), buffer.size());
      if (got < 0) {
        if (errno == EINTR) {
          continue;
        }
        throwErrno("cannot read file", source);
      }
      if (got == 0) {
        break;
      }
      writeAll(fd, buffer.data(), static_cast<std::size_t>(got), target);
      copied += static_cast<std::uint64_t>(got);
    }
  } catch (...) {
    ::close(in);
    throw;
  }
  ::close(in);
  return copied;
}

// The file being assembled: closed and removed on every path unless it was renamed into place.
class PartialFile {
public:
  explicit PartialFile(std::filesystem::path path) : m_path(std::move(path)) {
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (m_fd < 0) {
      throwErrno("cannot create file", m_path);
    }
  }
  ~PartialFile() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
    if (!m_renamed) {
      ::unlink(m_path.c_str());
    }
  }
  PartialFile(const PartialFile&) = delete;
  PartialFile& operator=(const PartialFile&) = delete;

  int fd() const { return m_fd; }
  const std::filesystem::path& path() const { return m_path; }

  void syncAndClose() {
    if (::fsync(m_fd) != 0) {
      throwErrno("cannot synchronise file", m_path);
    }
    const int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
      throwErrno("cannot close file", m_path);
    }
  }

  // rename(2) replaces an existing destination in one step and moves onto a free name alike.
  void renameTo(const std::filesystem::path& destination) {
    if (::rename(m_path.c_str(), destination.c_str()) != 0) {
      throwErrno("cannot replace file", destination);
    }
    m_renamed = true;
  }

private:
  std::filesystem::path m_path;
  int m_fd = -1;
  bool m_renamed = false;
};

void syncFolder(const std::filesystem::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);  // best effort: the rename has already happened
    ::close(fd);
  }
}

}  // namespace

void exportAudio(const std::filesystem::path& audioFolder, const std::filesystem::path& destination) {
  const std::vector<Chunk> chunks = listChunks(audioFolder);
  std::uint64_t total = 0;
  for (const Chunk& chunk : chunks) {
    total += chunk.size;
    if (total > wave::maxPcmBytes) {
      break;  // already out of range; also keeps the sum from wrapping
    }
  }
  if (chunks.empty() || !describable(total)) {
    throw NativeError::message(messages::audioTooLargeForWav);
  }

  std::filesystem::path temporary = destination;
  temporary += '.';
  temporary += uuid::generate();
  temporary += ".tmp";
  PartialFile file(temporary);

  const auto header = wave::header(total);
  writeAll(file.fd(), header.data(), header.size(), file.path());

  std::vector<char> buffer(1 << 20);
  std::uint64_t appended = 0;
  for (const Chunk& chunk : chunks) {
    appended += appendFile(file.fd(), file.path(), chunk.path, buffer);
    if (appended > wave::maxPcmBytes) {
      throw NativeError::message(messages::audioTooLargeForWav);
    }
  }
  // A size that could not be read, or a file that changed after the listing, would otherwise leave
  // a header that does not describe the body: the header always states what was really written.
  if (appended != total) {
    if (!describable(appended)) {
      throw NativeError::message(messages::audioTooLargeForWav);
    }
    const auto corrected = wave::header(appended);
    writeAllAt(file.fd(), corrected.data() + 4, 4, 4, file.path());
    writeAllAt(file.fd(), corrected.data() + 40, 4, 40, file.path());
  }
  file.syncAndClose();
  file.renameTo(destination);
  syncFolder(destination.has_parent_path() ? destination.parent_path() : std::filesystem::path("."));
}

}  // namespace sayloom
