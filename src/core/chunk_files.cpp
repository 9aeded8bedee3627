#include "core/chunk_files.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <limits>
#include <system_error>
#include <utility>

namespace sayloom::chunks {

namespace {

constexpr std::string_view extension = ".pcm";
constexpr mode_t chunkMode = 0644;

// Creates or empties the chunk file and makes its name durable.
posix::Descriptor openChunk(const std::filesystem::path& folder, const std::filesystem::path& path) {
  posix::Descriptor file = posix::createOrEmpty(path, chunkMode);
  posix::syncFolder(folder);
  return file;
}

}  // namespace

std::string fileName(std::int64_t index) {
  char name[32];
  std::snprintf(name, sizeof name, "%08lld.pcm", static_cast<long long>(index));
  return name;
}

std::optional<std::int64_t> indexOf(const std::filesystem::path& file) {
  const std::string name = file.filename().string();
  std::string_view digits = name;
  if (!digits.ends_with(extension)) {
    return std::nullopt;
  }
  digits.remove_suffix(extension.size());
  bool negative = false;
  if (!digits.empty() && (digits.front() == '+' || digits.front() == '-')) {
    negative = digits.front() == '-';
    digits.remove_prefix(1);
  }
  if (digits.empty() ||
      !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
    return std::nullopt;
  }
  std::uint64_t magnitude = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), magnitude);
  if (error != std::errc() || end != digits.data() + digits.size()) {
    return std::nullopt;
  }
  constexpr auto max = static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max());
  if (negative) {
    if (magnitude > max + 1) {
      return std::nullopt;
    }
    return magnitude == max + 1 ? std::numeric_limits<std::int64_t>::min()
                                : -static_cast<std::int64_t>(magnitude);
  }
  if (magnitude > max) {
    return std::nullopt;
  }
  return static_cast<std::int64_t>(magnitude);
}

std::filesystem::path transcriptFile(const std::filesystem::path& chunkFile) {
  std::filesystem::path transcript = chunkFile;
  transcript += ".transcript.json";
  return transcript;
}

std::vector<ChunkFile> list(const std::filesystem::path& folder) {
  if (std::filesystem::is_symlink(std::filesystem::symlink_status(folder))) {
    throw std::filesystem::filesystem_error("cannot list a linked audio folder", folder,
                                            std::make_error_code(std::errc::too_many_symbolic_link_levels));
  }
  std::vector<ChunkFile> files;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::error_code error;
    if (entry.path().extension() != extension || !entry.is_regular_file(error) || entry.is_symlink(error)) {
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

std::filesystem::path writeWhole(const std::filesystem::path& folder, std::int64_t index,
                                 std::string_view bytes) {
  std::filesystem::path path = folder / fileName(index);
  posix::Descriptor file = openChunk(folder, path);
  posix::writeAll(file.get(), bytes, path);
  posix::sync(file.get(), path);
  file.close(path);
  return path;
}

Writer::Writer(std::filesystem::path folder, Finished finished)
    : m_folder(std::move(folder)), m_finished(std::move(finished)) {}

void Writer::write(std::string_view bytes) {
  while (!bytes.empty()) {
    if (!chunkOpen()) {
      m_path = m_folder / fileName(m_index);
      m_file = openChunk(m_folder, m_path);
    }
    const auto room = static_cast<std::size_t>(bytesPerChunk - m_chunkBytes);
    const std::string_view piece = bytes.substr(0, room);
    posix::writeAll(m_file.get(), piece, m_path);
    m_chunkBytes += static_cast<std::int64_t>(piece.size());
    m_totalBytes += static_cast<std::int64_t>(piece.size());
    bytes.remove_prefix(piece.size());
    if (m_chunkBytes == bytesPerChunk) {
      finish();
    }
  }
  if (chunkOpen()) {
    posix::sync(m_file.get(), m_path);
  }
}

void Writer::finish() {
  if (!chunkOpen()) {
    return;
  }
  posix::sync(m_file.get(), m_path);
  m_file.close(m_path);
  const std::int64_t index = m_index;
  const bool holdsBytes = m_chunkBytes >= 1;
  m_chunkBytes = 0;
  ++m_index;
  if (holdsBytes && m_finished) {
    m_finished(m_path, index);
  }
}

}  // namespace sayloom::chunks
