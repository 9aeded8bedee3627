#include "core/audio_export.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/chunk_files.h"
#include "core/native_error.h"
#include "core/posix_file.h"
#include "core/uuid.h"
#include "core/wave.h"

namespace sayloom {

namespace {

bool describable(std::uint64_t total) { return total >= 1 && total <= wave::maxPcmBytes; }

// Appends the whole content of `source` to `fd`; returns the number of bytes appended.
std::uint64_t appendFile(int fd, const std::filesystem::path& target, const std::filesystem::path& source,
                         std::vector<char>& buffer) {
  const posix::Descriptor in = posix::openForReading(source);
  std::uint64_t copied = 0;
  while (const std::size_t got = posix::readSome(in.get(), buffer.data(), buffer.size(), source)) {
    posix::writeAll(fd, std::string_view(buffer.data(), got), target);
    copied += got;
  }
  return copied;
}

}  // namespace

void exportAudio(const std::filesystem::path& audioFolder, const std::filesystem::path& destination) {
  exportAudio(chunks::list(audioFolder), destination);
}

void exportAudio(const std::vector<chunks::ChunkFile>& files, const std::filesystem::path& destination) {
  const std::uint64_t total = chunks::totalBytes(files);
  if (files.empty() || !describable(total)) {
    throw NativeError::message(messages::audioTooLargeForWav);
  }

  std::filesystem::path temporary = destination;
  temporary += '.';
  temporary += uuid::generate();
  temporary += ".tmp";
  // Closed and removed on every path unless it was renamed into place.
  posix::NewFile file(temporary, 0666);

  const auto header = wave::header(total);
  file.write(std::string_view(header.data(), header.size()));

  std::vector<char> buffer(1 << 20);
  std::uint64_t appended = 0;
  for (const chunks::ChunkFile& chunk : files) {
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
    posix::writeAllAt(file.fd(), std::string_view(corrected.data() + 4, 4), 4, file.path());
    posix::writeAllAt(file.fd(), std::string_view(corrected.data() + 40, 4), 40, file.path());
  }
  file.syncAndClose();
  file.renameTo(destination);
  posix::syncFolder(destination.has_parent_path() ? destination.parent_path() : std::filesystem::path("."));
}

}  // namespace sayloom
