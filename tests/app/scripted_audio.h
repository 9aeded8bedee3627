#pragma once
// A sound source and a converter that a test drives by hand: the source hands pushed samples to
// the capture as the sound server's thread would, and the converter turns each float sample into
// one 16-bit sample (round(x × 32768), clamped), so sample counts stay exact.
#include <QString>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

#include "app/recording/audio_capture.h"
#include "platform/audio_source.h"
#include "platform/resampler.h"

namespace sayloom::test {

// What the scripted source does and what was done to it.
struct SourceScript {
  platform::SourceFormat format{16000, 1};
  std::optional<platform::SourceError::Kind> openFails;
  std::optional<platform::SourceError::Kind> startFails;

  platform::BlockHandler handler = nullptr;
  void* context = nullptr;
  platform::EventHandler events;
  std::optional<platform::SourceKind> kind;
  bool stopped = false;

  // Pushes mono samples as the sound server's thread would.
  void push(const std::vector<float>& samples) const {
    const float* channels[] = {samples.data()};
    handler(context, channels, 1, static_cast<std::uint32_t>(samples.size()));
  }
};

class ScriptedSource final : public platform::AudioSource {
public:
  ScriptedSource(SourceScript& script, platform::SourceKind kind) : m_script(script) { m_script.kind = kind; }
  platform::SourceFormat open() override {
    if (m_script.openFails) {
      throw platform::SourceError(*m_script.openFails, "scripted");
    }
    return m_script.format;
  }
  void start(const platform::SourceFormat&, platform::BlockHandler handler, void* context,
             platform::EventHandler events) override {
    if (m_script.startFails) {
      throw platform::SourceError(*m_script.startFails, "scripted");
    }
    m_script.handler = handler;
    m_script.context = context;
    m_script.events = std::move(events);
  }
  void stop() noexcept override { m_script.stopped = true; }

private:
  SourceScript& m_script;
};

// How the scripted converter behaves.
struct ConverterScript {
  bool factoryFails = false;
  int failOnProcessCall = 0;  // 1-based; 0 never
  bool flushFails = false;
  std::size_t tail = 0;  // samples of 7 yielded by the flush
  int processCalls = 0;
};

class ScriptedConverter final : public platform::Resampler {
public:
  explicit ScriptedConverter(ConverterScript& script) : m_script(script) {}
  void process(const float* input, std::size_t frames, std::vector<std::int16_t>& output) override {
    if (++m_script.processCalls == m_script.failOnProcessCall) {
      throw std::runtime_error("scripted conversion failure");
    }
    for (std::size_t i = 0; i < frames; ++i) {
      const double value = std::lround(static_cast<double>(input[i]) * 32768.0);
      output.push_back(static_cast<std::int16_t>(std::clamp(value, -32768.0, 32767.0)));
    }
  }
  std::size_t flush(std::int16_t* output, std::size_t capacity) override {
    if (m_script.flushFails) {
      throw std::runtime_error("scripted flush failure");
    }
    const std::size_t n = std::min(capacity, m_tailLeft);
    std::fill_n(output, n, std::int16_t{7});
    m_tailLeft -= n;
    return n;
  }

private:
  ConverterScript& m_script;
  std::size_t m_tailLeft = m_script.tail;
};

// A capture on the scripted source and converter; both scripts must outlive it.
inline std::unique_ptr<AudioCapture> scriptedCapture(SourceScript& source, ConverterScript& converter) {
  return std::make_unique<AudioCapture>(
      [&source](platform::SourceKind kind) { return std::make_unique<ScriptedSource>(source, kind); },
      [&converter](double, double) -> std::unique_ptr<platform::Resampler> {
        if (converter.factoryFails) {
          throw std::runtime_error("scripted");
        }
        return std::make_unique<ScriptedConverter>(converter);
      });
}

}  // namespace sayloom::test
