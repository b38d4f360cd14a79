// Benchmark main with ratios: runs the benchmarks, then prints each named ratio of two of their CPU times.
#pragma once
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

// One ratio printed after the table: CPU time of `measured` over that of `baseline`
// (benchmark names as the table shows them). `target` > 0 is printed beside it as the
// figure the ratio should stay under; 0 prints none.
struct bench_ratio {
  const char* label;
  const char* measured;
  const char* baseline;
  double target;
};

// The console table as usual, keeping each benchmark's CPU time per iteration in ns.
// CPU time rather than wall time: the machine is shared, and a benchmark that waits for
// a core should not look slower than it is.
class ratio_reporter : public benchmark::ConsoleReporter {
 public:
  // Colours only on a terminal, as Google Benchmark's own main does.
  ratio_reporter() : benchmark::ConsoleReporter(isatty(STDOUT_FILENO) ? OO_Color : OO_None) {}

  std::map<std::string, double> cpu_ns;

  void ReportRuns(const std::vector<Run>& runs) override {
    for (const Run& run : runs)
      if (!run.error_occurred && run.run_type == Run::RT_Iteration)
        cpu_ns[run.benchmark_name()] = run.GetAdjustedCPUTime() / benchmark::GetTimeUnitMultiplier(run.time_unit) * 1e9;
    benchmark::ConsoleReporter::ReportRuns(runs);
  }
};

inline void print_ratios(const ratio_reporter& reporter, const std::vector<bench_ratio>& ratios) {
  if (ratios.empty()) return;
  std::printf("\nRatios (CPU time, this run):\n");
  for (const bench_ratio& r : ratios) {
    auto measured = reporter.cpu_ns.find(r.measured);
    auto baseline = reporter.cpu_ns.find(r.baseline);
    if (measured == reporter.cpu_ns.end() || baseline == reporter.cpu_ns.end() || baseline->second <= 0) {
      std::printf("  %-44s (not run)\n", r.label);
      continue;
    }
    double ratio = measured->second / baseline->second;
    if (r.target > 0)
      std::printf("  %-44s %8.3f x   (target <= %g x: %s)\n", r.label, ratio, r.target,
                  ratio <= r.target ? "met" : "MISSED");
    else
      std::printf("  %-44s %8.3f x\n", r.label, ratio);
  }
  std::fflush(stdout);
}

// The whole main of a benchmark binary: flags as Google Benchmark takes them.
inline int run_benchmarks_with_ratios(int argc, char** argv, const std::vector<bench_ratio>& ratios) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  ratio_reporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  print_ratios(reporter, ratios);
  benchmark::Shutdown();
  return 0;
}
