// Benchmarks of the string operations a translated statement uses most, beside the same loops over std::string.
#include <cstring>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"

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

// ---- the same loops over std::string, as the baseline ----

void std_append_to_variable(benchmark::State& state) {
  std::string v;
  for (auto _ : state) {
    v = v + std::string("x", 1);
    if (v.size() > 4096) v = std::string();
    benchmark::DoNotOptimize(v.data());
  }
}
BENCHMARK(std_append_to_variable);

void std_statement_with_temporaries(benchmark::State& state) {
  std::string a;
  std::string b = "the quick brown fox ";
  for (auto _ : state) {
    a = (b + std::string("jumps over")).substr(0, 25);
    benchmark::DoNotOptimize(a.data());
  }
}
BENCHMARK(std_statement_with_temporaries);

void std_churn_many_variables(benchmark::State& state) {
  constexpr int count = 1000;
  std::vector<std::string> vars(count);
  uint32_t i = 0;
  for (auto _ : state) {
    vars[(i * 7919u) % count] = std::string(16 + i % 200, 'a');
    ++i;
  }
  benchmark::DoNotOptimize(vars.data());
}
BENCHMARK(std_churn_many_variables);

void std_instr_search(benchmark::State& state) {
  std::string haystack(4096, 'a');
  haystack[4000] = 'b';
  const std::string needle = "ab";
  for (auto _ : state) benchmark::DoNotOptimize(haystack.find(needle));
}
BENCHMARK(std_instr_search);

}  // namespace

int main(int argc, char** argv) {
  return run_benchmarks_with_ratios(argc, argv, {
      {"v = v + \"x\" / std::string", "append_to_variable", "std_append_to_variable", 0},
      {"a = LEFT$(b + c, n) / std::string", "statement_with_temporaries", "std_statement_with_temporaries", 0},
      {"many variables reassigned / std::string", "churn_many_variables", "std_churn_many_variables", 0},
      {"INSTR / std::string::find", "instr_search", "std_instr_search", 0},
  });
}
