#pragma once
// WAV files of the chunk files' sample format (core/chunk_files.h): 16 kHz, one channel, signed
// 16-bit little-endian PCM.
// Pure functions; any thread.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace sayloom::wave {

inline constexpr std::size_t headerSize = 44;
// The largest PCM byte count a WAV header can describe (count + 36 fits in 32 bits).
inline constexpr std::uint64_t maxPcmBytes = 4'294'967'259ULL;

// The 44-byte header for `pcmBytes` bytes of samples. Callers keep pcmBytes <= maxPcmBytes.
std::array<char, headerSize> header(std::uint64_t pcmBytes);

// A whole WAV file: the header followed by `pcm` unchanged.
std::string wave(std::string_view pcm);

}  // namespace sayloom::wave
