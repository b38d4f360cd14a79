// Number scanning: the character classes, digit runs, exponents and radix forms that VAL, READ and INPUT share.
#pragma once
#include <cstddef>
#include <cstdint>

// Character classes. The small collectors below are inline: VAL and READ call them once
// per byte, and a call each time would cost more than the work.
inline bool is_decimal_digit(uint8_t c) { return c >= '0' && c <= '9'; }
inline bool is_sign(uint8_t c) { return c == '-' || c == '+'; }
inline bool is_exponent_letter(uint8_t c) { return c == 'D' || c == 'E' || c == 'd' || c == 'e'; }

// The radix the letter after an ampersand selects: H 16, O 8, B 2 (either case), else 0.
int radix_of_letter(uint8_t c);

// The first byte at or after `p` that is not a decimal digit.
const uint8_t* skip_decimal_digits(const uint8_t* p, const uint8_t* end);

// Builds the decimal number of `count` digits into *value (which may already hold the
// digits before them); false, with *value unusable, as soon as it would pass `limit`.
bool accumulate_decimal(const char* digits, int32_t count, uint64_t limit, uint64_t* value);

// One run of digits of a radix form, as far as it goes.
struct radix_run {
  int radix;
  uint64_t value;       // the counted digits shifted in; whole only while the run fits
  int32_t count;        // digits counted toward the limit
  int first_digit;      // the first counted digit, 0 when none
  const uint8_t* end;   // the first byte that is not a digit of the radix
};

// Reads digits of `radix` from `p` to the first other byte. With `skip_leading_zeros`,
// zeros before the first non-zero digit are not counted.
radix_run scan_radix_run(const uint8_t* p, const uint8_t* end, int radix, bool skip_leading_zeros);

// Whether the counted digits fit 64 bits: at most 16 hexadecimal, 64 binary, and 21 octal
// or 22 when the first of them is 0 or 1.
bool radix_run_fits(const radix_run& run);

// Significant digits of a decimal number as a scan meets them, and where its point falls.
struct decimal_digits {
  char* digits;            // room for `capacity` digits, kept in order
  int32_t capacity;
  int32_t count;           // significant digits met, kept or not
  int64_t point_position;  // digits before the point, minus zeros between it and the first significant one
};

// Takes one digit met before the point or after it. Zeros before the first significant
// digit are not digits of the number; after the point they move the point instead.
// False when a significant digit finds the buffer full: it is counted but not kept.
inline bool take_significand_digit(decimal_digits* d, uint8_t c, bool after_point) {
  if (d->count == 0 && c == '0') {
    if (after_point) --d->point_position;
    return true;
  }
  if (!after_point) ++d->point_position;
  const bool kept = d->count < d->capacity;
  if (kept) d->digits[d->count] = static_cast<char>(c);
  if (d->count < INT32_MAX) ++d->count;
  return kept;
}

// The written exponent of a decimal number.
struct exponent_digits {
  bool negative;
  int32_t count;   // significant exponent digits taken
  int64_t value;   // their value, below 10^18
};

constexpr int32_t most_exponent_digits = 18;

// Takes one exponent digit; zeros before the first significant one are skipped. False for
// a significant digit past the 18th, which is not taken (it would no longer fit).
inline bool take_exponent_digit(exponent_digits* e, uint8_t c) {
  if (e->count == 0 && c == '0') return true;
  if (e->count == most_exponent_digits) return false;
  e->value = e->value * 10 + (c - '0');
  ++e->count;
  return true;
}

// Decimal exponent of the first significant digit. Both terms stay far inside 64 bits:
// the exponent is below 10^18, the point position bounded by the text's length.
inline int64_t first_digit_exponent(const decimal_digits& d, const exponent_digits& e) {
  return (e.negative ? -e.value : e.value) + d.point_position - 1;
}

// Extra bytes write_scientific needs beside the digits: sign, point, "E", an exponent of
// a sign and up to 19 digits, and the terminating NUL.
constexpr int32_t scientific_overhead = 24;

// Writes "-d.ddddE-n" (no point for a single digit) for the C library's decimal
// conversions; `size` must be at least count + scientific_overhead. Returns the length.
int32_t write_scientific(char* out, size_t size, bool negative, const char* digits, int32_t count, int64_t exponent);
