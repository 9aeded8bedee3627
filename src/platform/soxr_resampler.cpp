#include "platform/soxr_resampler.h"

#include <soxr.h>

#include <cmath>
#include <stdexcept>
#include <string>

namespace sayloom::platform {

namespace {

[[noreturn]] void fail(soxr_error_t error) {
  throw std::runtime_error(std::string("soxr: ") + (error != nullptr ? error : "unknown error"));
}

}  // namespace

SoxrResampler::SoxrResampler(double inputRate, double outputRate) : m_ratio(outputRate / inputRate) {
  if (!(inputRate > 0) || !(outputRate > 0)) {
    throw std::runtime_error("soxr: invalid sample rate");
  }
  // Silence must stay digital silence: the conversion to 16 bits is not dithered.
  soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_INT16_I);
  io.flags |= SOXR_NO_DITHER;
  soxr_error_t error = nullptr;
  m_soxr = soxr_create(inputRate, outputRate, 1, &error, &io, nullptr, nullptr);
  if (error != nullptr || m_soxr == nullptr) {
    soxr_delete(m_soxr);
    fail(error);
  }
}

SoxrResampler::~SoxrResampler() { soxr_delete(m_soxr); }

void SoxrResampler::process(const float* input, std::size_t frames, std::vector<std::int16_t>& output) {
  std::size_t consumed = 0;
  while (consumed < frames) {
    const std::size_t remaining = frames - consumed;
    const std::size_t start = output.size();
    const auto space = static_cast<std::size_t>(std::ceil(static_cast<double>(remaining) * m_ratio)) + 64;
    output.resize(start + space);
    std::size_t inputDone = 0;
    std::size_t outputDone = 0;
    soxr_error_t error = soxr_process(m_soxr, input + consumed, remaining, &inputDone, output.data() + start,
                                      space, &outputDone);
    output.resize(start + outputDone);
    if (error != nullptr) {
      fail(error);
    }
    if (inputDone == 0 && outputDone == 0) {
      throw std::runtime_error("soxr: converter made no progress");
    }
    consumed += inputDone;
  }
}

std::size_t SoxrResampler::flush(std::int16_t* output, std::size_t capacity) {
  std::size_t outputDone = 0;
  soxr_error_t error = soxr_process(m_soxr, nullptr, 0, nullptr, output, capacity, &outputDone);
  if (error != nullptr) {
    fail(error);
  }
  return outputDone;
}

}  // namespace sayloom::platform
