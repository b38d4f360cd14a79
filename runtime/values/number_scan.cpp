// Number scanning (keeps the digit runs, radix forms with their limits and the scientific text shared by VAL, READ and INPUT).
#include "runtime/values/number_scan.h"

#include <charconv>
#include <cstring>

namespace {

// Value of `c` as a digit of `radix` (2 to 16, letters in either case), or -1.
int radix_digit(uint8_t c, int radix) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  return d < radix ? d : -1;
}

}  // namespace

int radix_of_letter(uint8_t c) {
  switch (c) {
    case 'H': case 'h': return 16;
    case 'O': case 'o': return 8;
    case 'B': case 'b': return 2;
    default: return 0;
  }
}

const uint8_t* skip_decimal_digits(const uint8_t* p, const uint8_t* end) {
  while (p < end && is_decimal_digit(*p)) ++p;
  return p;
}

bool accumulate_decimal(const char* digits, int32_t count, uint64_t limit, uint64_t* value) {
  uint64_t v = *value;
  for (int32_t i = 0; i < count; ++i) {
    const uint64_t d = static_cast<uint64_t>(digits[i] - '0');
    if (d > limit || v > (limit - d) / 10) return false;
    v = v * 10 + d;
  }
  *value = v;
  return true;
}

radix_run scan_radix_run(const uint8_t* p, const uint8_t* end, int radix, bool skip_leading_zeros) {
  // Every radix here is a power of two, so a digit is a shift of this many bits.
  const int shift = radix == 16 ? 4 : radix == 8 ? 3 : 1;
  radix_run run{radix, 0, 0, 0, p};
  for (; p < end; ++p) {
    const int d = radix_digit(*p, radix);
    if (d < 0) break;
    if (run.count == 0 && d == 0 && skip_leading_zeros) continue;
    if (run.count == 0) run.first_digit = d;
    if (run.count < INT32_MAX) ++run.count;
    run.value = (run.value << shift) | static_cast<uint64_t>(d);
  }
  run.end = p;
  return run;
}

bool radix_run_fits(const radix_run& run) {
  switch (run.radix) {
    case 16: return run.count <= 16;
    case 8: return run.count < 22 || (run.count == 22 && run.first_digit <= 1);
    default: return run.count <= 64;
  }
}

int32_t write_scientific(char* out, size_t size, bool negative, const char* digits, int32_t count, int64_t exponent) {
  char* p = out;
  if (negative) *p++ = '-';
  *p++ = digits[0];
  if (count > 1) {
    *p++ = '.';
    std::memcpy(p, digits + 1, static_cast<size_t>(count - 1));
    p += count - 1;
  }
  *p++ = 'E';
  p = std::to_chars(p, out + size - 1, static_cast<long long>(exponent)).ptr;
  *p = '\0';
  return static_cast<int32_t>(p - out);
}
