#include "core/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "core/uuid.h"

namespace sayloom::AtomicFile {

namespace {

[[noreturn]] void throwErrno(const std::string& what, const std::filesystem::path& path) {
  throw std::filesystem::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

// Closes the descriptor and removes the temporary file unless the rename went through.
class TemporaryFile {
public:
  explicit TemporaryFile(std::filesystem::path path) : m_path(std::move(path)) {
    m_fd = ::open(m_path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
    if (m_fd < 0) {
      throwErrno("cannot create file", m_path);
    }
  }
  ~TemporaryFile() {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
    if (!m_committed) {
      ::unlink(m_path.c_str());
    }
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  void writeAll(std::string_view bytes) {
    while (!bytes.empty()) {
      ssize_t written = ::write(m_fd, bytes.data(), bytes.size());
      if (written < 0) {
        if (errno == EINTR) {
          continue;
        }
        throwErrno("cannot write file", m_path);
      }
      bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    if (::fsync(m_fd) != 0) {
      throwErrno("cannot synchronise file", m_path);
    }
    int fd = m_fd;
    m_fd = -1;
    if (::close(fd) != 0) {
      throwErrno("cannot close file", m_path);
    }
  }

  void renameTo(const std::filesystem::path& target) {
    if (::rename(m_path.c_str(), target.c_str()) != 0) {
      throwErrno("cannot replace file", target);
    }
    m_committed = true;
  }

private:
  std::filesystem::path m_path;
  int m_fd = -1;
  bool m_committed = false;
};

void syncDirectory(const std::filesystem::path& folder) {
  int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);  // best effort: the rename itself already happened
    ::close(fd);
  }
}

}  // namespace

void writeBytes(std::string_view bytes, const std::filesystem::path& target) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  std::filesystem::create_directories(folder);
  std::string temporaryName = ".";
  temporaryName += target.filename().string();
  temporaryName += '.';
  temporaryName += uuid::generate();
  temporaryName += ".tmp";
  TemporaryFile temporary(folder / temporaryName);
  temporary.writeAll(bytes);
  temporary.renameTo(target);
  syncDirectory(folder);
}

void write(const nlohmann::json& value, const std::filesystem::path& target) {
  writeBytes(value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n", target);
}

std::string readBytes(const std::filesystem::path& source) {
  int fd = ::open(source.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    throwErrno("cannot open file", source);
  }
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0) {
    throwErrno("cannot read file", source);
  }
  if (S_ISDIR(info.st_mode)) {
    errno = EISDIR;
    throwErrno("cannot read file", source);
  }
  // One read for a regular file of known size; the loop also copes with files that grow or
  // report no size (pipes, /proc).
  std::string bytes;
  std::size_t size = 0;
  bytes.resize(S_ISREG(info.st_mode) && info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096);
  for (;;) {
    if (size == bytes.size()) {
      bytes.resize(bytes.size() * 2);
    }
    ssize_t got = ::read(fd, bytes.data() + size, bytes.size() - size);
    if (got < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("cannot read file", source);
    }
    if (got == 0) {
      break;
    }
    size += static_cast<std::size_t>(got);
  }
  bytes.resize(size);
  return bytes;
}

nlohmann::json read(const std::filesystem::path& source) { return nlohmann::json::parse(readBytes(source)); }

}  // namespace sayloom::AtomicFile
