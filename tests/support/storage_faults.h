#pragma once
// Storage that refuses writes, for tests, by the means that work for the user running them:
//   - SmallDisk: a small tmpfs mounted over a folder (needs the right to mount, as root has here),
//     which can be filled up (ENOSPC) and switched read-only (EROFS);
//   - FileSizeLimit: RLIMIT_FSIZE for the whole process (child processes included), so that
//     writing past the limit fails with EFBIG (SIGXFSZ is ignored meanwhile); works for any user,
//     root included.
// Each undoes itself when it goes out of scope.
#include <sys/mount.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace sayloom::test {

class SmallDisk {
public:
  // Mounts an empty tmpfs of `bytes` over `folder`; null when this process may not mount.
  static std::unique_ptr<SmallDisk> mountOver(const std::filesystem::path& folder, std::size_t bytes) {
    const std::string options = "size=" + std::to_string(bytes) + ",mode=0755";
    if (::mount("tmpfs", folder.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, options.c_str()) != 0) {
      return nullptr;
    }
    return std::unique_ptr<SmallDisk>(new SmallDisk(folder, options));
  }
  ~SmallDisk() {
    remount(false);
    ::umount2(m_folder.c_str(), MNT_DETACH);
  }
  SmallDisk(const SmallDisk&) = delete;
  SmallDisk& operator=(const SmallDisk&) = delete;

  // Takes every free block with one file (`filler` below the mount), so that no file can grow.
  void fill() {
    std::ofstream filler(m_folder / fillerName, std::ios::binary | std::ios::app);
    const std::string block(4096, 'f');
    while (filler.write(block.data(), static_cast<std::streamsize>(block.size())) && filler.flush()) {
    }
  }
  // Gives the space back.
  void empty() { std::filesystem::remove(m_folder / fillerName); }

  // Throws when the remount fails (a read-only remount refuses while any file below is open for
  // writing), so that a fault that did not happen never passes for one that was survived.
  void setReadOnly(bool readOnly) {
    if (!remount(readOnly)) {
      throw std::system_error(errno, std::generic_category(), "cannot remount the small disk");
    }
  }

  static constexpr const char* fillerName = "zz-filler";

private:
  SmallDisk(std::filesystem::path folder, std::string options)
      : m_folder(std::move(folder)), m_options(std::move(options)) {}

  bool remount(bool readOnly) noexcept {
    const unsigned long flags = MS_REMOUNT | MS_NOSUID | MS_NODEV | (readOnly ? MS_RDONLY : 0);
    return ::mount(nullptr, m_folder.c_str(), nullptr, flags, m_options.c_str()) == 0;
  }

  std::filesystem::path m_folder;
  std::string m_options;
};

class FileSizeLimit {
public:
  explicit FileSizeLimit(rlim_t bytes) {
    ::getrlimit(RLIMIT_FSIZE, &m_saved);
    m_handler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limited = m_saved;
    limited.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limited);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_handler);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
  rlimit m_saved{};
  void (*m_handler)(int) = SIG_DFL;
};

}  // namespace sayloom::test
