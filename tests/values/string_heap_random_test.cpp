// Randomised check of the string heap, the conventional area and the temporaries against a model.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <random>
#include <string>
#include <vector>

#include "runtime/ground/errors.h"
#include "runtime/values/static_arena.h"
#include "runtime/values/string_functions.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"
#include "support/string_temporaries.h"

namespace {

struct variable {
  rt_string* record;
  std::string model;
};

class random_program {
 public:
  explicit random_program(uint32_t seed) : rng(seed) {}

  void setup() {
    for (int i = 0; i < 40; ++i) heap_vars.push_back({string_new(0, false), ""});
    for (int i = 0; i < 6; ++i) cmem_vars.push_back({string_new_cmem(0, false), ""});
    for (int i = 0; i < 3; ++i) {
      int32_t length = static_cast<int32_t>(1 + i * 7);
      uint8_t* storage = static_cast<uint8_t*>(static_alloc(static_cast<size_t>(length)));
      std::memset(storage, ' ', static_cast<size_t>(length));
      fixed_vars.push_back({string_new_fixed(storage, length, false), std::string(static_cast<size_t>(length), ' ')});
    }
  }

  void teardown() {
    for (variable& v : heap_vars) string_free(v.record);
    for (variable& v : fixed_vars) string_free(v.record);
    // Conventional variables stay: their descriptors sit below later ones.
  }

  uint32_t pick(uint32_t n) { return static_cast<uint32_t>(rng() % n); }

  std::string random_text() {
    uint32_t r = pick(1000);
    size_t length;
    if (r < 700) {
      length = pick(48);
    } else if (r < 985) {
      length = pick(1500);
    } else if (r < 995) {
      length = 20000 + pick(60000);
    } else {
      length = 300000 + pick(400000);  // forces compaction and growth of the heap
    }
    std::string t(length, '\0');
    char base = static_cast<char>('a' + pick(26));
    for (size_t i = 0; i < length; ++i) t[i] = static_cast<char>(base + (i % 7));
    if (length && pick(4) == 0) t[0] = ' ';
    return t;
  }

  std::string small_text() {
    std::string t(pick(40), 'q');
    for (char& c : t) c = static_cast<char>('A' + pick(26));
    return t;
  }

  // A temporary of each sort: literal, modifiable heap temporary, concatenation.
  rt_string* make_temporary(const std::string& text) {
    int sort = static_cast<int>(pick(3));
    size_t cut = sort == 2 && !text.empty() ? pick(static_cast<uint32_t>(text.size() + 1)) : 0;
    return make_temporary_of_sort(text, sort, cut, literals);
  }

  variable& any_variable() {
    uint32_t r = pick(100);
    if (r < 80) return heap_vars[pick(static_cast<uint32_t>(heap_vars.size()))];
    if (r < 94) return cmem_vars[pick(static_cast<uint32_t>(cmem_vars.size()))];
    return fixed_vars[pick(static_cast<uint32_t>(fixed_vars.size()))];
  }

  // Assignment as the model sees it.
  static void model_assign(variable& v, const std::string& value) {
    v.model = assigned_text(v.model, v.record->fixed, value);
  }

  // Conventional strings are capped so the 64 KiB area always holds every variable.
  std::string fit(const variable& v, std::string text) {
    if (v.record->in_cmem && text.size() > 4000) text.resize(4000);
    return text;
  }

  void step() {
    uint32_t mark = temp_count;
    switch (pick(12)) {
      case 0:
      case 1: {  // v = literal or temporary
        variable& v = any_variable();
        std::string text = fit(v, random_text());
        string_assign(v.record, make_temporary(text));
        model_assign(v, text);
        break;
      }
      case 2: {  // v = w
        variable& v = any_variable();
        variable& w = any_variable();
        std::string text = fit(v, w.model);
        if (text.size() == w.model.size()) {
          string_assign(v.record, w.record);
          model_assign(v, text);
        }
        break;
      }
      case 3: {  // v = v + temporary (grows in place or relocates)
        variable& v = any_variable();
        std::string tail = small_text();
        std::string text = fit(v, v.model + tail);
        if (text.size() == v.model.size() + tail.size()) {
          string_assign(v.record, string_concat(v.record, make_temporary(tail)));
          model_assign(v, text);
        }
        break;
      }
      case 4: {  // free and make again
        variable& v = heap_vars[pick(static_cast<uint32_t>(heap_vars.size()))];
        string_free(v.record);
        v.record = string_new(0, false);
        v.model.clear();
        break;
      }
      case 5: {  // several temporaries, one assigned (not necessarily the newest)
        std::vector<rt_string*> temps;
        std::vector<std::string> texts;
        uint32_t n = 1 + pick(5);
        for (uint32_t i = 0; i < n; ++i) {
          texts.push_back(small_text());
          temps.push_back(make_temporary(texts.back()));
        }
        uint32_t chosen = pick(n);
        variable& v = any_variable();
        string_assign(v.record, temps[chosen]);
        model_assign(v, texts[chosen]);
        break;
      }
      case 6: {  // substring functions on temporaries and variables
        variable& v = any_variable();
        variable& w = any_variable();
        int64_t start = static_cast<int64_t>(pick(60)) - 5;
        int64_t count = static_cast<int64_t>(pick(60)) - 5;
        rt_string* source = pick(2) ? w.record : make_temporary(w.model);
        rt_string* r = string_mid(source, start, count);
        std::string expected;
        int64_t s = start, c = count;
        if (s < 1) {
          c += s - 1;
          s = 1;
        }
        if (c > 0 && s <= static_cast<int64_t>(w.model.size())) expected = w.model.substr(static_cast<size_t>(s - 1), static_cast<size_t>(c));
        ASSERT_EQ(text_of(r), expected);
        r = string_trim(string_ucase(r));
        for (char& ch : expected) {
          if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
        }
        expected.erase(0, expected.find_first_not_of(' ') == std::string::npos ? expected.size() : expected.find_first_not_of(' '));
        while (!expected.empty() && expected.back() == ' ') expected.pop_back();
        if (&v != &w) {
          string_assign(v.record, r);
          model_assign(v, fit(v, expected).size() == expected.size() ? expected : v.model);
          if (v.record->len != static_cast<int32_t>(v.model.size())) {
            // A conventional variable would overflow its cap: undo by assigning the model again.
            string_assign(v.record, make_temporary(v.model));
          }
        }
        break;
      }
      case 7: {  // MID$ statement
        variable& v = any_variable();
        std::string src = small_text();
        int64_t start = static_cast<int64_t>(pick(50)) - 3;
        string_mid_statement(v.record, start, 0, make_temporary(src), 0);
        int64_t offset = 0, n = static_cast<int64_t>(src.size());
        if (start < 1) {
          offset = 1 - start;
          n -= offset;
          start = 1;
        }
        int64_t room = static_cast<int64_t>(v.model.size()) - start + 1;
        if (n > room) n = room;
        if (n > 0 && start <= static_cast<int64_t>(v.model.size())) {
          v.model.replace(static_cast<size_t>(start - 1), static_cast<size_t>(n), src.substr(static_cast<size_t>(offset), static_cast<size_t>(n)));
        }
        break;
      }
      case 8: {  // SWAP between like variables
        variable& v = heap_vars[pick(static_cast<uint32_t>(heap_vars.size()))];
        variable& w = heap_vars[pick(static_cast<uint32_t>(heap_vars.size()))];
        string_swap(v.record, w.record);
        std::swap(v.model, w.model);
        break;
      }
      case 9: {  // conventional temporaries taken over by conventional variables
        variable& v = cmem_vars[pick(static_cast<uint32_t>(cmem_vars.size()))];
        std::string text = small_text();
        rt_string* t = string_new_cmem(static_cast<int32_t>(text.size()), true);
        if (!text.empty()) std::memcpy(t->chars, text.data(), text.size());
        string_assign(v.record, t);
        v.model = text;
        break;
      }
      case 10: {  // a routine: locals, then everything of it released and restored
        uint32_t routine_mark = temp_count;
        uint32_t saved_top = cmem_top;
        void* saved_arena = static_position();
        rt_string* local = string_new(0, false);
        rt_string* local_cmem = string_new_cmem(0, false);
        std::string text = small_text();
        string_assign(local, make_temporary(text));
        string_assign(local_cmem, local);
        static_alloc(pick(200));
        string_release_temporaries(routine_mark, 0);
        ASSERT_EQ(text_of(local_cmem), text);
        string_free(local_cmem);
        string_free(local);
        cmem_top = saved_top;
        static_release(saved_arena);
        break;
      }
      default: {  // temporaries left for the release
        uint32_t n = pick(8);
        for (uint32_t i = 0; i < n; ++i) make_temporary(small_text());
        break;
      }
    }
    string_release_temporaries(mark, 0);
    literals.clear();
  }

  void verify_all() {
    for (const std::vector<variable>* group : {&heap_vars, &cmem_vars, &fixed_vars}) {
      for (const variable& v : *group) ASSERT_EQ(text_of(v.record), v.model);
    }
  }

  std::mt19937 rng;
  std::vector<variable> heap_vars, cmem_vars, fixed_vars;
  std::deque<std::string> literals;  // texts of literal temporaries, alive for one statement
};

TEST(StringHeapRandom, HundredThousandOperationsMatchTheModel) {
  string_storage_init();
  pending_error = 0;
  uint32_t mark = temp_count;
  random_program program(20261208);
  program.setup();
  size_t start_size = string_heap_size;
  for (int i = 0; i < 100000; ++i) {
    program.step();
    ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "step " << i;
    ASSERT_TRUE(string_heap_check()) << "step " << i;
    ASSERT_EQ(temp_count, mark) << "step " << i;
    if (i % 64 == 0) {
      program.verify_all();
      ASSERT_FALSE(::testing::Test::HasFatalFailure()) << "step " << i;
    }
  }
  program.verify_all();
  EXPECT_GT(string_heap_size, start_size);  // the big strings made it grow at least once
  EXPECT_EQ(pending_error, 0u);
  program.teardown();
  EXPECT_TRUE(string_heap_check());
}

}  // namespace
