// brightness-curve's throughput: wavelengths from standard input to table lines, beside strtod and printf("%.3f") over the same lines.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench/ratio_reporter.h"

#include "app/curve_run.h"
#include "runtime/ground/fpu.h"

namespace {

constexpr int line_count = 4001 + 4000;

// 380.0 to 780.0 every 0.1 nm, then wavelengths with more decimals spread over the range:
// the input of `seq`-style pipelines and of pasted spreadsheet columns.
std::FILE* wavelength_lines() {
  static std::FILE* file = [] {
    std::FILE* f = std::tmpfile();
    for (int k = 3800; k <= 7800; ++k) std::fprintf(f, "%d.%d\n", k / 10, k % 10);
    for (int k = 0; k < 4000; ++k) std::fprintf(f, "%.4f\n", 380 + (k * 7919 % 4000000) / 10000.0);
    return f;
  }();
  return file;
}

std::FILE* discarded() {
  static std::FILE* file = std::fopen("/dev/null", "w");
  return file;
}

void tool_from_standard_input(benchmark::State& state, bool full) {
  set_fpu_mode();
  curve_request request;
  request.inputs.push_back({input_kind::standard_input, "-", {}});
  request.full = full;
  std::FILE* in = wavelength_lines();
  for (auto _ : state) {
    std::rewind(in);
    if (run_curve_request(request, in, discarded(), stderr) != 0) state.SkipWithError("the tool refused a line");
  }
  state.SetItemsProcessed(state.iterations() * line_count);
}

void brightness_curve_lines(benchmark::State& state) { tool_from_standard_input(state, false); }
BENCHMARK(brightness_curve_lines);

void brightness_curve_full_lines(benchmark::State& state) { tool_from_standard_input(state, true); }
BENCHMARK(brightness_curve_full_lines);

// Baseline: the same lines read, converted with strtod and printed with printf's %.3f.
void strtod_printf_lines(benchmark::State& state) {
  std::FILE* in = wavelength_lines();
  char* line = nullptr;
  size_t capacity = 0;
  for (auto _ : state) {
    std::rewind(in);
    while (getline(&line, &capacity, in) >= 0) std::fprintf(discarded(), "%.3f\n", std::strtod(line, nullptr));
    std::fflush(discarded());
  }
  std::free(line);
  state.SetItemsProcessed(state.iterations() * line_count);
}
BENCHMARK(strtod_printf_lines);

}  // namespace

int main(int argc, char** argv) {
  return run_benchmarks_with_ratios(
      argc, argv,
      {{"brightness-curve lines / strtod+printf", "brightness_curve_lines", "strtod_printf_lines", 2.0},
       {"brightness-curve --full lines / strtod+printf", "brightness_curve_full_lines", "strtod_printf_lines", 0}});
}
