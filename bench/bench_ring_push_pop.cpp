// The ring's hand-over cost on the real-time path.
//
// Subject: sl_ring_push of a 1,024-frame stereo block (down-mixed to mono on the way in) followed by
// sl_ring_pop of the 1,024 mono samples, on a ring of four seconds at 48 kHz (so blocks also cross
// the end of the storage). Baseline: memcpy of the same input bytes (2 × 1,024 floats).
//
//   ratio ring_push_pop = memcpy seconds / push+pop seconds   (higher is better; target >= 0.25)
#include <cstring>
#include <vector>

#include "audioring/sl_ring.h"
#include "ratio.h"

namespace {

constexpr std::uint32_t kFrames = 1024;
constexpr std::size_t kInputBytes = 2 * kFrames * sizeof(float);

void BM_RingPushPop(benchmark::State& state) {
  sl_ring* ring = sl_ring_create(48'000 * 4);
  std::vector<float> left(kFrames, 0.25f);
  std::vector<float> right(kFrames, -0.5f);
  std::vector<float> out(kFrames);
  const float* channels[] = {left.data(), right.data()};
  for (auto _ : state) {
    sl_ring_push(ring, channels, 2, kFrames);
    benchmark::DoNotOptimize(sl_ring_pop(ring, out.data(), kFrames));
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kInputBytes));
  sl_ring_destroy(ring);
}
BENCHMARK(BM_RingPushPop);

void BM_Memcpy(benchmark::State& state) {
  std::vector<float> input(2 * kFrames, 0.25f);
  std::vector<float> output(2 * kFrames);
  for (auto _ : state) {
    std::memcpy(output.data(), input.data(), kInputBytes);
    benchmark::DoNotOptimize(output.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kInputBytes));
}
BENCHMARK(BM_Memcpy);

}  // namespace

int main(int argc, char** argv) {
  return sayloom::bench::runAndReport(argc, argv, [](const sayloom::bench::Measurements& m) {
    sayloom::bench::printRatio("ring_push_pop", m.at("BM_Memcpy").cpuSecondsPerIteration /
                                                    m.at("BM_RingPushPop").cpuSecondsPerIteration);
  });
}
