// VAL (keeps the scan of number text into an extended-precision value, radix forms included).
#include <charconv>
#include <cstdlib>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"

namespace {

// The scratch areas are fixed at 256 bytes. The digit buffer keeps at most
// val_max_digits significant digits; later digits are dropped (truncation, not rounding),
// but integer-part digits keep counting into the point position, so "1" followed by
// 10,000 digits still has the magnitude 1E+10000. 200 digits settle every value the
// extended format can tell apart; the canonical text then needs at most
// 200 + sign + point + "E" + 20 exponent characters, well inside its 256 bytes.
constexpr int val_max_digits = 200;

// Scan state of VAL; only the program thread calls it.
char val_digits[256];     // significant digits, in order
char val_canonical[256];  // "-d.dddE±n" handed to the decimal-to-extended conversion

// 10^0 to 10^27: every one is exact in the extended format (5^27 < 2^64).
constexpr long double exact_powers_of_ten[28] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L, 1e13L,
    1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L, 1e26L, 1e27L};

enum val_state { val_start = 0, val_integer = 1, val_fraction = 2, val_exponent_letter = 3, val_exponent = 4 };

bool is_space(uint8_t c) { return c == ' ' || c == '\t'; }

// Value of `c` as a digit of `radix`, or -1.
int radix_digit(uint8_t c, int radix) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  return d < radix ? d : -1;
}

// "&H", "&O", "&B" forms: `p` points just after the ampersand, `end` past the text.
long double radix_value(const uint8_t* p, const uint8_t* end) {
  if (end - p < 2) return 0;
  int radix, bits_per_digit, limit;
  switch (*p) {
    case 'H': case 'h': radix = 16; bits_per_digit = 4; limit = 16; break;
    case 'O': case 'o': radix = 8; bits_per_digit = 3; limit = 21; break;
    case 'B': case 'b': radix = 2; bits_per_digit = 1; limit = 64; break;
    default: return 0;
  }
  ++p;
  uint64_t value = 0;
  int significant = 0;
  int first_digit = 0;
  for (; p < end; ++p) {
    const int d = radix_digit(*p, radix);
    if (d < 0) break;
    if (significant == 0 && d == 0) continue;  // leading zeros do not count toward the limit
    if (significant == 0) first_digit = d;
    ++significant;
    if (significant > limit) {
      // An octal 22nd digit still fits 64 bits when the first one is 0 or 1.
      const bool octal_fits = radix == 8 && significant == 22 && first_digit <= 1;
      if (!octal_fits) {
        raise_error(6);
        return 0;
      }
    }
    value = (value << bits_per_digit) | static_cast<uint64_t>(d);
  }
  return static_cast<long double>(static_cast<int64_t>(value));
}

}  // namespace

long double string_val(rt_string* text) {
  if (text == nullptr || text->len <= 0 || text->chars == nullptr) return 0;
  const uint8_t* p = text->chars;
  const uint8_t* const end = p + text->len;

  int state = val_start;
  bool negative = false;
  bool exponent_negative = false;
  int32_t digit_count = 0;        // significant digits seen (stored ones are capped)
  int64_t point_position = 0;     // integer-part digits, minus zeros leading the fraction
  uint64_t accumulator = 0;       // integer part while it has at most 18 digits
  bool fraction_digits = false;   // a significant digit came after the point
  int64_t exponent = 0;
  int exponent_digits = 0;

  for (; p < end; ++p) {
    const uint8_t c = *p;
    if (is_space(c)) continue;
    bool stop = false;
    switch (c) {
      case '&':
        if (state == val_start) return radix_value(p + 1, end);
        stop = true;
        break;
      case '-':
        if (state == val_start) { negative = true; state = val_integer; }
        else if (state == val_exponent_letter) { exponent_negative = true; state = val_exponent; }
        else stop = true;
        break;
      case '+':
        if (state == val_start) state = val_integer;
        else if (state == val_exponent_letter) state = val_exponent;
        else stop = true;
        break;
      case '.':
        if (state <= val_integer) state = val_fraction;
        else stop = true;
        break;
      case 'D': case 'E': case 'd': case 'e':
        if (state <= val_fraction) state = val_exponent_letter;
        else stop = true;
        break;
      default:
        if (c < '0' || c > '9') { stop = true; break; }
        if (state <= val_integer) {
          state = val_integer;
          if (digit_count == 0 && c == '0') break;
          if (digit_count < val_max_digits) val_digits[digit_count] = static_cast<char>(c);
          if (digit_count < 18) accumulator = accumulator * 10 + static_cast<uint64_t>(c - '0');
          if (digit_count < INT32_MAX) ++digit_count;
          ++point_position;
        } else if (state == val_fraction) {
          if (digit_count == 0 && c == '0') { --point_position; break; }
          if (digit_count < val_max_digits) val_digits[digit_count] = static_cast<char>(c);
          if (digit_count < INT32_MAX) ++digit_count;
          fraction_digits = true;
        } else {
          state = val_exponent;
          if (exponent_digits == 0 && c == '0') break;
          if (exponent_digits == 18) { stop = true; break; }
          exponent = exponent * 10 + (c - '0');
          ++exponent_digits;
        }
        break;
    }
    if (stop) break;
  }

  if (digit_count == 0) return 0;
  if (exponent == 0 && !fraction_digits && digit_count <= 18) {
    const long double whole = static_cast<long double>(accumulator);
    return negative ? -whole : whole;
  }

  // Decimal exponent of the first significant digit; both terms stay far inside 64 bits
  // (exponent below 10^18, point position bounded by the string length).
  const int64_t first_digit_exponent = (exponent_negative ? -exponent : exponent) + point_position - 1;

  // Up to 19 significant digits make an exact 64-bit integer, and the powers of ten up to
  // 10^27 are exact too, so one multiplication or division, rounded once to the extended
  // format (the x87 runs at full precision, set_fpu_mode), is the correctly rounded value
  // the full conversion below would give.
  if (digit_count <= 19) {
    uint64_t digits = 0;
    for (int i = 0; i < digit_count; ++i) digits = digits * 10 + static_cast<uint64_t>(val_digits[i] - '0');
    const int64_t scale = first_digit_exponent - (digit_count - 1);
    if (scale >= -27 && scale <= 27) {
      const long double whole = static_cast<long double>(digits);
      const long double value = scale >= 0 ? whole * exact_powers_of_ten[scale] : whole / exact_powers_of_ten[-scale];
      return negative ? -value : value;
    }
  }

  const int stored = digit_count < val_max_digits ? digit_count : val_max_digits;
  int n = 0;
  if (negative) val_canonical[n++] = '-';
  val_canonical[n++] = val_digits[0];
  if (stored > 1) {
    val_canonical[n++] = '.';
    std::memcpy(val_canonical + n, val_digits + 1, static_cast<size_t>(stored - 1));
    n += stored - 1;
  }
  val_canonical[n++] = 'E';
  char* const text_end = std::to_chars(val_canonical + n, val_canonical + sizeof val_canonical - 1,
                                       static_cast<long long>(first_digit_exponent)).ptr;
  *text_end = '\0';
  return std::strtold(val_canonical, nullptr);
}
