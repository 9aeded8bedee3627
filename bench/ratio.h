#pragma once
// Shared main for the benchmark programs. Every program measures its subject and a baseline in the
// same run and prints one line per figure:
//   ratio NAME VALUE
// What VALUE means (and which way is better) is documented at the top of each bench_*.cpp.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace sayloom::bench {

struct Measurement {
  double realSecondsPerIteration = 0;
  double cpuSecondsPerIteration = 0;
  std::map<std::string, double> counters;
};

using Measurements = std::map<std::string, Measurement>;

class CollectingReporter : public benchmark::ConsoleReporter {
public:
  // No colours: the ratio lines must start their line for the scripts that collect them.
  CollectingReporter() : ConsoleReporter(OO_Tabular) {}

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs) {
      if (run.iterations <= 0 || run.run_type != Run::RT_Iteration) {
        continue;
      }
      Measurement m;
      m.realSecondsPerIteration = run.real_accumulated_time / static_cast<double>(run.iterations);
      m.cpuSecondsPerIteration = run.cpu_accumulated_time / static_cast<double>(run.iterations);
      for (const auto& [name, counter] : run.counters) {
        m.counters[name] = counter.value;
      }
      measurements[run.benchmark_name()] = m;
    }
    ConsoleReporter::ReportRuns(runs);
  }
  Measurements measurements;
};

inline void printRatio(const char* name, double value) {
  std::printf("ratio %s %.4f\n", name, value);
  std::fflush(stdout);
}

// Runs every registered benchmark, then hands what was measured to `report`, which prints ratios.
inline int runAndReport(int argc, char** argv, const std::function<void(const Measurements&)>& report) {
  benchmark::Initialize(&argc, argv);
  CollectingReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  benchmark::Shutdown();
  report(reporter.measurements);
  return 0;
}

}  // namespace sayloom::bench
