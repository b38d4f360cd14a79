// Frame builder benchmarks: a full repaint, an unchanged page, and one changed cell per frame, beside a plain frame copy.
#include <cstring>
#include <vector>

#include "bench/ratio_reporter.h"

#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/frame_presenter.h"
#include "runtime/window/window.h"
#include "tests/support/text_page.h"

namespace {

// An 80x25 page of mixed text, built by hand, shown as the visual page.
struct bench_page : test_page {
  bench_page() {
    fonts_startup();
    make(80, 25, 16);
    for (size_t i = 0; i < cells.size(); i += 2) {
      cells[i] = uint8_t(32 + (i / 2) % 95);
      cells[i + 1] = uint8_t((i / 2) % 127 + 1);
    }
    image.cursor_visible = 1;
    renderer_reset();
  }
};

// The presenter's part: keep only the newest ready frame so the builder always has room.
void consume_frames() {
  for (software_frame& slot : software_frames)
    if (slot.state.load() == frame_ready && slot.order.load() < last_frame_order.load()) slot.state.store(frame_free);
}

void BM_full_repaint(benchmark::State& state) {
  bench_page page;
  for (auto _ : state) {
    previous_frame_valid = 0;
    build_frame();
    consume_frames();
  }
  visual_page.store(nullptr);
}
BENCHMARK(BM_full_repaint);

void BM_unchanged_page(benchmark::State& state) {
  bench_page page;
  build_frame();
  for (auto _ : state) {
    build_frame();
    consume_frames();
  }
  visual_page.store(nullptr);
}
BENCHMARK(BM_unchanged_page);

void BM_one_cell_changed(benchmark::State& state) {
  bench_page page;
  build_frame();
  uint8_t character = 'a';
  for (auto _ : state) {
    page.cells[2 * (12 * 80 + 40)] = character++;
    build_frame();
    consume_frames();
  }
  visual_page.store(nullptr);
}
BENCHMARK(BM_one_cell_changed);

// Baseline: copying a whole 640x400 frame, the least any full repaint has to write.
void BM_frame_memcpy(benchmark::State& state) {
  std::vector<uint32_t> from(640 * 400, 0xFF00FF00u), to(640 * 400);
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), to.size() * 4);
    benchmark::ClobberMemory();
  }
  benchmark::DoNotOptimize(to.data());
}
BENCHMARK(BM_frame_memcpy);

}  // namespace

int main(int argc, char** argv) {
  return run_benchmarks_with_ratios(argc, argv, {
      {"full 80x25 repaint / frame memcpy", "BM_full_repaint", "BM_frame_memcpy", 4.0},
      {"unchanged frame / full repaint", "BM_unchanged_page", "BM_full_repaint", 0.02},
      {"one changed cell / full repaint", "BM_one_cell_changed", "BM_full_repaint", 0},
  });
}
