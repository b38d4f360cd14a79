// DATA reading (keeps the read position of the program's DATA text, READ and RESTORE).
#include "runtime/values/data_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/core/errors.h"
#include "runtime/values/arrays.h"
#include "runtime/values/strings.h"

int64_t data_position = 0;          // offset of the next unread item
int64_t data_restore_position = 0;  // where RESTORE puts it

namespace {

constexpr int32_t max_significant_digits = 256;
constexpr int max_exponent_digits = 18;

// Text handed to sscanf: sign, 17 digits, point, "E", exponent; only the program thread reads DATA.
char float_text[64];

bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_suffix(char c) {
  return c == '!' || c == '#' || c == '$' || c == '%' || c == '&' || c == '`' || c == '~';
}

int radix_digit(char c, int radix) {
  int d = -1;
  if (c >= '0' && c <= '9') d = c - '0';
  else if (c >= 'A' && c <= 'F') d = c - 'A' + 10;
  else if (c >= 'a' && c <= 'f') d = c - 'a' + 10;
  return d < radix ? d : -1;
}

// Radix literal digits into 64 bits; scan_overflow past the radix's limit.
scan_status radix_to_bits(const number_item& item, uint64_t* bits) {
  const int32_t n = item.digit_count;
  int shift = 4;
  bool fits = n <= 16;
  if (item.radix == 8) {
    shift = 3;
    fits = n < 22 || (n == 22 && item.digits[0] < '2');
  } else if (item.radix == 2) {
    shift = 1;
    fits = n < 65;
  }
  if (!fits) return scan_overflow;
  uint64_t value = 0;
  for (int32_t i = 0; i < n; ++i)
    value = (value << shift) | static_cast<uint64_t>(radix_digit(item.digits[i], item.radix));
  *bits = value;
  return scan_ok;
}

// Exact conversion of a decimal item to a 64-bit integer, rounding a fraction to nearest
// with ties to even. The magnitude goes to *magnitude; overflow when it exceeds 64 bits.
scan_status decimal_to_magnitude(const number_item& item, uint64_t* magnitude) {
  *magnitude = 0;
  if (item.digit_count == 0) return scan_ok;
  if (item.exponent >= 20) return scan_overflow;
  uint64_t whole = 0;
  const int64_t whole_digits = item.exponent + 1;  // may be zero or negative
  for (int64_t i = 0; i < whole_digits; ++i) {
    const uint64_t digit = i < item.digit_count ? static_cast<uint64_t>(item.digits[i] - '0') : 0;
    if (__builtin_mul_overflow(whole, 10u, &whole) || __builtin_add_overflow(whole, digit, &whole))
      return scan_overflow;
  }
  // Rounding: look at the fraction's first digit and whether anything follows it.
  int first_fraction = 0;
  bool more_fraction = false;
  if (whole_digits >= 0) {
    if (whole_digits < item.digit_count) {
      first_fraction = item.digits[whole_digits] - '0';
      for (int32_t i = static_cast<int32_t>(whole_digits) + 1; i < item.digit_count; ++i)
        if (item.digits[i] != '0') more_fraction = true;
    }
  } else {
    more_fraction = true;  // below 0.1: rounds to 0
  }
  const bool round_up = first_fraction > 5 || (first_fraction == 5 && (more_fraction || (whole & 1)));
  if (round_up && __builtin_add_overflow(whole, 1u, &whole)) return scan_overflow;
  *magnitude = whole;
  return scan_ok;
}

// The 64-bit integer reads: radix literals give their bit pattern, decimals their exact value.
scan_status item_to_int64(const number_item& item, bool is_unsigned, uint64_t* bits) {
  if (item.radix != 10) return radix_to_bits(item, bits);
  uint64_t magnitude;
  const scan_status status = decimal_to_magnitude(item, &magnitude);
  if (status != scan_ok) return status;
  if (is_unsigned) {
    if (item.negative && magnitude != 0) return scan_overflow;
    *bits = magnitude;
    return scan_ok;
  }
  if (item.negative) {
    if (magnitude > 0x8000000000000000ULL) return scan_overflow;
    *bits = 0 - magnitude;
  } else {
    if (magnitude > 0x7FFFFFFFFFFFFFFFULL) return scan_overflow;
    *bits = magnitude;
  }
  return scan_ok;
}

// Reports a failed scan or conversion: out of DATA leaves the position at the end;
// bad and out-of-range items put it back at the item's start.
void report_scan_failure(scan_status status, int64_t* position, int64_t item_start) {
  if (status == scan_out_of_data) {
    raise_error(4);
    return;
  }
  *position = item_start;
  raise_error(status == scan_syntax ? 2 : 6);
}

}  // namespace

void restore_data() { data_position = data_restore_position; }

scan_status scan_number_item(const char* block, int64_t* position, int64_t block_length,
                             number_item* item) {
  int64_t p = *position;
  if (block == nullptr || p < 0 || p >= block_length) return scan_out_of_data;
  item->radix = 10;
  item->negative = false;
  item->digit_count = 0;
  item->exponent = 0;
  item->digits[0] = '\0';

  if (block[p] == '&') {
    if (++p >= block_length) return scan_syntax;
    const char letter = block[p];
    if (letter == 'H' || letter == 'h') item->radix = 16;
    else if (letter == 'O' || letter == 'o') item->radix = 8;
    else if (letter == 'B' || letter == 'b') item->radix = 2;
    else return scan_syntax;
    ++p;
    for (; p < block_length && radix_digit(block[p], item->radix) >= 0; ++p) {
      if (item->digit_count == 64 + 1) return scan_overflow;  // past every radix's limit
      item->digits[item->digit_count++] = block[p];
    }
  } else {
    bool seen_point = false;
    bool in_exponent = false;
    bool exponent_negative = false;
    int exponent_digits = 0;
    int64_t written_exponent = 0;
    int64_t whole_digits = 0;     // significant digits before the point
    int64_t fraction_zeros = 0;   // zeros between the point and the first significant digit
    if (block[p] == '-' || block[p] == '+') {
      item->negative = block[p] == '-';
      ++p;
    }
    for (; p < block_length; ++p) {
      const char c = block[p];
      if (is_digit(c)) {
        if (in_exponent) {
          if (exponent_digits == 0 && c == '0') continue;
          if (++exponent_digits > max_exponent_digits) return scan_overflow;
          written_exponent = written_exponent * 10 + (c - '0');
        } else if (item->digit_count == 0 && c == '0') {
          if (seen_point) ++fraction_zeros;
        } else {
          if (item->digit_count == max_significant_digits) return scan_overflow;
          item->digits[item->digit_count++] = c;
          if (!seen_point) ++whole_digits;
        }
      } else if (c == '.' && !seen_point && !in_exponent) {
        seen_point = true;
      } else if ((c == 'D' || c == 'E' || c == 'd' || c == 'e') && !in_exponent) {
        in_exponent = true;
        if (p + 1 < block_length && (block[p + 1] == '-' || block[p + 1] == '+')) {
          exponent_negative = block[p + 1] == '-';
          ++p;
        }
      } else {
        break;
      }
    }
    if (exponent_negative) written_exponent = -written_exponent;
    item->exponent = written_exponent + whole_digits - fraction_zeros - 1;
    if (item->digit_count == 0) {
      item->negative = false;
      item->exponent = 0;
    }
  }
  item->digits[item->digit_count] = '\0';

  // Type suffixes, then the comma or the end of the block.
  while (p < block_length && is_suffix(block[p])) ++p;
  if (p < block_length) {
    if (block[p] != ',') return scan_syntax;
    ++p;
  }
  *position = p;
  return scan_ok;
}

scan_status digits_to_float(const number_item& item, long double* value) {
  *value = 0;
  if (item.radix != 10) {
    uint64_t bits;
    const scan_status status = radix_to_bits(item, &bits);
    if (status == scan_ok) *value = static_cast<long double>(bits);
    return status;
  }
  if (item.digit_count == 0) return scan_ok;
  if (item.exponent >= 309) return scan_overflow;
  if (item.exponent == 308) {
    static const char largest[] = "17976931348623157";
    for (int32_t i = 0; i < 17 && i < item.digit_count; ++i) {
      if (item.digits[i] == largest[i]) continue;
      if (item.digits[i] > largest[i]) return scan_overflow;
      break;
    }
  }
  if (item.exponent < -324) return scan_ok;

  // Only the first 17 digits count; the rest are dropped, not rounded.
  int n = 0;
  if (item.negative) float_text[n++] = '-';
  float_text[n++] = item.digits[0];
  float_text[n++] = '.';
  if (item.digit_count == 1) {
    float_text[n++] = '0';
  } else {
    for (int32_t i = 1; i < 17 && i < item.digit_count; ++i) float_text[n++] = item.digits[i];
  }
  std::snprintf(float_text + n, sizeof float_text - static_cast<size_t>(n), "E%lld",
                static_cast<long long>(item.exponent));
  double nearest = 0;
  if (std::sscanf(float_text, "%lf", &nearest) != 1) return scan_overflow;
  *value = nearest;
  return scan_ok;
}

long double read_numeric(const char* block, int64_t* position, int64_t block_length, uint32_t type) {
  if (pending_error) return 0;
  const int64_t item_start = *position;
  number_item item;
  scan_status status = scan_number_item(block, position, block_length, &item);
  if (status != scan_ok) {
    report_scan_failure(status, position, item_start);
    return 0;
  }

  const uint32_t bits = type & 63;
  const bool wide = (type & 0x1C0) != 0;  // 64 bits and more
  if (!(type & type_float) && wide) {
    // 64-bit integer types: exact digit conversion, as read_int64 and read_uint64.
    uint64_t pattern;
    const bool is_unsigned = (type & type_unsigned) != 0;
    status = item_to_int64(item, is_unsigned, &pattern);
    if (status != scan_ok) {
      report_scan_failure(status, position, item_start);
      return 0;
    }
    return is_unsigned ? static_cast<long double>(pattern)
                       : static_cast<long double>(static_cast<int64_t>(pattern));
  }

  long double value;
  status = digits_to_float(item, &value);
  if (status != scan_ok) {
    report_scan_failure(status, position, item_start);
    return 0;
  }
  if ((type & type_float) || bits == 0) {
    // SINGLE: beyond its largest finite value either way is out of range. The limit is
    // the DOUBLE 3.402823466e38, the same rounding the item itself went through, so an
    // item written as exactly that limit is accepted.
    if (!wide && bits == 32 && std::fabs(value) > static_cast<long double>(3.402823466e38)) {
      report_scan_failure(scan_overflow, position, item_start);
      return 0;
    }
    return value;
  }

  // Integer types up to 32 bits (any size below 64 works the same way).
  const int64_t top = static_cast<int64_t>(1) << (bits - 1);  // 2^(bits-1)
  const uint64_t unsigned_max = (static_cast<uint64_t>(1) << bits) - 1;
  if (item.radix != 10) {
    const uint64_t pattern = static_cast<uint64_t>(value);
    if (pattern > unsigned_max) {
      report_scan_failure(scan_overflow, position, item_start);
      return 0;
    }
    if (!(type & type_unsigned) && (pattern & static_cast<uint64_t>(top)))
      return static_cast<long double>(static_cast<int64_t>(pattern - (unsigned_max + 1)));
    return static_cast<long double>(pattern);
  }
  if (!(value >= -9223372036854775808.0L && value < 9223372036854775808.0L)) {
    report_scan_failure(scan_overflow, position, item_start);
    return 0;
  }
  const int64_t whole = round_to_integer(value);
  const bool in_range = (type & type_unsigned)
                            ? whole >= 0 && static_cast<uint64_t>(whole) <= unsigned_max
                            : whole >= -top && whole <= top - 1;
  if (!in_range) {
    report_scan_failure(scan_overflow, position, item_start);
    return 0;
  }
  return static_cast<long double>(whole);
}

namespace {

// One 64-bit integer item as its bit pattern; errors as for the other reads, 0 on failure.
uint64_t read_integer64(const char* block, int64_t* position, int64_t block_length, bool is_unsigned) {
  if (pending_error) return 0;
  const int64_t item_start = *position;
  number_item item;
  scan_status status = scan_number_item(block, position, block_length, &item);
  uint64_t pattern = 0;
  if (status == scan_ok) status = item_to_int64(item, is_unsigned, &pattern);
  if (status != scan_ok) {
    report_scan_failure(status, position, item_start);
    return 0;
  }
  return pattern;
}

}  // namespace

int64_t read_int64(const char* block, int64_t* position, int64_t block_length) {
  return static_cast<int64_t>(read_integer64(block, position, block_length, false));
}

uint64_t read_uint64(const char* block, int64_t* position, int64_t block_length) {
  return read_integer64(block, position, block_length, true);
}

void read_double(const char* block, int64_t* position, int64_t block_length, double* target) {
  if (pending_error) return;
  const long double value = read_numeric(block, position, block_length, type_double);
  if (pending_error) return;
  *target = static_cast<double>(value);
}

// A failed READ leaves the target as it was (out of DATA, or text after a closing quote).
void read_string(const char* block, int64_t* position, int64_t block_length, rt_string* target) {
  if (pending_error) return;
  const int64_t start = *position;
  if (block == nullptr || start < 0 || start >= block_length) {
    raise_error(4);
    return;
  }
  int64_t text_start = start;
  int64_t text_end;
  int64_t p = start;
  if (block[p] == '"') {
    text_start = ++p;
    while (p < block_length && block[p] != '"') ++p;
    text_end = p;
    if (p < block_length) ++p;  // the closing quote
    if (p < block_length && block[p] != ',') {
      raise_error(4);
      return;
    }
  } else {
    while (p < block_length && block[p] != ',') ++p;
    text_end = p;
  }
  if (p < block_length) ++p;  // the comma
  const int64_t length = text_end - text_start;
  if (length > INT32_MAX) {
    raise_error(14);
    return;
  }
  rt_string* text = string_new(static_cast<int32_t>(length), true);  // may move heap strings
  if (length > 0) std::memcpy(text->chars, block + text_start, static_cast<size_t>(length));
  string_assign(target, text);  // may move heap strings; consumes the temporary
  *position = p;
}
