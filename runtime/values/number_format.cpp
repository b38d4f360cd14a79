// Number formatting (keeps the PRINT/STR$ text forms of integers, SINGLE and DOUBLE values).
#include "runtime/values/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/values/strings.h"

namespace {

// Scratch state of the conversions; only the program thread formats numbers.
char scientific_text[64];  // the "% .6E" / "% .15E" layout, exponent widened to three digits
char plain_text[96];       // the text being assembled
char integer_text[32];     // integer renderings

// Copies `length` bytes into a new temporary string.
rt_string* text_result(const char* text, int length) {
  rt_string* result = string_new(length, true);  // may move heap strings
  if (length > 0) std::memcpy(result->chars, text, static_cast<size_t>(length));
  return result;
}

rt_string* printed_result(int written, const char* text, int capacity) {
  if (written < 0) written = 0;
  if (written >= capacity) written = capacity - 1;
  return text_result(text, written);
}

// Infinities and NaN have no digits to count: they print as " INF", "-INF" and " NAN"
// (sign position first, as for every other number; a NaN's sign bit is not shown).
rt_string* non_finite_result(double value) {
  if (std::isnan(value)) return text_result(" NAN", 4);
  return text_result(value < 0 ? "-INF" : " INF", 4);
}

// Writes `value` rounded to `digits` significant digits into scientific_text, laid out as
// printf's "% .{digits-1}E" with the exponent widened to three digits: sign or space, one
// digit, the point, digits-1 digits, "E", the exponent's sign, three digits. Returns the
// length. std::to_chars rounds the exact binary value half to even, as printf does in
// the default rounding mode, so the digits are printf's, at a fraction of its cost.
int scientific_digits(double value, int digits) {
  char* const out = scientific_text;
  out[0] = std::signbit(value) ? '-' : ' ';
  const std::to_chars_result r = std::to_chars(out + 1, out + sizeof scientific_text - 2, std::fabs(value),
                                               std::chars_format::scientific, digits - 1);
  if (r.ec != std::errc()) return -1;
  int length = static_cast<int>(r.ptr - out);
  // to_chars writes "d.ddde+XX" (or "de+XX" for one digit), with two or three exponent digits.
  char* const letter = static_cast<char*>(std::memchr(out, 'e', static_cast<size_t>(length)));
  if (!letter) return -1;
  *letter = 'E';
  if (r.ptr - (letter + 2) == 2) {
    out[length + 1] = '\0';
    out[length] = out[length - 1];
    out[length - 1] = out[length - 2];
    out[length - 2] = '0';
    ++length;
  } else {
    out[length] = '\0';
  }
  return length;
}

// Shared by SINGLE and DOUBLE once `scientific_text` holds the three-digit-exponent rendering
// with `digits` mantissa digits: "s" "d" "." digits-1 "E" "±" "eee".
rt_string* finish_format(double value, int digits, char letter, int plain_max_exponent,
                         int plain_min_gap) {
  const char* s = scientific_text;
  // Significant digits: trailing zeros of the mantissa do not count.
  int count = digits;
  for (int i = digits; i >= 1; --i) {  // mantissa digit k (1-based) sits at index k, or k+1 after the point
    const char c = s[i == 1 ? 1 : i + 1];
    if (c != '0') break;
    --count;
  }
  if (count == 0) return text_result(" 0", 2);

  const int exponent_sign_at = digits + 3;  // sign, digit, point, digits-1 digits, letter
  int exponent = (s[exponent_sign_at + 1] - '0') * 100 + (s[exponent_sign_at + 2] - '0') * 10 +
                 (s[exponent_sign_at + 3] - '0');
  if (s[exponent_sign_at] == '-') exponent = -exponent;

  if (exponent <= plain_max_exponent && exponent - count >= plain_min_gap) {
    int n = 0;
    plain_text[n++] = s[0];
    if (count <= exponent + 1) {
      // A whole number. It is the value itself rounded to a whole number (printf's "%.0f"),
      // which is not always the digits above: a DOUBLE cut to 15 digits at 16 integer
      // places shows all 16 (1776274350704119, not 1776274350704120). Below 1E+16 here.
      const uint64_t whole = static_cast<uint64_t>(std::nearbyint(std::fabs(value)));
      n = static_cast<int>(std::to_chars(plain_text + 1, plain_text + sizeof plain_text, whole).ptr - plain_text);
    } else if (exponent < 0) {
      // The fraction rounded at its last significant digit: exactly the digits above (the
      // value lies within half a unit of that digit of them). No leading zero.
      plain_text[n++] = '.';
      for (int z = 1; z < -exponent; ++z) plain_text[n++] = '0';
      for (int k = 1; k <= count; ++k) plain_text[n++] = s[k == 1 ? 1 : k + 1];
    } else {
      for (int k = 1; k <= count; ++k) {
        plain_text[n++] = s[k == 1 ? 1 : k + 1];
        if (k == exponent + 1) plain_text[n++] = '.';
      }
    }
    return text_result(plain_text, n);
  }

  int n = 0;
  plain_text[n++] = s[0];
  plain_text[n++] = s[1];
  if (count > 1) {
    plain_text[n++] = '.';
    for (int k = 2; k <= count; ++k) plain_text[n++] = s[k + 1];
  }
  plain_text[n++] = letter;
  plain_text[n++] = s[exponent_sign_at];
  const int magnitude = exponent < 0 ? -exponent : exponent;
  if (magnitude > 99) plain_text[n++] = s[exponent_sign_at + 1];
  plain_text[n++] = s[exponent_sign_at + 2];
  plain_text[n++] = s[exponent_sign_at + 3];
  return text_result(plain_text, n);
}

}  // namespace

rt_string* format_int8(int8_t value) { return format_int32(value); }
rt_string* format_int16(int16_t value) { return format_int32(value); }

rt_string* format_int32(int32_t value) {
  const int written = std::snprintf(integer_text, sizeof integer_text, "% i", static_cast<int>(value));
  return printed_result(written, integer_text, sizeof integer_text);
}

rt_string* format_int64(int64_t value) {
  const int written =
      std::snprintf(integer_text, sizeof integer_text, "% lli", static_cast<long long>(value));
  return printed_result(written, integer_text, sizeof integer_text);
}

rt_string* format_uint8(uint8_t value) { return format_uint32(value); }
rt_string* format_uint16(uint16_t value) { return format_uint32(value); }

rt_string* format_uint32(uint32_t value) {
  const int written =
      std::snprintf(integer_text, sizeof integer_text, " %u", static_cast<unsigned>(value));
  return printed_result(written, integer_text, sizeof integer_text);
}

rt_string* format_uint64(uint64_t value) {
  const int written = std::snprintf(integer_text, sizeof integer_text, " %llu",
                                    static_cast<unsigned long long>(value));
  return printed_result(written, integer_text, sizeof integer_text);
}

rt_string* format_single(float value) {
  const double wide = value;
  if (!std::isfinite(wide)) return non_finite_result(wide);
  if (scientific_digits(wide, 7) < 0) return text_result(" 0", 2);
  return finish_format(wide, 7, 'E', 6, -8);
}

// A 16-digit rendering ending in 9 is a binary artefact (0.1 + 0.7 = 0.7999999999999999).
rt_string* format_double(double value) {
  if (!std::isfinite(value)) return non_finite_result(value);
  int length = scientific_digits(value, 16);
  if (length < 0) return text_result(" 0", 2);
  if (scientific_text[17] == '9') {
    length = scientific_digits(value, 15);
    if (length < 0) return text_result(" 0", 2);
    // Append a 0 as the 16th mantissa digit so the layout matches the 16-digit form.
    std::memmove(scientific_text + 18, scientific_text + 17, static_cast<size_t>(length - 17 + 1));
    scientific_text[17] = '0';
  }
  return finish_format(value, 16, 'D', 15, -17);
}

rt_string* format_float(long double value) { return format_double(static_cast<double>(value)); }
