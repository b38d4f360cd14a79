// String statement fuzz target: a small interpreter over string variables, checked against std::string after every step.
#include <algorithm>
#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "runtime/ground/errors.h"
#include "runtime/values/string_functions.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/static_arena.h"
#include "runtime/values/strings.h"
#include "tests/support/string_temporaries.h"

namespace {

struct variable {
  rt_string* record;
  std::string model;
};

constexpr size_t cmem_cap = 4000;  // conventional strings stay small, so the 64 KiB area holds them all

// Variables of every kind, made once: heap strings, conventional-area strings, fixed-length strings.
struct program_state {
  std::vector<variable> vars;
  program_state() {
    for (int i = 0; i < 6; ++i) vars.push_back({string_new(0, false), ""});
    for (int i = 0; i < 2; ++i) vars.push_back({string_new_cmem(0, false), ""});
    for (int32_t length : {1, 9}) {
      uint8_t* storage = static_cast<uint8_t*>(static_alloc(static_cast<size_t>(length)));
      std::memset(storage, ' ', static_cast<size_t>(length));
      vars.push_back({string_new_fixed(storage, length, false), std::string(static_cast<size_t>(length), ' ')});
    }
  }
};

std::string text_of(const rt_string* s) { return std::string(reinterpret_cast<const char*>(s->chars), s->len); }

// What an assignment leaves in the variable.
void model_assign(variable& v, const std::string& value) { v.model = assigned_text(v.model, v.record->fixed, value); }

bool fits(const variable& v, size_t length) { return !v.record->in_cmem || length <= cmem_cap; }

struct interpreter {
  program_state& state;
  fuzz_bytes& in;
  std::deque<std::string> literals;  // texts of literal temporaries, alive for one statement

  variable& any() { return state.vars[in.next() % state.vars.size()]; }

  std::string some_text() {
    uint8_t head = in.next();
    size_t length = head & 31;
    if ((head & 0xE0) == 0xE0) length = length * 600;  // now and then a long one, to move the heap
    std::string t;
    for (size_t i = 0; i < length; ++i) t += static_cast<char>(i < 32 ? in.next() : 'a' + i % 7);
    return t;
  }

  // A temporary of one of the three sorts a statement makes: literal, heap temporary, concatenation.
  rt_string* temporary(const std::string& text) {
    int sort = in.next() % 3;
    return make_temporary_of_sort(text, sort, text.size() / 2, literals);
  }

  // Either the variable itself or a temporary copy of it.
  rt_string* source(variable& w) { return in.next() & 1 ? w.record : temporary(w.model); }

  void assign(variable& v, rt_string* result, const std::string& expected) {
    FUZZ_CHECK(text_of(result) == expected);
    if (!fits(v, expected.size())) return;  // the statement's release takes the result
    string_assign(v.record, result);
    model_assign(v, expected);
  }

  void step() {
    uint8_t op = in.next();
    switch (op % 14) {
      case 0: {  // v = text
        variable& v = any();
        std::string text = some_text();
        assign(v, temporary(text), text);
        break;
      }
      case 1: {  // v = w
        variable& v = any();
        variable& w = any();
        if (fits(v, w.model.size())) {
          std::string value = w.model;
          string_assign(v.record, w.record);
          model_assign(v, value);
        }
        break;
      }
      case 2: {  // v = v + text
        variable& v = any();
        std::string tail = some_text();
        std::string expected = v.model + tail;
        assign(v, string_concat(v.record, temporary(tail)), expected);
        break;
      }
      case 3: {  // v = MID$(w, start, count) or MID$(w, start)
        variable& v = any();
        variable& w = any();
        int64_t start = static_cast<int64_t>(in.next() % 48) - 4;
        int64_t count = static_cast<int64_t>(in.next() % 48) - 4;
        bool to_end = op & 16;
        int64_t s = start, c = to_end ? INT32_MAX : count;
        if (s < 1) {
          c += s - 1;
          s = 1;
        }
        std::string expected;
        if (c > 0 && s <= static_cast<int64_t>(w.model.size()))
          expected = w.model.substr(static_cast<size_t>(s - 1), static_cast<size_t>(c));
        rt_string* r = to_end ? string_mid_to_end(source(w), start) : string_mid(source(w), start, count);
        assign(v, r, expected);
        break;
      }
      case 4: {  // v = LEFT$(w, n) or RIGHT$(w, n)
        variable& v = any();
        variable& w = any();
        int64_t n = static_cast<int64_t>(in.next() % 48) - 4;
        size_t keep = static_cast<size_t>(std::clamp<int64_t>(n, 0, static_cast<int64_t>(w.model.size())));
        std::string expected = (op & 16) ? w.model.substr(w.model.size() - keep) : w.model.substr(0, keep);
        rt_string* r = (op & 16) ? string_right(source(w), n) : string_left(source(w), n);
        assign(v, r, expected);
        break;
      }
      case 5: {  // v = UCASE$ / LCASE$ / LTRIM$ / RTRIM$ / _TRIM$ (w)
        variable& v = any();
        variable& w = any();
        std::string expected = w.model;
        int which = (op >> 4) % 5;
        rt_string* r = source(w);
        switch (which) {
          case 0:
            for (char& ch : expected) if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 32);
            r = string_ucase(r);
            break;
          case 1:
            for (char& ch : expected) if (ch >= 'A' && ch <= 'Z') ch = static_cast<char>(ch + 32);
            r = string_lcase(r);
            break;
          default:
            if (which != 3) expected.erase(0, std::min(expected.size(), expected.find_first_not_of(' ')));
            if (which != 2) while (!expected.empty() && expected.back() == ' ') expected.pop_back();
            r = which == 2 ? string_ltrim(r) : which == 3 ? string_rtrim(r) : string_trim(r);
            break;
        }
        assign(v, r, expected);
        break;
      }
      case 6: {  // MID$(v, start[, n]) = text
        variable& v = any();
        std::string src = some_text();
        int64_t start = static_cast<int64_t>(in.next() % 40) - 2;
        int64_t count = static_cast<int64_t>(in.next() % 40) - 2;
        bool has_count = op & 16;
        string_mid_statement(v.record, start, count, temporary(src), has_count ? 1 : 0);
        // Positions before the first byte use up source bytes.
        int64_t offset = 0;
        int64_t n = has_count ? count : static_cast<int64_t>(src.size());
        if (start < 1) {
          offset = 1 - start;
          n -= offset;
          start = 1;
        }
        int64_t room = static_cast<int64_t>(v.model.size()) - start + 1;
        int64_t source_left = static_cast<int64_t>(src.size()) - offset;
        if (n > room) n = room;
        if (n > source_left) n = source_left;
        if (n > 0 && start <= static_cast<int64_t>(v.model.size()))
          v.model.replace(static_cast<size_t>(start - 1), static_cast<size_t>(n),
                          src.substr(static_cast<size_t>(offset), static_cast<size_t>(n)));
        break;
      }
      case 7: {  // SWAP between heap variables
        variable& v = state.vars[in.next() % 6];
        variable& w = state.vars[in.next() % 6];
        string_swap(v.record, w.record);
        std::swap(v.model, w.model);
        break;
      }
      case 8: {  // v = SPACE$(n) or STRING$(n, code)
        variable& v = any();
        int64_t n = static_cast<int64_t>(in.next() % 80) - 2;
        uint8_t code = in.next();
        std::string expected(static_cast<size_t>(std::max<int64_t>(n, 0)), (op & 16) ? static_cast<char>(code) : ' ');
        rt_string* r = (op & 16) ? string_repeat(n, code) : string_space(n);
        if (pending_error) {  // a negative count is refused
          pending_error = 0;
          string_release_temporaries(temp_count, 0);
          break;
        }
        assign(v, r, expected);
        break;
      }
      case 9: {  // INSTR([start,] v, w)
        variable& v = any();
        variable& w = any();
        int64_t start = static_cast<int64_t>(in.next() % 40) - 2;
        bool has_start = op & 16;
        int32_t found = string_instr(start, v.record, w.record, has_start ? 1 : 0);
        int64_t s = has_start ? start : 1;
        int32_t expected = 0;
        const std::string& hay = v.model;
        const std::string& needle = w.model;
        if (!hay.empty()) {
          if (s <= 0 && needle.empty()) {
            expected = 0;
          } else {
            if (s <= 0) s = 1;
            if (s <= static_cast<int64_t>(hay.size())) {
              size_t at = hay.find(needle, static_cast<size_t>(s - 1));
              expected = at == std::string::npos ? 0 : static_cast<int32_t>(at + 1);
            }
          }
        }
        FUZZ_CHECK(found == expected);
        break;
      }
      case 10: {  // ASC(v[, position]) and the comparisons
        variable& v = any();
        variable& w = any();
        int64_t position = static_cast<int64_t>(in.next() % 40) - 2;
        int32_t code = string_asc(v.record, position, 1);
        if (position >= 1 && position <= static_cast<int64_t>(v.model.size())) {
          FUZZ_CHECK(pending_error == 0 && code == static_cast<uint8_t>(v.model[position - 1]));
        } else {
          FUZZ_CHECK(pending_error == 5);
          pending_error = 0;
        }
        int order = v.model.compare(w.model);
        int32_t got = string_compare(v.record, w.record);
        FUZZ_CHECK((order < 0) == (got < 0) && (order > 0) == (got > 0));
        FUZZ_CHECK(string_equal(v.record, w.record) == (order == 0 ? -1 : 0));
        FUZZ_CHECK(string_less(v.record, w.record) == (order < 0 ? -1 : 0));
        break;
      }
      case 11: {  // LSET / RSET v = text
        variable& v = any();
        std::string src = some_text();
        size_t room = v.model.size();
        size_t count = std::min(room, src.size());
        if (op & 16) {
          string_rset(v.record, temporary(src));
          v.model = std::string(room - count, ' ') + src.substr(0, count);
        } else {
          string_lset(v.record, temporary(src));
          v.model = src.substr(0, count) + std::string(room - count, ' ');
        }
        break;
      }
      case 12: {  // a heap variable freed and made again
        variable& v = state.vars[in.next() % 6];
        string_free(v.record);
        v.record = string_new(0, false);
        v.model.clear();
        break;
      }
      default: {  // temporaries left for the statement's release
        uint8_t n = in.next() % 6;
        for (uint8_t i = 0; i < n; ++i) temporary(some_text());
        break;
      }
    }
  }
};

}  // namespace

void fuzz_strings(const uint8_t* data, size_t size) {
  static program_state& state = *new program_state();  // lives as long as the process
  pending_error = 0;
  for (variable& v : state.vars) {
    string_assign(v.record, string_from_text_len("", 0));
    model_assign(v, "");
  }
  fuzz_bytes in{data, size};
  interpreter run{state, in, {}};
  int steps = 0;
  while (!in.done() && steps++ < 2000) {
    uint32_t mark = temp_count;
    run.step();
    string_release_temporaries(mark, 0);
    run.literals.clear();
    FUZZ_CHECK(pending_error == 0);
    FUZZ_CHECK(temp_count == mark);
    FUZZ_CHECK(string_heap_check());
    for (const variable& v : state.vars) FUZZ_CHECK(text_of(v.record) == v.model);
  }
}
