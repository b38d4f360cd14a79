// Benchmarks of the string operations a translated statement uses most.
#include <benchmark/benchmark.h>

#include <cstring>

#include "runtime/values/string_functions.h"
#include "runtime/values/strings.h"

namespace {

// v = v + "x" repeated: the newest string grows into its slack or relocates.
void append_to_variable(benchmark::State& state) {
  string_storage_init();
  rt_string* v = string_new(0, false);
  uint32_t mark = temp_count;
  for (auto _ : state) {
    string_assign(v, string_concat(v, string_from_text_len("x", 1)));
    string_release_temporaries(mark, 0);
    if (v->len > 4096) string_assign(v, string_from_text_len("", 0));
  }
  string_free(v);
}
BENCHMARK(append_to_variable);

// a = LEFT$(b + c, n): a concatenation, an in-place substring and a take-over.
void statement_with_temporaries(benchmark::State& state) {
  string_storage_init();
  rt_string* a = string_new(0, false);
  rt_string* b = string_new(0, false);
  string_assign(b, string_from_text("the quick brown fox "));
  uint32_t mark = temp_count;
  for (auto _ : state) {
    string_assign(a, string_left(string_concat(b, string_from_text("jumps over")), 25));
    string_release_temporaries(mark, 0);
  }
  string_free(a);
  string_free(b);
}
BENCHMARK(statement_with_temporaries);

// Many variables reassigned in turn: holes, compaction and take-overs.
void churn_many_variables(benchmark::State& state) {
  string_storage_init();
  constexpr int count = 1000;
  rt_string* vars[count];
  for (rt_string*& v : vars) v = string_new(0, false);
  uint32_t mark = temp_count;
  uint32_t i = 0;
  for (auto _ : state) {
    rt_string* t = string_new(static_cast<int32_t>(16 + i % 200), true);
    std::memset(t->chars, 'a', static_cast<size_t>(t->len));
    string_assign(vars[(i * 7919u) % count], t);
    string_release_temporaries(mark, 0);
    ++i;
  }
  for (rt_string* v : vars) string_free(v);
}
BENCHMARK(churn_many_variables);

void instr_search(benchmark::State& state) {
  string_storage_init();
  rt_string* haystack = string_new(4096, false);
  std::memset(haystack->chars, 'a', 4096);
  haystack->chars[4000] = 'b';
  rt_string* needle = string_from_text("ab");
  for (auto _ : state) benchmark::DoNotOptimize(string_instr(0, haystack, needle, 0));
  string_free(haystack);
}
BENCHMARK(instr_search);

}  // namespace
