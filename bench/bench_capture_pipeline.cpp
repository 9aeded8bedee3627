// How much faster than real time the capture worker turns ring contents into chunk files.
//
// Subject: per iteration, 100 ms of 48 kHz stereo audio (a 440 Hz tone) is pushed into the
// capture's ring through its block handler, as the sound server's thread would, and one drain runs
// on the capture worker: pop, soxr conversion to 16 kHz 16-bit, level scan, write and fsync of the
// chunk file (and the close and sync of every full chunk). No sound server is involved. CPU time is
// the whole process's, so the worker's share is counted. Baseline: real time, i.e. the audio
// seconds processed.
//
//   ratio capture_pipeline = audio seconds / process CPU seconds   (higher is better; target >= 300)
#include <cmath>
#include <numbers>
#include <vector>

#include "app/recording/audio_capture.h"
#include "platform/soxr_resampler.h"
#include "ratio.h"
#include "support/temp_dir.h"

namespace {

constexpr std::uint32_t kRate = 48'000;
constexpr std::uint32_t kBlockFrames = kRate / 10;
constexpr double kSecondsPerIteration = 0.1;

// Stands in for the sound server: remembers the ring's block handler so the benchmark can push.
struct Feed {
  sayloom::platform::BlockHandler handler = nullptr;
  void* context = nullptr;
};

class FeedSource final : public sayloom::platform::AudioSource {
public:
  explicit FeedSource(Feed& feed) : m_feed(feed) {}
  sayloom::platform::SourceFormat open() override { return {kRate, 2}; }
  void start(const sayloom::platform::SourceFormat&, sayloom::platform::BlockHandler handler, void* context,
             sayloom::platform::EventHandler) override {
    m_feed.handler = handler;
    m_feed.context = context;
  }
  void stop() noexcept override {}

private:
  Feed& m_feed;
};

void BM_CapturePipeline(benchmark::State& state) {
  sayloom::test::TempDir temp;
  Feed feed;
  sayloom::AudioCapture capture(
      [&](sayloom::platform::SourceKind) { return std::make_unique<FeedSource>(feed); },
      [](double in, double out) { return std::make_unique<sayloom::platform::SoxrResampler>(in, out); });
  capture.setDrainPaused(true);
  capture.startMicrophoneBlocking(temp / "Audio");

  std::vector<float> left(kBlockFrames);
  std::vector<float> right(kBlockFrames);
  for (std::uint32_t i = 0; i < kBlockFrames; ++i) {
    left[i] = static_cast<float>(0.3 * std::sin(2 * std::numbers::pi * 440.0 * i / kRate));
    right[i] = -left[i];
  }
  const float* channels[] = {left.data(), right.data()};
  for (auto _ : state) {
    feed.handler(feed.context, channels, 2, kBlockFrames);
    capture.drainNow();
  }
  capture.stopBlocking();
  state.counters["audio_seconds_per_iteration"] = kSecondsPerIteration;
}
BENCHMARK(BM_CapturePipeline)->MeasureProcessCPUTime()->UseRealTime();

}  // namespace

int main(int argc, char** argv) {
  return sayloom::bench::runAndReport(argc, argv, [](const sayloom::bench::Measurements& m) {
    sayloom::bench::printRatio(
        "capture_pipeline",
        kSecondsPerIteration / m.at("BM_CapturePipeline/process_time/real_time").cpuSecondsPerIteration);
  });
}
