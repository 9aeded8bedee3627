#pragma once
// Reads audio files (WAV and the other formats libsndfile knows) as 32-bit float samples, with the
// format known before any frame is read: whole, or piece by piece down-mixed to mono for files too
// long to hold in memory. A SoundFileReader belongs to one thread at a time;
// readSoundFile is stateless (any thread).
#include <cstdint>
#include <filesystem>
#include <memory>
#include <stdexcept>
#include <vector>

namespace sayloom::platform {

struct SoundFile {
  int sampleRate = 0;
  int channels = 0;
  std::vector<float> samples;  // interleaved frames, channels values per frame
};

// libsndfile's own text for a file that cannot be opened or read.
class SoundFileError : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// An open audio file. Opening reads only the header.
class SoundFileReader {
public:
  // Throws SoundFileError when the file cannot be opened or has no readable frames.
  explicit SoundFileReader(const std::filesystem::path& file);
  ~SoundFileReader();
  SoundFileReader(const SoundFileReader&) = delete;
  SoundFileReader& operator=(const SoundFileReader&) = delete;

  int sampleRate() const { return m_sampleRate; }
  int channels() const { return m_channels; }
  std::int64_t frames() const { return m_frames; }
  // Frames delivered by readAll and readMono so far.
  std::int64_t framesRead() const { return m_framesRead; }

  // Every frame not read yet, interleaved. Throws SoundFileError when the file cannot be read
  // completely.
  std::vector<float> readAll();

  // Reads up to `count` frames, each the mean of its channels, and appends them to `mono`; samples
  // that are not finite numbers count as 0. Returns the frames read, 0 at the end. Throws
  // SoundFileError when reading fails.
  std::size_t readMono(std::size_t count, std::vector<float>& mono);

private:
  struct Handle;
  std::unique_ptr<Handle> m_handle;
  int m_sampleRate = 0;
  int m_channels = 0;
  std::int64_t m_frames = 0;
  std::int64_t m_framesRead = 0;
  std::vector<float> m_interleaved;  // readMono's buffer
};

// The whole file. Throws SoundFileError as the reader does.
SoundFile readSoundFile(const std::filesystem::path& file);

}  // namespace sayloom::platform
