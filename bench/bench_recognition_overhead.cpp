// What the recognition service adds to one run of the engine.
//
// Subject: WhisperRecognitionService::transcribe on one 8-second chunk with sound: reading the
// chunk, the silence rule, a fresh work folder, the WAV file, starting whisper-cli, waiting for it,
// reading and mapping its JSON, removing the folder (the model check is done once before timing).
// Baseline: the same whisper-cli command line started directly on the same WAV file and waited for.
// Both use the real engine (SAYLOOM_ENGINE_PATH) and the tiny test model of the fixtures folder,
// whose identity is given through the SAYLOOM_MODEL_* overrides. The two are timed alternately in
// the same iterations, so load from elsewhere on the machine falls on both alike.
//
//   ratio recognition_overhead = service seconds / direct engine seconds   (lower is better; target <= 1.05)
#include <QCoreApplication>
#include <QProcess>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "app/recognition/whisper_recognition_service.h"
#include "core/chunk_files.h"
#include "core/wave.h"
#include "ratio.h"
#include "support/engine_fixture.h"
#include "support/run_task.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::size_t chunkBytes = sayloom::chunks::bytesPerChunk;

// The first eight seconds of the speech fixture, as a chunk file's PCM.
std::string speechChunk() {
  const std::string samples = sayloom::test::wavSamples(sayloom::test::fixture("zeb.wav"));
  if (samples.size() < chunkBytes) {
    return {};
  }
  return samples.substr(0, chunkBytes);
}

struct Setup {
  sayloom::test::TempDir dir;
  fs::path chunk;
  fs::path wav;
  fs::path model;
};

double seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

void runPair(benchmark::State& state, Setup& setup, sayloom::WhisperRecognitionService& service) {
  double direct = 0;
  double viaService = 0;
  bool serviceFirst = false;
  for (auto _ : state) {
    const auto runDirect = [&] {
      QProcess engine;
      engine.setProgram(SAYLOOM_ENGINE_PATH);
      engine.setArguments(sayloom::WhisperRecognitionService::engineArguments(setup.model, setup.wav, "en",
                                                                              setup.dir / "direct", false));
      engine.setStandardInputFile(QProcess::nullDevice());
      engine.setStandardOutputFile(QProcess::nullDevice());
      engine.setStandardErrorFile(QProcess::nullDevice());
      const auto start = Clock::now();
      engine.start();
      engine.waitForFinished(-1);
      direct += seconds(Clock::now() - start);
      if (engine.exitCode() != 0) {
        state.SkipWithError("the engine failed");
      }
    };
    const auto runService = [&] {
      const auto start = Clock::now();
      sayloom::test::runTask(service.transcribe(setup.chunk, 0, "en", false));
      viaService += seconds(Clock::now() - start);
    };
    if (serviceFirst) {
      runService();
      runDirect();
    } else {
      runDirect();
      runService();
    }
    serviceFirst = !serviceFirst;
  }
  state.counters["direct_s"] = direct;
  state.counters["service_s"] = viaService;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  Setup setup;
  const std::string pcm = speechChunk();
  if (pcm.empty() || !fs::exists(SAYLOOM_ENGINE_PATH)) {
    std::fprintf(stderr, "needs the fixtures folder and the engine (scripts/build-engine.sh)\n");
    return 1;
  }
  setup.chunk = setup.dir / "00000000.pcm";
  setup.wav = setup.dir / "audio.wav";
  setup.model = setup.dir / "whisper-test-model.bin";
  sayloom::test::writeFile(setup.chunk, pcm);
  sayloom::test::writeFile(setup.wav, sayloom::wave::wave(pcm));
  fs::copy_file(sayloom::test::fixture("whisper-test-model.bin"), setup.model);

  sayloom::WhisperRecognitionService service(sayloom::WhisperRecognitionService::Settings{
      SAYLOOM_ENGINE_PATH, setup.model,
      sayloom::engine::ModelIdentity{sayloom::test::testModelSize, sayloom::test::testModelSha256}});
  sayloom::test::runTask(service.verifyModel());

  benchmark::RegisterBenchmark("recognition_pair",
                               [&](benchmark::State& state) { runPair(state, setup, service); })
      ->Iterations(6)
      ->UseRealTime()
      ->Unit(benchmark::kMillisecond);

  return sayloom::bench::runAndReport(argc, argv, [](const sayloom::bench::Measurements& m) {
    const auto it = m.find("recognition_pair/iterations:6/real_time");
    if (it == m.end()) {
      for (const auto& [name, _] : m) {
        std::fprintf(stderr, "measured %s\n", name.c_str());
      }
      return;
    }
    const double direct = it->second.counters.at("direct_s");
    const double service = it->second.counters.at("service_s");
    sayloom::bench::printRatio("recognition_overhead", service / direct);
  });
}
