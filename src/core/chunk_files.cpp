#include "core/chunk_files.h"

#include <algorithm>
#include <limits>

namespace sayloom::chunks {

std::vector<ChunkFile> list(const std::filesystem::path& folder) {
  std::vector<ChunkFile> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() != ".pcm") {
      continue;
    }
    std::error_code error;
    if (entry.is_directory(error)) {
      continue;
    }
    const std::uintmax_t size = entry.file_size(error);
    files.push_back({entry.path(), error ? 0 : static_cast<std::uint64_t>(size)});
  }
  std::sort(files.begin(), files.end(), [](const ChunkFile& a, const ChunkFile& b) {
    return a.path.filename().string() < b.path.filename().string();
  });
  return files;
}

std::uint64_t totalBytes(const std::vector<ChunkFile>& files) {
  std::uint64_t total = 0;
  for (const ChunkFile& file : files) {
    if (file.size > std::numeric_limits<std::uint64_t>::max() - total) {
      return std::numeric_limits<std::uint64_t>::max();
    }
    total += file.size;
  }
  return total;
}

}  // namespace sayloom::chunks
