#include "core/audio_export.h"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/native_error.h"
#include "core/posix_file.h"
#include "core/uuid.h"
#include "core/wave.h"

namespace sayloom {

namespace {

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
  // Closed and removed on every path unless it was renamed into place.
  posix::NewFile file(temporary, 0666);

  const auto header = wave::header(total);
  file.write(std::string_view(header.data(), header.size()));

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
    posix::writeAllAt(file.fd(), std::string_view(corrected.data() + 4, 4), 4, file.path());
    posix::writeAllAt(file.fd(), std::string_view(corrected.data() + 40, 4), 40, file.path());
  }
  file.syncAndClose();
  file.renameTo(destination);
  posix::syncFolder(destination.has_parent_path() ? destination.parent_path() : std::filesystem::path("."));
}

}  // namespace sayloom
