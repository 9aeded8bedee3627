#pragma once
// The libsoxr converter (default quality, no dither) from mono float to mono signed 16-bit. One
// thread at a time.
#include "platform/resampler.h"

struct soxr;

namespace sayloom::platform {

class SoxrResampler final : public Resampler {
public:
  // Throws std::runtime_error with soxr's text when the converter cannot be made.
  SoxrResampler(double inputRate, double outputRate);
  ~SoxrResampler() override;
  SoxrResampler(const SoxrResampler&) = delete;
  SoxrResampler& operator=(const SoxrResampler&) = delete;

  void process(const float* input, std::size_t frames, std::vector<std::int16_t>& output) override;
  std::size_t flush(std::int16_t* output, std::size_t capacity) override;

private:
  struct soxr* m_soxr = nullptr;
  double m_ratio;
};

}  // namespace sayloom::platform
