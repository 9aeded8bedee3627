#include "app/model_file_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <cerrno>
#include <system_error>
#include <vector>

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
      ::close(m_fd);  // a failing close of a file only read changes nothing
    }
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return m_fd; }

private:
  int m_fd;
};

}  // namespace

bool modelFileMatches(const std::filesystem::path& file, const engine::ModelIdentity& identity) {
  const Descriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC));
  if (fd.get() < 0) {
    throwErrno("cannot open model file", file);
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    throwErrno("cannot read model file", file);
  }
  if (!S_ISREG(info.st_mode) || static_cast<std::uint64_t>(info.st_size) != identity.size) {
    return false;
  }
  QCryptographicHash hash(QCryptographicHash::Sha256);
  std::vector<char> piece(modelReadPieceBytes);
  std::uint64_t count = 0;
  for (;;) {
    const ssize_t n = ::read(fd.get(), piece.data(), piece.size());
    if (n < 0) {
      if (errno == EINTR) {
        continue;
      }
      throwErrno("cannot read model file", file);
    }
    if (n == 0) {
      break;
    }
    count += static_cast<std::uint64_t>(n);
    if (count > identity.size) {
      return false;  // the file grew while it was read
    }
    hash.addData(QByteArrayView(piece.data(), n));
  }
  return count == identity.size && hash.result().toHex().toStdString() == identity.sha256;
}

}  // namespace sayloom
