#include "core/atomic_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "core/data_paths.h"
#include "core/posix_file.h"
#include "core/uuid.h"

namespace sayloom::AtomicFile {

void writeBytes(std::string_view bytes, const std::filesystem::path& target) {
  const std::filesystem::path folder = target.has_parent_path() ? target.parent_path() : ".";
  DataPaths::createFolders(folder);
  std::string temporaryName = ".";
  temporaryName += target.filename().string();
  temporaryName += '.';
  temporaryName += uuid::generate();
  temporaryName += ".tmp";
  posix::NewFile temporary(folder / temporaryName, 0644);
  temporary.write(bytes);
  temporary.syncAndClose();
  temporary.renameTo(target);
  posix::syncFolder(folder);
}

std::string encode(const nlohmann::json& value) {
  return value.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

void write(const nlohmann::json& value, const std::filesystem::path& target) {
  writeBytes(encode(value), target);
}

std::string readBytes(const std::filesystem::path& source, ReadLimits limits) {
  const posix::Descriptor fd =
      posix::openForReading(source, "cannot read file", limits.maxBytes, limits.followLinks);
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0) {
    posix::throwErrno("cannot read file", source);
  }
  // One read for a regular file of known size; the loop also copes with files that grow or
  // report no size (/proc).
  std::string bytes;
  std::size_t size = 0;
  bytes.resize(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) + 1 : 4096);
  for (;;) {
    if (size > limits.maxBytes) {  // the file grew past the bound while it was read
      errno = EFBIG;
      posix::throwErrno("cannot read file", source);
    }
    if (size == bytes.size()) {
      bytes.resize(bytes.size() * 2);
    }
    const std::size_t got = posix::readSome(fd.get(), bytes.data() + size, bytes.size() - size, source);
    if (got == 0) {
      break;
    }
    size += got;
  }
  bytes.resize(size);
  return bytes;
}

nlohmann::json read(const std::filesystem::path& source, ReadLimits limits) {
  return nlohmann::json::parse(readBytes(source, limits));
}

namespace {

// "<anything>.<UUID><suffix>" for one of the temporary files' suffixes.
bool isTemporaryName(std::string_view name) {
  for (const std::string_view suffix : {std::string_view(".tmp"), std::string_view(".download")}) {
    constexpr std::size_t uuidLength = 36;
    if (name.size() > suffix.size() + uuidLength + 1 && name.ends_with(suffix)) {
      const std::string_view rest = name.substr(0, name.size() - suffix.size());
      const std::string_view id = rest.substr(rest.size() - uuidLength);
      if (rest[rest.size() - uuidLength - 1] == '.' && uuid::isValid(id)) {
        return true;
      }
    }
  }
  return false;
}

}  // namespace

std::size_t removeAbandoned(const std::filesystem::path& folder) noexcept {
  std::size_t removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
    const std::filesystem::path& path = it->path();
    if (isTemporaryName(path.filename().string()) && posix::isAbandoned(path) &&
        ::unlink(path.c_str()) == 0) {
      ++removed;
    }
  }
  if (removed > 0) {
    posix::syncFolder(folder);
  }
  return removed;
}

}  // namespace sayloom::AtomicFile
