// INPUT field rules (keeps what each destination type accepts and how the field is stored).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/console/input.h"
#include "runtime/values/number_scan.h"
#include "runtime/values/strings.h"

namespace {

enum class float_kind { single, dbl, extended };

// Limits of the decimal forms each floating type can hold (digit strings compared
// after the first significant digit has been lined up).
struct float_limits {
  int32_t most_leading_zeros;  // zeros after "." before the first significant digit
  int32_t largest_magnitude;   // position of the first significant digit, largest
  const char* largest_digits;  // at that position, the digits may not be above these
  int32_t most_significant;    // digits typed, when there is a fraction
  int32_t smallest_magnitude;  // position of the first significant digit, smallest
  const char* smallest_digits; // at that position, the digits may not be below these
};
constexpr float_limits single_limits = {43, 39, "3402823", 8, -44, "1401298"};
constexpr float_limits double_limits = {322, 309, "17976931", 16, -323, "4940656"};

void store_low_bytes(void* destination, uint64_t value, int32_t bytes) {
  // Little-endian host: the low bytes come first.
  std::memcpy(destination, &value, static_cast<size_t>(bytes));
}

// Digits of 2^bits - 1 written in `base`.
int32_t digits_of_largest(int32_t bits, int32_t base) {
  uint64_t largest = bits >= 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  int32_t digits = 0;
  do {
    ++digits;
    largest /= static_cast<uint64_t>(base);
  } while (largest);
  return digits;
}

// Compares the first width digits of `digits` (zeros added when it is shorter) with `limit`.
int compare_leading(const std::string& digits, const char* limit) {
  size_t width = std::strlen(limit);
  std::string head = digits.substr(0, width);
  head.resize(width, '0');
  return head.compare(limit);
}

bool validate_string(const uint8_t* text, int32_t length, rt_string* destination) {
  if (!destination) return true;
  if (destination->fixed && length > destination->len) return false;
  string_assign(destination, string_from_text_len(reinterpret_cast<const char*>(text), length));
  return true;
}

// 8, 16, 32 and 64 bits.
bool validate_integer(const uint8_t* s, int32_t n, int32_t bits, bool is_unsigned, void* destination) {
  int32_t bytes = bits / 8;
  if (n == 0) {
    if (destination) store_low_bytes(destination, 0, bytes);
    return true;
  }
  uint64_t largest = bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1;
  uint64_t value = 0;
  int32_t digits = 0, base = 0;
  if (input_prefix_value(s, n, &value, &digits, &base)) {
    // A 64-bit field takes whatever the prefix form holds.
    if (bits < 64 && value > largest) return false;
    if (bits < 64 && base != 0 && digits > digits_of_largest(bits, base)) return false;
    if (destination) store_low_bytes(destination, value, bytes);
    return true;
  }
  int32_t i = 0;
  bool negative = false;
  if (!is_unsigned && s[0] == '-') {
    negative = true;
    i = 1;
  }
  uint64_t limit = is_unsigned ? largest : (uint64_t{1} << (bits - 1)) - (negative ? 0 : 1);
  if (i < n && s[i] == '0' && n - i > 1) return false;  // no leading zeros
  if (skip_decimal_digits(s + i, s + n) != s + n) return false;
  value = 0;
  if (!accumulate_decimal(reinterpret_cast<const char*>(s + i), n - i, limit, &value)) return false;
  if (negative) value = ~value + 1;
  if (destination) store_low_bytes(destination, value, bytes);
  return true;
}

void store_float(void* destination, float_kind kind, long double value) {
  if (!destination) return;
  switch (kind) {
    case float_kind::single: *static_cast<float*>(destination) = static_cast<float>(value); break;
    case float_kind::dbl: *static_cast<double*>(destination) = static_cast<double>(value); break;
    case float_kind::extended: *static_cast<long double*>(destination) = value; break;
  }
}

// A decimal field for a floating destination, as far as it has been typed.
struct float_field {
  std::string readable;        // the text handed to the conversion (D made E, loose ends cut)
  std::string significant;     // significant digits from the first one on
  int32_t integer_digits = 0;  // digits before "." (a lone 0 does not count)
  int32_t fraction_digits = 0;
  int32_t leading_zeros = 0;   // zeros after "." before the first significant digit
  uint8_t fraction_first = 0;  // the first fraction digit
  int32_t exponent = 0;
  bool nonzero = false;
};

void take_integer_digits(const uint8_t* p, const uint8_t* end, float_field& f) {
  for (; p < end; ++p) {
    f.readable += static_cast<char>(*p);
    f.significant += static_cast<char>(*p);
    ++f.integer_digits;
    if (*p != '0') f.nonzero = true;
  }
}

void take_fraction_digits(const uint8_t* p, const uint8_t* end, float_field& f) {
  for (; p < end; ++p) {
    f.readable += static_cast<char>(*p);
    if (f.fraction_digits++ == 0) f.fraction_first = *p;
    if (f.integer_digits == 0 && f.significant.empty() && *p == '0') {
      ++f.leading_zeros;
    } else {
      f.significant += static_cast<char>(*p);
      if (*p != '0') f.nonzero = true;
    }
  }
}

// The digits before and after the point from s[*at]; *at stops at the exponent letter or
// the end. A leading 0 must be the whole number or be followed by "."; an exponent letter
// needs a digit before it, and after a point a non-zero one. False when rejected.
bool take_mantissa(const uint8_t* s, int32_t n, int32_t* at, float_field& f) {
  int32_t i = *at;
  if (s[i] == '0') {
    if (i + 1 < n && s[i + 1] != '.') return false;
    f.readable += '0';
    ++i;
  } else {
    const int32_t run_end = static_cast<int32_t>(skip_decimal_digits(s + i, s + n) - s);
    take_integer_digits(s + i, s + run_end, f);
    i = run_end;
  }
  if (i < n && s[i] == '.') {
    f.readable += '.';
    const int32_t run_end = static_cast<int32_t>(skip_decimal_digits(s + i + 1, s + n) - s);
    take_fraction_digits(s + i + 1, s + run_end, f);
    i = run_end;
    if (i < n && (!is_exponent_letter(s[i]) || f.fraction_digits == 0 || !f.nonzero)) return false;
  } else if (i < n && (!is_exponent_letter(s[i]) || f.integer_digits == 0)) {
    return false;
  }
  *at = i;
  return true;
}

// From the exponent letter at s[i]: SINGLE refuses D; then an optional sign and digits
// without a leading zero. False when rejected.
bool take_exponent(const uint8_t* s, int32_t n, int32_t i, float_kind kind, float_field& f) {
  if (kind == float_kind::single && (s[i] == 'D' || s[i] == 'd')) return false;
  ++i;
  std::string exponent_text = "E";
  bool negative = false;
  if (i < n && is_sign(s[i])) {
    negative = s[i] == '-';
    exponent_text += static_cast<char>(s[i]);
    ++i;
  }
  if (i < n && s[i] == '0' && n - i > 1) return false;  // no leading zero in the exponent
  if (skip_decimal_digits(s + i, s + n) != s + n) return false;
  const bool has_digits = i < n;
  for (; i < n; ++i) {
    exponent_text += static_cast<char>(s[i]);
    if (f.exponent < 100000) f.exponent = f.exponent * 10 + (s[i] - '0');
  }
  if (negative) f.exponent = -f.exponent;
  // A letter or sign at the very end waits for its digits: the number so far counts.
  if (has_digits) f.readable += exponent_text;
  return true;
}

// Whether a non-zero number lies within what the destination type can hold.
bool within_limits(const float_field& f, const float_limits& limits) {
  const int32_t significant_count =
      f.integer_digits > 0 ? f.integer_digits + f.fraction_digits : f.fraction_digits - f.leading_zeros;
  const int32_t magnitude = (f.integer_digits > 0 ? f.integer_digits : -f.leading_zeros) + f.exponent;
  if (f.leading_zeros > limits.most_leading_zeros) return false;
  if (magnitude > limits.largest_magnitude) return false;
  if (magnitude == limits.largest_magnitude && compare_leading(f.significant, limits.largest_digits) > 0) return false;
  if (f.fraction_digits > 0 && significant_count > limits.most_significant) return false;
  if (magnitude < limits.smallest_magnitude) return false;
  return magnitude != limits.smallest_magnitude || compare_leading(f.significant, limits.smallest_digits) >= 0;
}

// Reads the text as the destination's own type; false for an infinity: seven digits of
// agreement with the largest value still let a few texts round past it, and storing
// infinity would pass off an overflow as a typed number.
bool read_float_text(const std::string& readable, float_kind kind, long double* value) {
  if (kind == float_kind::single) {
    float read = 0;
    if (std::sscanf(readable.c_str(), "%f", &read) != 1) read = 0;
    *value = read;
    return !std::isinf(read);
  }
  double read = 0;
  if (std::sscanf(readable.c_str(), "%lf", &read) != 1) read = 0;
  *value = read;
  return !std::isinf(read);
}

bool validate_float(const uint8_t* s, int32_t n, float_kind kind, void* destination) {
  store_float(destination, kind, 0);
  if (n == 0) return true;
  uint64_t prefix = 0;
  int32_t prefix_digits = 0, prefix_base = 0;
  if (input_prefix_value(s, n, &prefix, &prefix_digits, &prefix_base)) {
    if (kind == float_kind::single)
      store_float(destination, kind, static_cast<float>(prefix));
    else
      store_float(destination, kind, static_cast<double>(prefix));
    return true;
  }

  float_field f;
  int32_t i = 0;
  if (s[0] == '-') {
    f.readable += '-';
    i = 1;
  }
  if (i == n) return true;  // "-" alone: 0 so far
  if (!take_mantissa(s, n, &i, f)) return false;
  if (i < n && !take_exponent(s, n, i, kind, f)) return false;
  if (f.fraction_digits == 1 && f.fraction_first == '0') {
    // "5.0" counts as 5: the lone fraction zero neither adds digits nor shifts the number.
    if (f.integer_digits > 0) f.significant.pop_back();
    f.fraction_digits = 0;
    f.leading_zeros = 0;
  }
  if (f.nonzero && kind != float_kind::extended &&
      !within_limits(f, kind == float_kind::single ? single_limits : double_limits))
    return false;
  long double value = 0;
  if (!read_float_text(f.readable, kind, &value)) return false;
  store_float(destination, kind, value);
  return true;
}

}  // namespace

bool input_prefix_value(const uint8_t* text, int32_t length, uint64_t* value, int32_t* digits, int32_t* base) {
  *value = 0;
  *digits = 0;
  *base = 0;
  if (length < 1 || text[0] != '&') return false;
  if (length == 1) return true;
  *base = radix_of_letter(text[1]);
  if (*base == 0) return false;
  // Every digit typed counts toward the limit, leading zeros too, and the whole rest of
  // the field must be digits of the radix.
  const radix_run run = scan_radix_run(text + 2, text + length, *base, false);
  if (run.end != text + length || !radix_run_fits(run)) return false;
  *value = run.value;
  *digits = run.count;
  return true;
}

bool validate_field(const uint8_t* text, int32_t length, uint32_t type, void* destination) {
  if (type & input_type_string) return validate_string(text, length, static_cast<rt_string*>(destination));
  // Bit-field destinations are checked like their type but receive nothing.
  if (type & input_type_bitfield) destination = nullptr;
  int32_t bits = static_cast<int32_t>(type & 511);
  if (type & input_type_float) {
    switch (bits) {
      case 32: return validate_float(text, length, float_kind::single, destination);
      case 64: return validate_float(text, length, float_kind::dbl, destination);
      case 256: return validate_float(text, length, float_kind::extended, destination);
      default: return true;
    }
  }
  bool is_unsigned = (type & input_type_unsigned) != 0;
  switch (bits) {
    case 8:
    case 16:
    case 32:
    case 64: return validate_integer(text, length, bits, is_unsigned, destination);
    default: return true;
  }
}

void clear_destination(uint32_t type, void* destination) {
  if (!destination) return;
  if (type & input_type_string) {
    // A fixed-length destination pads the empty text with spaces.
    string_assign(static_cast<rt_string*>(destination), string_from_text_len("", 0));
    return;
  }
  if (type & input_type_bitfield) return;
  if (type & input_type_float) {
    int32_t bits = static_cast<int32_t>(type & 511);
    // The storage of each kind, not the type word's byte count: a _FLOAT variable is a
    // long double, narrower than the 32 bytes its size bits name.
    if (bits == 32) store_float(destination, float_kind::single, 0);
    if (bits == 64) store_float(destination, float_kind::dbl, 0);
    if (bits == 256) store_float(destination, float_kind::extended, 0);
    return;
  }
  size_t bytes = (type >> 3) & 63;
  std::memset(destination, 0, bytes);
}
