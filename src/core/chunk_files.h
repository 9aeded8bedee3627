#pragma once
// A recording's audio as stored: headerless 16 kHz mono signed 16-bit little-endian samples in
// chunk files named "%08d.pcm" from 0, eight seconds (256,000 bytes) per full chunk. Stateless;
// any thread (listing blocks on the file system).
#include <cstdint>
#include <filesystem>
#include <vector>

namespace sayloom::chunks {

inline constexpr std::int64_t bytesPerChunk = 256'000;
inline constexpr double bytesPerSecond = 32'000;

struct ChunkFile {
  std::filesystem::path path;
  std::uint64_t size = 0;  // 0 when the size cannot be read
};

// The "*.pcm" files of `folder` sorted by file name, which the zero-padded names make index
// order; folders with that extension are skipped. Throws std::filesystem::filesystem_error when
// the folder cannot be listed.
std::vector<ChunkFile> list(const std::filesystem::path& folder);

// The sum of the sizes, held at UINT64_MAX instead of wrapping.
std::uint64_t totalBytes(const std::vector<ChunkFile>& files);

}  // namespace sayloom::chunks
