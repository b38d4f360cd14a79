// Speed of number text: DOUBLE and SINGLE formatting, VAL, and READ of the calculator's DATA block.
#include <benchmark/benchmark.h>

#include <cstring>

#include "app/segment_data.cpp"
#include "runtime/values/data_reader.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"
#include "runtime/core/lifecycle.h"

namespace {

void format_double_values(benchmark::State& state) {
  string_storage_init();
  const uint32_t mark = temp_count;
  const double values[] = {0.5, 1.0 / 3, 123.456, 1e23, 0.1 + 0.7, -1468.5737123003337, 1e-17, 272.683};
  for (auto _ : state) {
    for (double v : values) benchmark::DoNotOptimize(format_double(v));
    string_release_temporaries(mark, 0);
  }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(format_double_values);

void format_single_values(benchmark::State& state) {
  string_storage_init();
  const uint32_t mark = temp_count;
  const float values[] = {0.5f, 1.0f / 3, 123.456f, 12345678.0f, -2.0f, 1e-8f, 3.4e38f, 0.001f};
  for (auto _ : state) {
    for (float v : values) benchmark::DoNotOptimize(format_single(v));
    string_release_temporaries(mark, 0);
  }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(format_single_values);

void val_texts(benchmark::State& state) {
  set_fpu_mode();
  string_storage_init();
  const uint32_t mark = temp_count;
  const char* texts[] = {"550", "  -2", "487.25", "1.5E-3", "&HFFFF", "12345678901234567890", "abc"};
  for (auto _ : state) {
    for (const char* t : texts)
      benchmark::DoNotOptimize(string_val(string_from_text_len(t, static_cast<int32_t>(std::strlen(t)))));
    string_release_temporaries(mark, 0);
  }
  state.SetItemsProcessed(state.iterations() * 7);
}
BENCHMARK(val_texts);

// The calculator's table load: 522 DOUBLE items.
void read_segment_block(benchmark::State& state) {
  set_fpu_mode();
  for (auto _ : state) {
    int64_t position = 0;
    double sum = 0;
    for (int i = 0; i < 522; ++i) {
      double target = 0;
      read_double(segment_data, &position, segment_data_length, &target);
      sum += target;
    }
    benchmark::DoNotOptimize(sum);
  }
  state.SetItemsProcessed(state.iterations() * 522);
}
BENCHMARK(read_segment_block);

}  // namespace
