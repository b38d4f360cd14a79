// Speed of number text: DOUBLE and SINGLE formatting, VAL, and READ of the calculator's DATA block, beside the C library's.
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "bench/ratio_reporter.h"

#include "app/segment_data.cpp"
#include "runtime/ground/fpu.h"
#include "runtime/values/data_reader.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"

namespace {

const double double_values[] = {0.5, 1.0 / 3, 123.456, 1e23, 0.1 + 0.7, -1468.5737123003337, 1e-17, 272.683};

void format_double_values(benchmark::State& state) {
  string_storage_init();
  const uint32_t mark = temp_count;
  for (auto _ : state) {
    for (double v : double_values) benchmark::DoNotOptimize(format_double(v));
    string_release_temporaries(mark, 0);
  }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(format_double_values);

// Baselines: the same values through the C library and through the shortest std::to_chars.
void snprintf_17g_values(benchmark::State& state) {
  char text[40];
  for (auto _ : state) {
    for (double v : double_values) {
      benchmark::DoNotOptimize(std::snprintf(text, sizeof text, "%.17g", v));
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(snprintf_17g_values);

void to_chars_values(benchmark::State& state) {
  char text[40];
  for (auto _ : state) {
    for (double v : double_values) {
      benchmark::DoNotOptimize(std::to_chars(text, text + sizeof text, v).ptr);
      benchmark::ClobberMemory();
    }
  }
  state.SetItemsProcessed(state.iterations() * 8);
}
BENCHMARK(to_chars_values);

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

const char* const val_inputs[] = {"550", "  -2", "487.25", "1.5E-3", "&HFFFF", "12345678901234567890", "abc"};

// VAL never consumes its argument, so the strings are made once, outside the timing.
void val_texts(benchmark::State& state) {
  set_fpu_mode();
  string_storage_init();
  rt_string texts[7];
  for (int i = 0; i < 7; ++i) {
    texts[i] = rt_string{};
    texts[i].chars = reinterpret_cast<uint8_t*>(const_cast<char*>(val_inputs[i]));
    texts[i].len = static_cast<int32_t>(std::strlen(val_inputs[i]));
    texts[i].readonly = 1;
  }
  for (auto _ : state) {
    for (rt_string& t : texts) benchmark::DoNotOptimize(string_val(&t));
  }
  state.SetItemsProcessed(state.iterations() * 7);
}
BENCHMARK(val_texts);

void strtod_texts(benchmark::State& state) {
  for (auto _ : state) {
    for (const char* t : val_inputs) benchmark::DoNotOptimize(std::strtod(t, nullptr));
  }
  state.SetItemsProcessed(state.iterations() * 7);
}
BENCHMARK(strtod_texts);

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

int main(int argc, char** argv) {
  return run_benchmarks_with_ratios(argc, argv, {
      {"format_double / snprintf(\"%.17g\")", "format_double_values", "snprintf_17g_values", 1.0},
      {"format_double / std::to_chars", "format_double_values", "to_chars_values", 0},
      {"VAL / strtod", "val_texts", "strtod_texts", 1.5},
  });
}
