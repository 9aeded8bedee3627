// WAV export throughput against a plain copy of the same bytes.
//
// Subject: exportAudio on one hour of audio (450 chunk files of 256,000 bytes): listing, header,
// temporary file, appending every chunk, fsync, rename.
// Baseline: the same bytes with none of the export's bookkeeping: read each chunk file and append
// it to one output file, one fsync at the end.
//
//   ratio wav_export_vs_copy = baseline seconds / export seconds   (higher is better; target >= 0.8)
//
// Both read the chunks from the page cache after the first pass and write to the same folder.
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/atomic_file.h"
#include "core/audio_export.h"
#include "core/chunk_files.h"
#include "ratio.h"
#include "support/temp_dir.h"

namespace {

namespace fs = std::filesystem;

constexpr int chunkCount = 450;
constexpr std::size_t chunkBytes = sayloom::chunks::bytesPerChunk;

struct Fixture {
  Fixture() {
    fs::create_directories(audio());
    std::string bytes(chunkBytes, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<char>(i * 31 % 253);
    }
    for (int i = 0; i < chunkCount; ++i) {
      sayloom::AtomicFile::writeBytes(bytes, audio() / sayloom::chunks::fileName(i));
    }
  }
  fs::path audio() const { return dir / "Audio"; }
  fs::path output() const { return dir / "out.wav"; }

  sayloom::test::TempDir dir;
};

Fixture& fixture() {
  static Fixture instance;
  return instance;
}

void plainCopy(const fs::path& folder, const fs::path& target) {
  const int out = ::open(target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  std::vector<char> buffer(1 << 20);
  for (int i = 0; i < chunkCount; ++i) {
    const int in = ::open((folder / sayloom::chunks::fileName(i)).c_str(), O_RDONLY | O_CLOEXEC);
    for (ssize_t got; (got = ::read(in, buffer.data(), buffer.size())) > 0;) {
      if (::write(out, buffer.data(), static_cast<std::size_t>(got)) != got) {
        std::abort();
      }
    }
    ::close(in);
  }
  ::fsync(out);
  ::close(out);
}

void BM_PlainCopy(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    plainCopy(f.audio(), f.output());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * chunkCount * chunkBytes);
}

void BM_WavExport(benchmark::State& state) {
  Fixture& f = fixture();
  for (auto _ : state) {
    sayloom::exportAudio(f.audio(), f.output());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * chunkCount * chunkBytes);
}

BENCHMARK(BM_PlainCopy)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);
BENCHMARK(BM_WavExport)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(6);

const sayloom::bench::Measurement* find(const sayloom::bench::Measurements& m, const std::string& prefix) {
  for (const auto& [name, measurement] : m) {
    if (name.rfind(prefix, 0) == 0) {
      return &measurement;
    }
  }
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  return sayloom::bench::runAndReport(argc, argv, [](const sayloom::bench::Measurements& m) {
    const auto* copy = find(m, "BM_PlainCopy");
    const auto* wav = find(m, "BM_WavExport");
    if (copy == nullptr || wav == nullptr) {
      return;
    }
    sayloom::bench::printRatio("wav_export_vs_copy",
                               copy->realSecondsPerIteration / wav->realSecondsPerIteration);
  });
}
