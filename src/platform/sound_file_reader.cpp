#include "platform/sound_file_reader.h"

#include <sndfile.h>

#include <memory>

namespace sayloom::platform {

SoundFile readSoundFile(const std::filesystem::path& file) {
  SF_INFO info{};
  std::unique_ptr<SNDFILE, int (*)(SNDFILE*)> handle(sf_open(file.c_str(), SFM_READ, &info), sf_close);
  if (!handle) {
    throw SoundFileError(sf_strerror(nullptr));
  }
  SoundFile sound;
  sound.sampleRate = info.samplerate;
  sound.channels = info.channels;
  if (info.frames < 0 || info.channels <= 0) {
    throw SoundFileError("The audio file has no readable frames");
  }
  sound.samples.resize(static_cast<std::size_t>(info.frames) * static_cast<std::size_t>(info.channels));
  const sf_count_t read = sf_readf_float(handle.get(), sound.samples.data(), info.frames);
  if (read != info.frames) {
    const int code = sf_error(handle.get());
    throw SoundFileError(code != 0 ? sf_error_number(code)
                                   : "The audio file ended before all its frames were read");
  }
  return sound;
}

}  // namespace sayloom::platform
