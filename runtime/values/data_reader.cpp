// DATA reading (keeps the read position of the program's DATA text, READ and RESTORE).
#include "runtime/values/data_reader.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/arrays.h"
#include "runtime/values/number_scan.h"
#include "runtime/values/strings.h"

int64_t data_position = 0;
int64_t data_restore_position = 0;

namespace {

constexpr int32_t max_significant_digits = 256;

// Text handed to sscanf: sign, up to 17 digits, point, "E", exponent; only the program thread reads DATA.
char float_text[64];

bool is_suffix(char c) {
  return c == '!' || c == '#' || c == '$' || c == '%' || c == '&' || c == '`' || c == '~';
}

// Radix literal digits into 64 bits; scan_overflow past the radix's limit.
scan_status radix_to_bits(const number_item& item, uint64_t* bits) {
  const uint8_t* const digits = reinterpret_cast<const uint8_t*>(item.digits);
  const radix_run run = scan_radix_run(digits, digits + item.digit_count, item.radix, false);
  if (!radix_run_fits(run)) return scan_overflow;
  *bits = run.value;
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
  const int64_t written = whole_digits < item.digit_count ? whole_digits : item.digit_count;
  if (written > 0 && !accumulate_decimal(item.digits, static_cast<int32_t>(written), UINT64_MAX, &whole))
    return scan_overflow;
  for (int64_t i = written; i < whole_digits; ++i)  // the zeros the exponent adds
    if (__builtin_mul_overflow(whole, 10u, &whole)) return scan_overflow;
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
    raise_error(error_out_of_data);
    return;
  }
  *position = item_start;
  raise_error(status == scan_syntax ? error_syntax : error_overflow);
}

// An "&H", "&O" or "&B" literal from the ampersand at *p; every digit, leading zeros
// too, counts toward the radix's limit. *p moves past the digits.
scan_status scan_radix_item(const uint8_t* text, int64_t* p, int64_t length, number_item* item) {
  const uint8_t* const end = text + length;
  const uint8_t* const letter = text + *p + 1;
  if (letter == end) return scan_syntax;
  const int radix = radix_of_letter(*letter);
  if (radix == 0) return scan_syntax;
  const radix_run run = scan_radix_run(letter + 1, end, radix, false);
  if (run.count > 64 + 1) return scan_overflow;  // past every radix's limit, and the item's room
  item->radix = radix;
  std::memcpy(item->digits, letter + 1, static_cast<size_t>(run.count));
  item->digit_count = run.count;
  *p = run.end - text;
  return scan_ok;
}

// A decimal item from *p: a sign, digits with at most one point, then an exponent letter
// that may take a sign of its own. *p moves to the first byte past the number.
scan_status scan_decimal_item(const uint8_t* text, int64_t* position, int64_t length, number_item* item) {
  int64_t p = *position;
  decimal_digits significand{item->digits, max_significant_digits, 0, 0};
  exponent_digits exponent{false, 0, 0};
  bool seen_point = false;
  bool in_exponent = false;
  if (is_sign(text[p])) item->negative = text[p++] == '-';
  for (; p < length; ++p) {
    const uint8_t c = text[p];
    if (is_decimal_digit(c)) {
      const bool taken = in_exponent ? take_exponent_digit(&exponent, c) : take_significand_digit(&significand, c, seen_point);
      if (!taken) return scan_overflow;
    } else if (c == '.' && !seen_point && !in_exponent) {
      seen_point = true;
    } else if (is_exponent_letter(c) && !in_exponent) {
      in_exponent = true;
      if (p + 1 < length && is_sign(text[p + 1])) exponent.negative = text[++p] == '-';
    } else {
      break;
    }
  }
  item->digit_count = significand.count;
  item->exponent = first_digit_exponent(significand, exponent);
  if (significand.count == 0) {
    item->negative = false;
    item->exponent = 0;
  }
  *position = p;
  return scan_ok;
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

  const uint8_t* const text = reinterpret_cast<const uint8_t*>(block);
  const scan_status status = block[p] == '&' ? scan_radix_item(text, &p, block_length, item)
                                             : scan_decimal_item(text, &p, block_length, item);
  if (status != scan_ok) return status;
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
  const int32_t kept = item.digit_count < 17 ? item.digit_count : 17;
  write_scientific(float_text, sizeof float_text, item.negative, item.digits, kept, item.exponent);
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

void read_string(const char* block, int64_t* position, int64_t block_length, rt_string* target) {
  if (pending_error) return;
  const int64_t start = *position;
  if (block == nullptr || start < 0 || start >= block_length) {
    raise_error(error_out_of_data);
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
      raise_error(error_out_of_data);
      return;
    }
  } else {
    while (p < block_length && block[p] != ',') ++p;
    text_end = p;
  }
  if (p < block_length) ++p;  // the comma
  const int64_t length = text_end - text_start;
  if (length > INT32_MAX) {
    raise_error(error_out_of_string_space);
    return;
  }
  rt_string* text = string_new(static_cast<int32_t>(length), true);  // may move heap strings
  if (length > 0) std::memcpy(text->chars, block + text_start, static_cast<size_t>(length));
  string_assign(target, text);  // may move heap strings; consumes the temporary
  *position = p;
}
