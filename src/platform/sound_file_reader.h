#pragma once
// Reads a whole audio file (WAV and the other formats libsndfile knows) as 32-bit float samples.
// Stateless; any thread.
#include <filesystem>
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

// Throws SoundFileError when the file cannot be opened or read completely.
SoundFile readSoundFile(const std::filesystem::path& file);

}  // namespace sayloom::platform
