// VAL (keeps the scan of number text into an extended-precision value, radix forms included).
#include <cstdlib>

#include "runtime/ground/errors.h"
#include "runtime/values/number_scan.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"

namespace {

// The scratch areas are 256 bytes each. Every significant digit that still leaves room in
// the canonical text for its sign, point, exponent and NUL is kept: 232 of them. Any value
// whose digits all fit is therefore rounded correctly, a half-way value followed by a far
// non-zero digit included; later digits are dropped (truncation, not rounding), but
// integer-part digits keep counting into the point position, so "1" followed by 10,000
// digits still has the magnitude 1E+10000.
constexpr int32_t scratch_bytes = 256;
constexpr int32_t val_max_digits = scratch_bytes - scientific_overhead;

// Scan state of VAL; only the program thread calls it.
char val_digits[scratch_bytes];     // significant digits, in order
char val_canonical[scratch_bytes];  // "-d.dddE±n" handed to the decimal-to-extended conversion

// 10^0 to 10^27: every one is exact in the extended format (5^27 < 2^64).
constexpr long double exact_powers_of_ten[28] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
    1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

enum val_state { val_start = 0, val_integer = 1, val_fraction = 2, val_exponent_letter = 3, val_exponent = 4 };

struct val_scan {
  int state;
  bool negative;
  decimal_digits significand;
  exponent_digits exponent;
};

bool is_blank(uint8_t c) { return c == ' ' || c == '\t'; }

// "&H", "&O", "&B" forms: `p` points just after the ampersand, `end` past the text.
// Leading zeros do not count toward the radix's limit.
long double radix_value(const uint8_t* p, const uint8_t* end) {
  if (end - p < 2) return 0;
  const int radix = radix_of_letter(*p);
  if (radix == 0) return 0;
  const radix_run run = scan_radix_run(p + 1, end, radix, true);
  if (!radix_run_fits(run)) {
    raise_error(error_overflow);
    return 0;
  }
  return static_cast<long double>(static_cast<int64_t>(run.value));
}

// One byte of the decimal scan (blanks already skipped); false when the scan stops at it.
bool val_take(val_scan& s, uint8_t c) {
  switch (c) {
    case '-': case '+':
      if (s.state == val_start) {
        s.negative = c == '-';
        s.state = val_integer;
      } else if (s.state == val_exponent_letter) {
        s.exponent.negative = c == '-';
        s.state = val_exponent;
      } else {
        return false;
      }
      return true;
    case '.':
      if (s.state > val_integer) return false;
      s.state = val_fraction;
      return true;
    case 'D': case 'E': case 'd': case 'e':
      if (s.state > val_fraction) return false;
      s.state = val_exponent_letter;
      return true;
    default: break;
  }
  if (!is_decimal_digit(c)) return false;
  if (s.state <= val_integer) {
    s.state = val_integer;
    take_significand_digit(&s.significand, c, false);  // a digit past the buffer still counts
    return true;
  }
  if (s.state == val_fraction) {
    take_significand_digit(&s.significand, c, true);
    return true;
  }
  s.state = val_exponent;
  return take_exponent_digit(&s.exponent, c);
}

// Up to 19 significant digits make an exact 64-bit integer, and the powers of ten up to
// 10^27 are exact too, so one multiplication or division, rounded once to the extended
// format (the x87 runs at full precision, set_fpu_mode), is the correctly rounded value
// the full conversion would give. False when the value is not of that kind.
bool exact_value(const decimal_digits& d, int64_t first_exponent, long double* value) {
  if (d.count > 19) return false;
  const int64_t scale = first_exponent - (d.count - 1);
  if (scale < -27 || scale > 27) return false;
  uint64_t digits = 0;  // 19 digits stay below 2^64: the limit is never reached
  accumulate_decimal(d.digits, d.count, UINT64_MAX, &digits);
  const long double whole = static_cast<long double>(digits);
  *value = scale >= 0 ? whole * exact_powers_of_ten[scale] : whole / exact_powers_of_ten[-scale];
  return true;
}

long double scanned_value(const val_scan& s) {
  const decimal_digits& d = s.significand;
  if (d.count == 0) return 0;
  const int64_t first_exponent = first_digit_exponent(d, s.exponent);
  long double value;
  if (exact_value(d, first_exponent, &value)) return s.negative ? -value : value;
  const int32_t kept = d.count < val_max_digits ? d.count : val_max_digits;
  write_scientific(val_canonical, sizeof val_canonical, s.negative, val_digits, kept, first_exponent);
  return std::strtold(val_canonical, nullptr);
}

}  // namespace

long double string_val(rt_string* text) {
  if (text == nullptr || text->len <= 0 || text->chars == nullptr) return 0;
  const uint8_t* p = text->chars;
  const uint8_t* const end = p + text->len;
  val_scan s{val_start, false, {val_digits, val_max_digits, 0, 0}, {false, 0, 0}};
  for (; p < end; ++p) {
    if (is_blank(*p)) continue;  // blanks are skipped everywhere, so "1 2 3" is 123
    if (*p == '&' && s.state == val_start) return radix_value(p + 1, end);
    if (!val_take(s, *p)) break;
  }
  return scanned_value(s);
}
