#include "core/posix_file.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>
#include <vector>

namespace sayloom::posix {

void throwErrno(const char* what, const std::filesystem::path& path) {
  throw std::filesystem::filesystem_error(what, path, std::error_code(errno, std::generic_category()));
}

Descriptor::~Descriptor() {
  if (m_fd >= 0) {
    ::close(m_fd);
  }
}

Descriptor::Descriptor(Descriptor&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
  if (this != &other) {
    if (m_fd >= 0) {
      ::close(m_fd);
    }
    m_fd = std::exchange(other.m_fd, -1);
  }
  return *this;
}

void Descriptor::close(const std::filesystem::path& path, const char* what) {
  const int fd = std::exchange(m_fd, -1);
  if (::close(fd) != 0 && errno != EINTR) {
    throwErrno(what, path);
  }
}

Descriptor openForReading(const std::filesystem::path& path, const char* what, std::uintmax_t maxBytes,
                          bool followLinks) {
  // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; reads of the regular files that
  // pass the check below ignore it, so it stays set.
  Descriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | (followLinks ? 0 : O_NOFOLLOW)));
  if (fd.get() < 0) {
    throwErrno(what, path);
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    throwErrno(what, path);
  }
  if (!S_ISREG(info.st_mode)) {
    errno = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
    throwErrno(what, path);
  }
  if (static_cast<std::uintmax_t>(info.st_size) > maxBytes) {
    errno = EFBIG;
    throwErrno(what, path);
  }
  return fd;
}

Descriptor createNew(const std::filesystem::path& path, mode_t mode) {
  Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
  if (fd.get() < 0) {
    throwErrno("cannot create file", path);
  }
  return fd;
}

Descriptor createOrEmpty(const std::filesystem::path& path, mode_t mode) {
  Descriptor fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode));
  if (fd.get() < 0) {
    throwErrno("cannot create file", path);
  }
  return fd;
}

void sync(int fd, const std::filesystem::path& path) {
  if (::fsync(fd) != 0) {
    throwErrno("cannot synchronise file", path);
  }
}

void writeAll(int fd, std::string_view bytes, const std::filesystem::path& path) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("cannot write file", path);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
}

void writeAllAt(int fd, std::string_view bytes, off_t offset, const std::filesystem::path& path) {
  while (!bytes.empty()) {
    const ssize_t written = ::pwrite(fd, bytes.data(), bytes.size(), offset);
    if (written < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("cannot write file", path);
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
    offset += written;
  }
}

std::size_t readSome(int fd, char* buffer, std::size_t size, const std::filesystem::path& path,
                     const char* what) {
  for (;;) {
    const ssize_t got = ::read(fd, buffer, size);
    if (got >= 0) {
      return static_cast<std::size_t>(got);
    }
    if (errno != EINTR) {
      throwErrno(what, path);
    }
  }
}

void syncFolder(const std::filesystem::path& folder) {
  const Descriptor fd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (fd.get() >= 0) {
    ::fsync(fd.get());  // best effort: the rename or create has already happened
  }
}

NewFile::NewFile(std::filesystem::path path, mode_t mode)
    : m_path(std::move(path)), m_fd(createNew(m_path, mode)) {
  // Best effort: without the lock the file only looks abandoned to a later start a little early.
  m_lock = Descriptor(::open(m_path.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
  if (m_lock.get() >= 0) {
    ::flock(m_lock.get(), LOCK_EX | LOCK_NB);
  }
}

NewFile::NewFile(NewFile&& other) noexcept
    : m_path(std::move(other.m_path)),
      m_fd(std::move(other.m_fd)),
      m_lock(std::move(other.m_lock)),
      m_done(std::exchange(other.m_done, true)) {}

NewFile::~NewFile() {
  m_fd = Descriptor();  // closed before the name goes
  if (!m_done) {
    ::unlink(m_path.c_str());
  }
  m_lock = Descriptor();  // the lock goes with the name
}

void NewFile::syncAndClose(const char* closeWhat) {
  sync(m_fd.get(), m_path);
  m_fd.close(m_path, closeWhat);
}

void NewFile::renameTo(const std::filesystem::path& target) {
  if (::rename(m_path.c_str(), target.c_str()) != 0) {
    throwErrno("cannot replace file", target);
  }
  m_done = true;
  m_lock = Descriptor();
}

bool isAbandoned(const std::filesystem::path& path) {
  const Descriptor fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat info {};
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return false;
  }
  // The lock is dropped again when `fd` closes.
  return ::flock(fd.get(), LOCK_EX | LOCK_NB) == 0;
}

NewFile copyToNewFile(const std::filesystem::path& source, const std::filesystem::path& target,
                      std::size_t bufferBytes, const char* closeWhat, std::uintmax_t maxBytes) {
  const Descriptor in = openForReading(source, "cannot open file", maxBytes);
  NewFile out(target, 0644);
  std::vector<char> buffer(bufferBytes);
  while (const std::size_t got = readSome(in.get(), buffer.data(), buffer.size(), source)) {
    out.write(std::string_view(buffer.data(), got));
  }
  out.syncAndClose(closeWhat);
  return out;
}

}  // namespace sayloom::posix
