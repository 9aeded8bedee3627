// Listing the notes at start.
//
// A data folder with 1,000 notes of 100 transcript entries each is written once. Then:
//   BM_NotesList      LocalNoteStore::list(): list "Notes", read and decode every note.json into
//                     NativeNote values, check ids, sort newest first.
//   BM_BareJsonParse  the baseline: read the same note.json files (paths known in advance) and
//                     parse each with nlohmann::json, nothing more.
// ratio notes_list = CPU time of BM_NotesList / CPU time of BM_BareJsonParse, measured in the same
// run. It is the price of the store's checks and typed values over the bare parse the store cannot
// avoid. Lower is better; target <= 1.1.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "core/local_note_store.h"
#include "ratio.h"
#include "support/temp_dir.h"

namespace {

using sayloom::LocalNoteStore;
using sayloom::NativeNote;
using sayloom::TranscriptEntry;

constexpr int kNotes = 1000;
constexpr int kSegments = 100;

struct NoteFolder {
  sayloom::test::TempDir dir;
  std::vector<std::filesystem::path> files;

  NoteFolder() {
    LocalNoteStore store(dir.path());
    for (int n = 0; n < kNotes; ++n) {
      NativeNote note;
      note.title = "회의 기록 " + std::to_string(n);
      note.createdAt += std::chrono::seconds(n * 37 % 1000);
      note.durationSeconds = kSegments * 8.0;
      note.completed = true;
      note.segments.reserve(kSegments);
      for (int s = 0; s < kSegments; ++s) {
        const std::int64_t start = s * 8000;
        note.segments.push_back(TranscriptEntry{
            "chunk-" + std::to_string(s) + "-0", s,
            "오늘 회의에서는 다음 분기 계획과 일정 조정에 대해 이야기했습니다. segment " + std::to_string(s),
            start, start + 7400, s % 3 == 0 ? "Today we discussed the plan for the next quarter." : ""});
      }
      if (n % 10 == 0) {
        note.workspaceId = "workspace-1";
        note.cloudNoteId = "cloud-" + std::to_string(n);
        note.translationLanguage = "en";
        note.cloudBilledSeconds = 600;
        note.cloudBilledLanguages = 2;
      }
      store.save(note);
      files.push_back(dir / "Notes" / note.id / "note.json");
    }
  }
};

NoteFolder& folder() {
  static NoteFolder instance;
  return instance;
}

std::string readWhole(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  std::string bytes(static_cast<std::size_t>(in.tellg()), '\0');
  in.seekg(0);
  in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return bytes;
}

void BM_NotesList(benchmark::State& state) {
  LocalNoteStore store(folder().dir.path());
  for (auto _ : state) {
    auto listing = store.list();
    if (listing.notes.size() != kNotes || !listing.warnings.empty()) {
      state.SkipWithError("listing lost notes");
      break;
    }
    benchmark::DoNotOptimize(listing);
  }
}

void BM_BareJsonParse(benchmark::State& state) {
  const auto& files = folder().files;
  for (auto _ : state) {
    for (const auto& file : files) {
      auto document = nlohmann::json::parse(readWhole(file));
      benchmark::DoNotOptimize(document);
    }
  }
}

// A fixed count of runs, not a minimum time: one run of each side fits the short minimum the
// benchmark script gives, and a single run decided the ratio by chance.
BENCHMARK(BM_BareJsonParse)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_NotesList)->Unit(benchmark::kMillisecond)->Iterations(5);

}  // namespace

int main(int argc, char** argv) {
  folder();  // written once, before any timing
  return sayloom::bench::runAndReport(argc, argv, [](const sayloom::bench::Measurements& m) {
    const auto list = m.find("BM_NotesList/iterations:5");
    const auto bare = m.find("BM_BareJsonParse/iterations:5");
    if (list == m.end() || bare == m.end() || bare->second.cpuSecondsPerIteration <= 0) {
      std::fprintf(stderr, "notes_list: missing measurement\n");
      return;
    }
    sayloom::bench::printRatio("notes_list",
                               list->second.cpuSecondsPerIteration / bare->second.cpuSecondsPerIteration);
  });
}
