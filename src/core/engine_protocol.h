#pragma once
// The resident speech engine's wire format on its standard input and output. Every message is a
// frame: a 4-byte little-endian length, then that many bytes. A request is two frames: a small JSON
// header (the chunk's language, GPU or processor, threads, encoder window), then the chunk's 16 kHz
// mono 16-bit PCM. The answer is one frame of JSON: the segments in the shape whisper-cli writes
// ({"transcription": [{"offsets": {"from": ms, "to": ms}, "text": "..."}]}, read by
// whisper_output::parse, so both engines map to the same entries), or {"error": "..."}.
//
// Error convention: decoding throws NativeError (message) for a header of the wrong shape, and
// FrameReader::next throws FrameTooLarge for a frame longer than the reader's limit, after which
// the stream is out of step and must be abandoned.
// Pure functions and a plain byte collector; any thread.
#include <cstdint>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

namespace sayloom::engine_protocol {

// The largest header, chunk and answer either side accepts.
inline constexpr std::uint32_t maxHeaderBytes = 64 * 1024;
inline constexpr std::uint32_t maxAudioBytes = 16'000 * 2 * 60;  // one minute of audio
inline constexpr std::uint32_t maxAnswerBytes = 16 * 1024 * 1024;

struct Request {
  std::string language = "ko";  // a whisper.cpp language code, or "auto"
  bool useGpu = true;
  int threads = 1;
  int audioContext = 0;  // the encoder window in frames; 0 is the full 30-second window
  bool operator==(const Request&) const = default;
};

std::string encodeHeader(const Request& request);
Request decodeHeader(std::string_view json);

// `payload` behind its length prefix. Throws std::length_error beyond 4 GiB.
std::string frame(std::string_view payload);

class FrameTooLarge : public std::runtime_error {
public:
  using std::runtime_error::runtime_error;
};

// Collects the bytes of a stream as they arrive and hands out whole frames.
class FrameReader {
public:
  void append(std::string_view bytes) { m_buffer.append(bytes); }
  // The payload of the next frame once all of it has arrived; none before. A frame announcing more
  // than `limit` bytes throws FrameTooLarge.
  std::optional<std::string> next(std::uint32_t limit);

private:
  std::string m_buffer;
};

// The encoder window for `seconds` of audio: ceil(50 × seconds) + 128 frames, at least 256 and at
// most the full 1500.
int audioContextFor(double seconds);

// Whether a decoded answer of `tokens` for `seconds` of audio has run into a loop, the way a
// shortened encoder window sometimes makes the decoder repeat itself: the same run of four tokens
// three times or more, or more than six tokens a second.
bool repeatsItself(std::span<const std::int32_t> tokens, double seconds);

}  // namespace sayloom::engine_protocol
