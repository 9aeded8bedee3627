#pragma once
// Thin wrappers over the POSIX file calls that Sayloom's durable writes and plain reads are built
// from. Stateless functions; a Descriptor or NewFile belongs to one thread at a time.
//
// Errors: every failure throws std::filesystem::filesystem_error carrying errno and the path
// concerned, with the short text given here ("cannot open file", "cannot write file", ...) or by
// the caller. Interrupted calls (EINTR) are retried, never reported.
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <limits>
#include <string_view>

namespace sayloom::posix {

// Throws the filesystem_error for the current errno.
[[noreturn]] void throwErrno(const char* what, const std::filesystem::path& path);

// Owns an open file descriptor and closes it on destruction (any error of that close is ignored:
// use close() where it matters).
class Descriptor {
public:
  explicit Descriptor(int fd = -1) : m_fd(fd) {}
  ~Descriptor();
  Descriptor(Descriptor&& other) noexcept;
  Descriptor& operator=(Descriptor&& other) noexcept;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;

  int get() const { return m_fd; }
  // Closes now and reports a failure as `what` (a write error can surface only here). The
  // descriptor is released even when close fails; an interrupted close (EINTR) has released it on
  // Linux too and counts as done.
  void close(const std::filesystem::path& path, const char* what = "cannot close file");

private:
  int m_fd;
};

constexpr std::uintmax_t noSizeLimit = std::numeric_limits<std::uintmax_t>::max();

// Opens an existing regular file for reading. Anything else fails without waiting: a folder with
// EISDIR; a FIFO, device or socket (which could block a reader or never end) with EINVAL; a file
// larger than `maxBytes` with EFBIG; a link when `followLinks` is false with ELOOP.
Descriptor openForReading(const std::filesystem::path& path, const char* what = "cannot open file",
                          std::uintmax_t maxBytes = noSizeLimit, bool followLinks = true);

// Creates a file that must not exist yet (O_EXCL) for writing; "cannot create file".
Descriptor createNew(const std::filesystem::path& path, mode_t mode);

// Opens a file for writing, creating it or emptying an existing one (O_TRUNC); "cannot create file".
Descriptor createOrEmpty(const std::filesystem::path& path, mode_t mode);

// Synchronises the file's data and size to storage (fsync); "cannot synchronise file".
void sync(int fd, const std::filesystem::path& path);

// Writes all of `bytes` at the current position, or at `offset`; "cannot write file".
void writeAll(int fd, std::string_view bytes, const std::filesystem::path& path);
void writeAllAt(int fd, std::string_view bytes, off_t offset, const std::filesystem::path& path);

// One read of at most `size` bytes; 0 only at the end of the file. `path` and `what` name a failure.
std::size_t readSome(int fd, char* buffer, std::size_t size, const std::filesystem::path& path,
                     const char* what = "cannot read file");

// Synchronises the folder's entries to storage. Best effort: called after a rename or create that
// has already happened, so a failure changes nothing for the caller.
void syncFolder(const std::filesystem::path& folder);

// A file created with O_EXCL that is removed again, on every path, unless it was renamed into place
// or kept. Writing through fd(), then syncAndClose(), then renameTo() or keep().
//
// From its creation until it is renamed, kept or removed, the file carries an exclusive flock(2)
// lock on a second descriptor, so that a later start can tell a temporary file whose writer died
// (no lock: the kernel dropped it with the process) from one still being written (see
// isAbandoned).
class NewFile {
public:
  NewFile(std::filesystem::path path, mode_t mode);
  ~NewFile();
  NewFile(NewFile&& other) noexcept;
  NewFile(const NewFile&) = delete;
  NewFile& operator=(const NewFile&) = delete;
  NewFile& operator=(NewFile&&) = delete;

  int fd() const { return m_fd.get(); }
  const std::filesystem::path& path() const { return m_path; }

  void write(std::string_view bytes) { writeAll(m_fd.get(), bytes, m_path); }
  // fsync ("cannot synchronise file"), then close (`closeWhat`).
  void syncAndClose(const char* closeWhat = "cannot close file");
  // rename(2) replaces an existing target in one step and moves onto a free name alike;
  // "cannot replace file" names the target.
  void renameTo(const std::filesystem::path& target);
  // Leaves the file where it is.
  void keep() {
    m_done = true;
    m_lock = Descriptor();
  }

private:
  std::filesystem::path m_path;
  Descriptor m_fd;
  Descriptor m_lock;  // holds the flock until the file is renamed, kept or removed
  bool m_done = false;
};

// Whether the file at `path` is a NewFile whose writer has gone: a regular file (not followed
// through a link) on which no lock is held. Takes and drops the lock to find out; false when the
// file cannot be opened.
bool isAbandoned(const std::filesystem::path& path);

// Copies `source` into the new file `target` (mode 0644) through a buffer of `bufferBytes` and
// synchronises it; closing with `closeWhat`. The source is opened as openForReading does (a regular
// file of at most `maxBytes`) before the target is created.
// On failure the target is removed; on success the caller renames or keeps the returned file.
NewFile copyToNewFile(const std::filesystem::path& source, const std::filesystem::path& target,
                      std::size_t bufferBytes, const char* closeWhat = "cannot close file",
                      std::uintmax_t maxBytes = noSizeLimit);

}  // namespace sayloom::posix
