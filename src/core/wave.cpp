#include "core/wave.h"

#include <cstring>

#include "core/chunk_files.h"

namespace sayloom::wave {

namespace {

void put32(char* at, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) {
    at[i] = static_cast<char>((value >> (8 * i)) & 0xFF);
  }
}

void put16(char* at, std::uint16_t value) {
  at[0] = static_cast<char>(value & 0xFF);
  at[1] = static_cast<char>(value >> 8);
}

}  // namespace

std::array<char, headerSize> header(std::uint64_t pcmBytes) {
  std::array<char, headerSize> h{};
  std::memcpy(h.data(), "RIFF", 4);
  put32(h.data() + 4, static_cast<std::uint32_t>(pcmBytes + 36));
  std::memcpy(h.data() + 8, "WAVEfmt ", 8);
  put32(h.data() + 16, 16);
  put16(h.data() + 20, 1);
  put16(h.data() + 22, 1);
  put32(h.data() + 24, chunks::sampleRate);
  put32(h.data() + 28, chunks::bytesPerSecond);
  put16(h.data() + 32, chunks::bytesPerSample);
  put16(h.data() + 34, 8 * chunks::bytesPerSample);
  std::memcpy(h.data() + 36, "data", 4);
  put32(h.data() + 40, static_cast<std::uint32_t>(pcmBytes));
  return h;
}

std::string wave(std::string_view pcm) {
  const auto h = header(pcm.size());
  std::string file(h.data(), h.size());
  file.append(pcm);
  return file;
}

}  // namespace sayloom::wave
