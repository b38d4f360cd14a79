// INPUT field rules (keeps what each destination type accepts and how the field is stored).
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/console/input.h"
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

bool is_digit(uint8_t c) { return c >= '0' && c <= '9'; }
bool is_exponent_letter(uint8_t c) { return c == 'D' || c == 'd' || c == 'E' || c == 'e'; }

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

// 8, 16 and 32 bits.
bool validate_small_integer(const uint8_t* s, int32_t n, int32_t bits, bool is_unsigned, void* destination) {
  int32_t bytes = bits / 8;
  if (n == 0) {
    if (destination) store_low_bytes(destination, 0, bytes);
    return true;
  }
  uint64_t largest = (uint64_t{1} << bits) - 1;
  uint64_t value = 0;
  int32_t digits = 0, base = 0;
  if (input_prefix_value(s, n, &value, &digits, &base)) {
    if (value > largest) return false;
    if (base != 0 && digits > digits_of_largest(bits, base)) return false;
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
  value = 0;
  for (; i < n; ++i) {
    if (!is_digit(s[i])) return false;
    value = value * 10 + static_cast<uint64_t>(s[i] - '0');
    if (value > limit) return false;
  }
  if (negative) value = ~value + 1;
  if (destination) store_low_bytes(destination, value, bytes);
  return true;
}

bool validate_integer64(const uint8_t* s, int32_t n, bool is_unsigned, void* destination) {
  if (n == 0) {
    if (destination) store_low_bytes(destination, 0, 8);
    return true;
  }
  uint64_t value = 0;
  int32_t digits = 0, base = 0;
  if (input_prefix_value(s, n, &value, &digits, &base)) {
    if (destination) store_low_bytes(destination, value, 8);
    return true;
  }
  int32_t i = 0;
  bool negative = false;
  if (!is_unsigned && s[0] == '-') {
    negative = true;
    i = 1;
  }
  if (i < n && s[i] == '0' && n - i > 1) return false;
  for (int32_t k = i; k < n; ++k)
    if (!is_digit(s[k])) return false;
  std::string number(reinterpret_cast<const char*>(s + i), static_cast<size_t>(n - i));
  const char* largest = is_unsigned ? "18446744073709551615"
                                    : (negative ? "9223372036854775808" : "9223372036854775807");
  size_t most = std::strlen(largest);
  if (number.size() > most) return false;
  if (number.size() == most && number.compare(largest) > 0) return false;
  std::string whole(reinterpret_cast<const char*>(s), static_cast<size_t>(n));
  if (is_unsigned) {
    unsigned long long read = 0;
    if (std::sscanf(whole.c_str(), "%llu", &read) != 1) read = 0;
    value = read;
  } else {
    long long read = 0;
    if (std::sscanf(whole.c_str(), "%lli", &read) != 1) read = 0;
    value = static_cast<uint64_t>(read);
  }
  if (destination) store_low_bytes(destination, value, 8);
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

  std::string readable;       // the text handed to the conversion (D made E, loose ends cut)
  std::string significant;    // significant digits from the first one on
  int32_t integer_digits = 0;  // digits before "." (a lone 0 does not count)
  int32_t fraction_digits = 0;
  int32_t leading_zeros = 0;   // zeros after "." before the first significant digit
  int32_t exponent = 0;
  bool nonzero = false;
  int32_t i = 0;

  if (s[0] == '-') {
    readable += '-';
    i = 1;
  }
  if (i == n) return true;  // "-" alone: 0 so far
  if (s[i] == '0') {
    if (i + 1 < n && s[i + 1] != '.') return false;  // 0 is the whole number or 0.
    readable += '0';
    ++i;
  } else {
    for (; i < n && is_digit(s[i]); ++i) {
      readable += static_cast<char>(s[i]);
      significant += static_cast<char>(s[i]);
      ++integer_digits;
      if (s[i] != '0') nonzero = true;
    }
  }
  int32_t exponent_at = -1;
  uint8_t fraction_first = 0;  // the first fraction digit
  if (i < n && s[i] == '.') {
    readable += '.';
    ++i;
    for (; i < n && is_digit(s[i]); ++i) {
      readable += static_cast<char>(s[i]);
      if (fraction_digits++ == 0) fraction_first = s[i];
      if (integer_digits == 0 && significant.empty() && s[i] == '0') {
        ++leading_zeros;
      } else {
        significant += static_cast<char>(s[i]);
        if (s[i] != '0') nonzero = true;
      }
    }
    if (i < n) {
      if (!is_exponent_letter(s[i])) return false;
      if (fraction_digits == 0 || !nonzero) return false;
      exponent_at = i;
    }
  } else if (i < n) {
    if (!is_exponent_letter(s[i]) || integer_digits == 0) return false;
    exponent_at = i;
  }

  if (exponent_at >= 0) {
    i = exponent_at;
    if (kind == float_kind::single && (s[i] == 'D' || s[i] == 'd')) return false;
    ++i;
    std::string exponent_text = "E";
    bool negative_exponent = false;
    if (i < n && (s[i] == '-' || s[i] == '+')) {
      negative_exponent = s[i] == '-';
      exponent_text += static_cast<char>(s[i]);
      ++i;
    }
    if (i < n && s[i] == '0' && n - i > 1) return false;  // no leading zero in the exponent
    int32_t exponent_digits = 0;
    for (; i < n; ++i) {
      if (!is_digit(s[i])) return false;
      exponent_text += static_cast<char>(s[i]);
      ++exponent_digits;
      if (exponent < 100000) exponent = exponent * 10 + (s[i] - '0');
    }
    if (negative_exponent) exponent = -exponent;
    // A letter or sign at the very end waits for its digits: the number so far counts.
    if (exponent_digits > 0) readable += exponent_text;
  }

  if (fraction_digits == 1 && fraction_first == '0') {
    // "5.0" counts as 5: the lone fraction zero neither adds digits nor shifts the number.
    if (integer_digits > 0) significant.pop_back();
    fraction_digits = 0;
    leading_zeros = 0;
  }

  if (nonzero && kind != float_kind::extended) {
    const float_limits& limits = kind == float_kind::single ? single_limits : double_limits;
    int32_t significant_count = integer_digits > 0 ? integer_digits + fraction_digits : fraction_digits - leading_zeros;
    int32_t magnitude = (integer_digits > 0 ? integer_digits : -leading_zeros) + exponent;
    if (leading_zeros > limits.most_leading_zeros) return false;
    if (magnitude > limits.largest_magnitude) return false;
    if (magnitude == limits.largest_magnitude && compare_leading(significant, limits.largest_digits) > 0) return false;
    if (fraction_digits > 0 && significant_count > limits.most_significant) return false;
    if (magnitude < limits.smallest_magnitude) return false;
    if (magnitude == limits.smallest_magnitude && compare_leading(significant, limits.smallest_digits) < 0)
      return false;
  }

  long double value = 0;
  if (kind == float_kind::single) {
    float read = 0;
    if (std::sscanf(readable.c_str(), "%f", &read) != 1) read = 0;
    // Seven digits of agreement with the largest value still let a few texts round
    // past it; storing infinity would pass off an overflow as a typed number.
    if (std::isinf(read)) return false;
    value = read;
  } else {
    double read = 0;
    if (std::sscanf(readable.c_str(), "%lf", &read) != 1) read = 0;
    if (std::isinf(read)) return false;
    value = read;
  }
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
  int32_t most = 0;
  switch (text[1]) {
    case 'H': case 'h': *base = 16; most = 16; break;
    case 'O': case 'o': *base = 8; most = 22; break;
    case 'B': case 'b': *base = 2; most = 64; break;
    default: *base = 0; return false;
  }
  int32_t count = length - 2;
  if (count > most) return false;
  if (*base == 8 && count == 22 && text[2] != '0' && text[2] != '1') return false;
  uint64_t total = 0;
  for (int32_t i = 2; i < length; ++i) {
    uint8_t c = text[i];
    int32_t digit;
    if (c >= '0' && c <= '9')
      digit = c - '0';
    else if (c >= 'A' && c <= 'F')
      digit = c - 'A' + 10;
    else if (c >= 'a' && c <= 'f')
      digit = c - 'a' + 10;
    else
      digit = 99;
    if (digit >= *base) return false;
    total = total * static_cast<uint64_t>(*base) + static_cast<uint64_t>(digit);
  }
  *value = total;
  *digits = count;
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
    case 32: return validate_small_integer(text, length, bits, is_unsigned, destination);
    case 64: return validate_integer64(text, length, is_unsigned, destination);
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
