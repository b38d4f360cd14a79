// String functions (keeps the BASIC functions and statements over rt_string values).
#include "runtime/values/string_functions.h"

#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/strings.h"

// Bits of `passed`: which optional arguments the program gave.
constexpr int32_t instr_passed_start = 1;    // INSTR's start position
constexpr int32_t mid_passed_count = 1;      // the MID$ statement's length
constexpr int32_t asc_passed_position = 1;   // ASC's position

namespace {

// Only a temporary that owns heap bytes may be changed in place.
bool modifiable_temporary(const rt_string* s) { return s->tmp && !s->fixed && !s->readonly && !s->in_cmem; }

// The bytes [offset, offset + count) of s as the result: in place for a modifiable
// temporary, otherwise a new temporary (the argument is freed when temporary).
// May compact the heap: earlier `chars` pointers die.
rt_string* substring(rt_string* s, int32_t offset, int32_t count) {
  if (modifiable_temporary(s)) {
    s->chars += offset;
    s->len = count;
    return s;
  }
  rt_string* r = string_new(count, true);
  if (count) std::memcpy(r->chars, s->chars + offset, static_cast<size_t>(count));  // s re-read after string_new
  if (s->tmp) string_free(s);
  return r;
}

// A copy of s that may be changed: s itself when it is a modifiable temporary.
// May compact the heap: earlier `chars` pointers die.
rt_string* writable_copy(rt_string* s) { return modifiable_temporary(s) ? s : substring(s, 0, s->len); }

// A temporary of count copies of byte. May compact the heap: earlier `chars` pointers die.
rt_string* filled(int64_t count, uint8_t byte) {
  if (count < 0) return string_new(0, true);
  if (count > INT32_MAX) {
    raise_error(error_illegal_function_call);
    return string_new(0, true);
  }
  rt_string* r = string_new(static_cast<int32_t>(count), true);
  if (count) std::memset(r->chars, byte, static_cast<size_t>(count));
  return r;
}

// Positions and counts beyond 32 bits mean the same as the 32-bit extremes; clamping
// first keeps the 64-bit arithmetic below free of overflow.
int64_t clamp32(int64_t value) {
  if (value < INT32_MIN) return INT32_MIN;
  if (value > INT32_MAX) return INT32_MAX;
  return value;
}

void consume(rt_string* s) {
  if (s->tmp) string_free(s);
}

}  // namespace

rt_string* string_ucase(rt_string* s) {
  if (s->len == 0) return s;
  rt_string* r = writable_copy(s);
  for (int32_t i = 0; i < r->len; ++i) {
    if (r->chars[i] >= 'a' && r->chars[i] <= 'z') r->chars[i] &= static_cast<uint8_t>(~0x20);
  }
  return r;
}

rt_string* string_lcase(rt_string* s) {
  if (s->len == 0) return s;
  rt_string* r = writable_copy(s);
  for (int32_t i = 0; i < r->len; ++i) {
    if (r->chars[i] >= 'A' && r->chars[i] <= 'Z') r->chars[i] |= 0x20;
  }
  return r;
}

rt_string* string_chr(int64_t code) {
  if (code < 0 || code > 255) {
    raise_error(error_illegal_function_call);
    return string_new(0, true);
  }
  rt_string* r = string_new(1, true);
  r->chars[0] = static_cast<uint8_t>(code);
  return r;
}

rt_string* string_left(rt_string* s, int64_t count) {
  if (count < 0) count = 0;
  if (count >= s->len) return s;
  return substring(s, 0, static_cast<int32_t>(count));
}

rt_string* string_right(rt_string* s, int64_t count) {
  if (count < 0) count = 0;
  if (count >= s->len) return s;
  return substring(s, s->len - static_cast<int32_t>(count), static_cast<int32_t>(count));
}

rt_string* string_mid(rt_string* s, int64_t start, int64_t count) {
  start = clamp32(start);
  count = clamp32(count);
  if (start < 1) {
    count += start - 1;  // positions before the first byte still use up the count
    start = 1;
  }
  if (count <= 0 || start > s->len) return substring(s, 0, 0);
  if (count > s->len - start + 1) count = s->len - start + 1;
  if (start == 1 && count == s->len) return s;
  return substring(s, static_cast<int32_t>(start - 1), static_cast<int32_t>(count));
}

rt_string* string_mid_to_end(rt_string* s, int64_t start) {
  if (start < 1) start = 1;
  if (start > s->len) return substring(s, 0, 0);
  if (start == 1) return s;
  return substring(s, static_cast<int32_t>(start - 1), s->len - static_cast<int32_t>(start) + 1);
}

rt_string* string_ltrim(rt_string* s) {
  int32_t skip = 0;
  while (skip < s->len && s->chars[skip] == ' ') ++skip;
  if (skip == 0) return s;
  return substring(s, skip, s->len - skip);
}

rt_string* string_rtrim(rt_string* s) {
  int32_t keep = s->len;
  while (keep > 0 && s->chars[keep - 1] == ' ') --keep;
  if (keep == s->len) return s;
  return substring(s, 0, keep);
}

rt_string* string_trim(rt_string* s) { return string_rtrim(string_ltrim(s)); }

rt_string* string_space(int64_t count) { return filled(count, ' '); }

rt_string* string_repeat(int64_t count, int64_t code) { return filled(count, static_cast<uint8_t>(code & 0xFF)); }

int32_t string_instr(int64_t start, rt_string* s, rt_string* find, int32_t passed) {
  if (!(passed & instr_passed_start)) start = 1;
  if (s->len == 0) return 0;
  if (start <= 0) {
    if (find->len == 0) return 0;
    start = 1;
  }
  if (start > s->len) return 0;
  if (find->len == 0) return static_cast<int32_t>(start);
  if (find->len > s->len - start + 1) return 0;
  const uint8_t first = find->chars[0];
  const int32_t last_start = s->len - find->len;  // 0-based
  for (int32_t at = static_cast<int32_t>(start - 1); at <= last_start; ++at) {
    if (s->chars[at] != first) continue;
    if (std::memcmp(s->chars + at + 1, find->chars + 1, static_cast<size_t>(find->len - 1)) == 0) return at + 1;
  }
  return 0;
}

void string_mid_statement(rt_string* dest, int64_t start, int64_t count, rt_string* src, int32_t passed) {
  // Literal text is never written; null_string is shared by everyone.
  if (!pending_error && dest != null_string && !dest->readonly) {
    int64_t source_offset = 0;
    count = (passed & mid_passed_count) ? clamp32(count) : src->len;
    start = clamp32(start);
    if (start < 1) {
      source_offset = 1 - start;  // the positions before the first byte eat source bytes
      count -= source_offset;
      start = 1;
    }
    int64_t source_left = src->len - source_offset;  // may be negative: nothing left
    if (count > dest->len - start + 1) count = dest->len - start + 1;
    if (count > source_left) count = source_left;
    if (count > 0 && start <= dest->len) {
      std::memmove(dest->chars + (start - 1), src->chars + source_offset, static_cast<size_t>(count));
    }
  }
  if (src != dest) consume(src);
}

int32_t string_compare(const rt_string* a, const rt_string* b) {
  int32_t common = a->len < b->len ? a->len : b->len;
  if (common > 0) {
    int c = std::memcmp(a->chars, b->chars, static_cast<size_t>(common));  // unsigned bytes
    if (c != 0) return c < 0 ? -1 : 1;
  }
  if (a->len == b->len) return 0;
  return a->len < b->len ? -1 : 1;
}

int32_t string_equal(const rt_string* a, const rt_string* b) {
  if (a->len != b->len) return 0;
  return (a->len == 0 || std::memcmp(a->chars, b->chars, static_cast<size_t>(a->len)) == 0) ? -1 : 0;
}
int32_t string_not_equal(const rt_string* a, const rt_string* b) { return string_equal(a, b) ? 0 : -1; }
int32_t string_less(const rt_string* a, const rt_string* b) { return string_compare(a, b) < 0 ? -1 : 0; }
int32_t string_greater(const rt_string* a, const rt_string* b) { return string_compare(a, b) > 0 ? -1 : 0; }
int32_t string_less_equal(const rt_string* a, const rt_string* b) { return string_compare(a, b) <= 0 ? -1 : 0; }
int32_t string_greater_equal(const rt_string* a, const rt_string* b) { return string_compare(a, b) >= 0 ? -1 : 0; }

// Assignment through a scratch record.
void string_swap(rt_string* a, rt_string* b) {
  if (a == b) return;
  rt_string* scratch = string_new(0, false);
  string_assign(scratch, a);
  string_assign(a, b);
  string_assign(b, scratch);
  string_free(scratch);
}

void string_lset(rt_string* dest, rt_string* src) {
  if (!pending_error && !dest->readonly && dest != src) {
    size_t room = static_cast<size_t>(dest->len);
    size_t count = static_cast<size_t>(src->len) < room ? static_cast<size_t>(src->len) : room;
    if (count) std::memmove(dest->chars, src->chars, count);
    if (count < room) std::memset(dest->chars + count, ' ', room - count);
  }
  if (src != dest) consume(src);
}

void string_rset(rt_string* dest, rt_string* src) {
  if (!pending_error && !dest->readonly && dest != src) {
    size_t room = static_cast<size_t>(dest->len);
    size_t count = static_cast<size_t>(src->len) < room ? static_cast<size_t>(src->len) : room;
    size_t pad = room - count;
    // Copy first: the source may overlap the part the padding covers.
    if (count) std::memmove(dest->chars + pad, src->chars, count);
    if (pad) std::memset(dest->chars, ' ', pad);
  }
  if (src != dest) consume(src);
}

int32_t string_asc(rt_string* s, int64_t position, int32_t passed) {
  if (!(passed & asc_passed_position)) position = 1;
  if (s->len == 0 || position < 1 || position > s->len) {
    raise_error(error_illegal_function_call);
    return 0;
  }
  return s->chars[position - 1];
}
