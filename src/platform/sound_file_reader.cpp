#include "platform/sound_file_reader.h"

#include <sndfile.h>

#include <cmath>

namespace sayloom::platform {

struct SoundFileReader::Handle {
  explicit Handle(SNDFILE* open) : file(open) {}
  ~Handle() { sf_close(file); }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;

  SNDFILE* file;
};

SoundFileReader::SoundFileReader(const std::filesystem::path& file) {
  SF_INFO info{};
  SNDFILE* open = sf_open(file.c_str(), SFM_READ, &info);
  if (open == nullptr) {
    throw SoundFileError(sf_strerror(nullptr));
  }
  m_handle = std::make_unique<Handle>(open);
  if (info.frames < 0 || info.channels <= 0) {
    throw SoundFileError("The audio file has no readable frames");
  }
  m_sampleRate = info.samplerate;
  m_channels = info.channels;
  m_frames = info.frames;
}

SoundFileReader::~SoundFileReader() = default;

std::vector<float> SoundFileReader::readAll() {
  const std::int64_t wanted = m_frames - m_framesRead;
  std::vector<float> samples(static_cast<std::size_t>(wanted) * static_cast<std::size_t>(m_channels));
  const sf_count_t read = sf_readf_float(m_handle->file, samples.data(), wanted);
  m_framesRead += read > 0 ? read : 0;
  if (read != wanted) {
    const int code = sf_error(m_handle->file);
    throw SoundFileError(code != 0 ? sf_error_number(code)
                                   : "The audio file ended before all its frames were read");
  }
  return samples;
}

std::size_t SoundFileReader::readMono(std::size_t count, std::vector<float>& mono) {
  const auto channels = static_cast<std::size_t>(m_channels);
  m_interleaved.resize(count * channels);
  const sf_count_t got = sf_readf_float(m_handle->file, m_interleaved.data(), static_cast<sf_count_t>(count));
  if (got < 0 || (got == 0 && sf_error(m_handle->file) != 0)) {
    throw SoundFileError(sf_error_number(sf_error(m_handle->file)));
  }
  m_framesRead += got;
  const auto frames = static_cast<std::size_t>(got);
  mono.reserve(mono.size() + frames);
  for (std::size_t frame = 0; frame < frames; ++frame) {
    double sum = 0;
    for (std::size_t channel = 0; channel < channels; ++channel) {
      const float sample = m_interleaved[frame * channels + channel];
      sum += std::isfinite(sample) ? sample : 0.0;
    }
    mono.push_back(static_cast<float>(sum / static_cast<double>(channels)));
  }
  return frames;
}

SoundFile readSoundFile(const std::filesystem::path& file) {
  SoundFileReader reader(file);
  return {reader.sampleRate(), reader.channels(), reader.readAll()};
}

}  // namespace sayloom::platform
