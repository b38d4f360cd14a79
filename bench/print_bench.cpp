// PRINT speed on the start-up text screen: full lines with scrolling, comma zones, and clearing.
#include <cstring>

#include "bench/ratio_reporter.h"

#include "runtime/ground/conventional_memory.h"
#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/values/strings.h"

namespace {

uint8_t line_bytes[60];

rt_string text_over(uint8_t* bytes, int32_t length) {
  rt_string s{};
  s.chars = bytes;
  s.len = length;
  s.readonly = 1;
  return s;
}

void fresh_screen() {
  pending_error = 0;
  conventional_memory_clear();
  screen_startup();
}

void BM_PrintScrollingLines(benchmark::State& state) {
  fresh_screen();
  std::memset(line_bytes, 'x', sizeof line_bytes);
  rt_string line = text_over(line_bytes, sizeof line_bytes);
  for (auto _ : state) {
    print_fit_check(&line);
    print_text(&line, 1);
  }
  benchmark::DoNotOptimize(conventional_memory[video_memory_offset]);
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * line.len);
}
BENCHMARK(BM_PrintScrollingLines);

void BM_PrintZones(benchmark::State& state) {
  fresh_screen();
  uint8_t item_bytes[] = " 1.5";
  rt_string item = text_over(item_bytes, 4);
  for (auto _ : state) {
    print_fit_check(&item);
    print_text(&item, 0);
    print_next_zone();
  }
}
BENCHMARK(BM_PrintZones);

void BM_ClearScreen(benchmark::State& state) {
  fresh_screen();
  for (auto _ : state) screen_clear(0, 0, 0);
  benchmark::DoNotOptimize(conventional_memory[video_memory_offset]);
}
BENCHMARK(BM_ClearScreen);

}  // namespace

int main(int argc, char** argv) { return run_benchmarks_with_ratios(argc, argv, {}); }
