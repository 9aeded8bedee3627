#pragma once
// A streaming sample-rate converter from mono float to mono signed 16-bit samples. One thread at a
// time.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace sayloom::platform {

class Resampler {
public:
  virtual ~Resampler() = default;
  // Converts `frames` input samples and appends the output that is ready to `output`. The filter
  // state carries over from one call to the next. Throws on failure.
  virtual void process(const float* input, std::size_t frames, std::vector<std::int16_t>& output) = 0;
  // Ends the input and writes at most `capacity` of the samples still held back; returns how many,
  // 0 once nothing remains. Nothing may be processed after flushing started. Throws on failure.
  virtual std::size_t flush(std::int16_t* output, std::size_t capacity) = 0;
};

}  // namespace sayloom::platform
