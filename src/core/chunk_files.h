#pragma once
// A recording's audio as stored: headerless 16 kHz mono signed 16-bit little-endian samples in
// chunk files named "%08d.pcm" from 0, eight seconds (256,000 bytes) per full chunk, each with an
// optional transcript file beside it. The one definition of that format: its numbers, its file
// names, its listing and its writer.
//
// Threads: the free functions are stateless and may be called from any thread (listing and
// writing block on the file system). A Writer belongs to one thread at a time.
//
// Errors: listing and writing throw std::filesystem::filesystem_error with errno and the path
// concerned (see core/posix_file.h); no failure deletes or empties a chunk that was written.
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/posix_file.h"

namespace sayloom::chunks {

inline constexpr std::int64_t sampleRate = 16'000;  // samples per second, one channel
inline constexpr std::int64_t bytesPerSample = 2;
inline constexpr std::int64_t bytesPerSecond = sampleRate * bytesPerSample;  // 32,000
inline constexpr std::int64_t bytesPerMillisecond = bytesPerSecond / 1'000;  // 32

// The recorded time that `bytes` of samples hold.
inline constexpr double seconds(std::uint64_t bytes) { return static_cast<double>(bytes) / bytesPerSecond; }
inline constexpr std::int64_t chunkMilliseconds = 8'000;  // chunk k starts at k × 8 s
inline constexpr std::int64_t bytesPerChunk = bytesPerMillisecond * chunkMilliseconds;  // 256,000

// The file name of chunk `index`: printf's "%08d.pcm" ("00000007.pcm", "-0000001.pcm").
std::string fileName(std::int64_t index);

// The index a chunk file's name stands for: the name must be an optional '+' or '-', then one or
// more decimal digits only, then ".pcm", and the number must fit in 64 bits; anything else (other
// extensions, spaces, junk, overflow) gives nothing. Only the last component of `file` counts.
std::optional<std::int64_t> indexOf(const std::filesystem::path& file);

// The transcript file kept beside a chunk file: the chunk's path + ".transcript.json".
std::filesystem::path transcriptFile(const std::filesystem::path& chunkFile);

struct ChunkFile {
  std::filesystem::path path;
  std::uint64_t size = 0;  // 0 when the size cannot be read
};

// The "*.pcm" regular files of `folder` sorted by file name, which the zero-padded names make index
// order. Links, folders, FIFOs and devices with that extension are skipped, and a folder that is
// itself a link fails (ELOOP): audio is never read from outside the note's folder. Throws when the
// folder cannot be listed.
std::vector<ChunkFile> list(const std::filesystem::path& folder);

// The sum of the sizes, held at UINT64_MAX instead of wrapping.
std::uint64_t totalBytes(const std::vector<ChunkFile>& files);

// Writes `bytes` as the single chunk file `folder` / fileName(index), whatever their length: the
// file is created (an existing one emptied), written, synchronised and closed, and the folder is
// synchronised so the name lasts too. Returns the file's path.
std::filesystem::path writeWhole(const std::filesystem::path& folder, std::int64_t index,
                                 std::string_view bytes);

// Writes one recording into chunk files of `folder` (which must exist), from index 0 on.
//
// A chunk file is created (an existing one of that name emptied, the folder synchronised) when its
// first bytes are ready. Every write() ends with the open chunk synchronised to storage. A chunk
// that reaches bytesPerChunk is finished at once and the rest of the bytes go on in the next index,
// so every chunk but the last is full. Finishing synchronises and closes the chunk and then reports
// it to `finished` with its path and index, unless it holds no byte.
//
// A failure passes on as filesystem_error. A failed synchronisation or close in finish() leaves
// the counters as they were (the descriptor is released when close fails); the index only moves
// on once a chunk is closed, before `finished` runs. Destroying the writer with a chunk still open
// releases its descriptor without synchronising; the file keeps what reached it.
class Writer {
public:
  using Finished = std::function<void(const std::filesystem::path& file, std::int64_t index)>;

  explicit Writer(std::filesystem::path folder, Finished finished = {});

  void write(std::string_view bytes);
  // Finishes the open chunk; does nothing when none is open.
  void finish();

  const std::filesystem::path& folder() const { return m_folder; }
  // The chunk being written, or the next one to be written.
  std::int64_t index() const { return m_index; }
  // Bytes written into all chunks so far.
  std::int64_t totalBytes() const { return m_totalBytes; }
  bool chunkOpen() const { return m_file.get() >= 0; }

private:
  std::filesystem::path m_folder;
  Finished m_finished;
  posix::Descriptor m_file;
  std::filesystem::path m_path;  // of the open chunk
  std::int64_t m_index = 0;
  std::int64_t m_chunkBytes = 0;
  std::int64_t m_totalBytes = 0;
};

}  // namespace sayloom::chunks
