// Binary packing (keeps the conversions between numbers and their byte images in strings).
//
// The machine is little-endian, so the native layout of each type is its string image.
// Microsoft Binary Format: the last byte is the exponent (0 = zero, else value =
// 1.mantissa * 2^(exponent - 129)); the byte before it holds the sign in bit 7 and
// the top mantissa bits below it. Singles carry 23 mantissa bits, doubles 55.
#include "runtime/values/string_binary.h"

#include <cmath>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/strings.h"

namespace {

// May compact the heap: earlier `chars` pointers die.
rt_string* pack(const void* bytes, int32_t size) {
  rt_string* r = string_new(size, true);
  std::memcpy(r->chars, bytes, static_cast<size_t>(size));
  return r;
}

template <typename T>
rt_string* pack_value(T value) {
  return pack(&value, static_cast<int32_t>(sizeof value));
}

// Reads a T from the first bytes of s, or raises error 5 and gives 0.
template <typename T>
T unpack_value(const rt_string* s) {
  T value{};
  if (s->len < static_cast<int32_t>(sizeof value)) {
    raise_error(error_illegal_function_call);
    return T{};
  }
  std::memcpy(&value, s->chars, sizeof value);
  return value;
}

bool valid_bits(int32_t bits) {
  if (bits >= 1 && bits <= 64) return true;
  raise_error(error_illegal_function_call);
  return false;
}

uint64_t bit_mask(int32_t bits) { return bits == 64 ? ~uint64_t{0} : (uint64_t{1} << bits) - 1; }

// Splits a finite non-zero value into sign, MBF exponent and a significand with
// `digits` bits (top bit set). False when the MBF exponent leaves 1..255.
bool mbf_parts(double value, int digits, bool* negative, uint32_t* exponent, uint64_t* significand) {
  int binary_exponent = 0;
  double fraction = std::frexp(std::fabs(value), &binary_exponent);  // 0.5 <= fraction < 1
  int mbf_exponent = binary_exponent + 128;
  if (mbf_exponent < 1 || mbf_exponent > 255) return false;
  *negative = std::signbit(value);
  *exponent = static_cast<uint32_t>(mbf_exponent);
  *significand = static_cast<uint64_t>(std::ldexp(fraction, digits));  // exact: at most 53 bits set
  return true;
}

}  // namespace

rt_string* string_mk_int8(int8_t value) { return pack_value(value); }
rt_string* string_mk_uint8(uint8_t value) { return pack_value(value); }
rt_string* string_mk_int16(int16_t value) { return pack_value(value); }
rt_string* string_mk_uint16(uint16_t value) { return pack_value(value); }
rt_string* string_mk_int32(int32_t value) { return pack_value(value); }
rt_string* string_mk_uint32(uint32_t value) { return pack_value(value); }
rt_string* string_mk_int64(int64_t value) { return pack_value(value); }
rt_string* string_mk_uint64(uint64_t value) { return pack_value(value); }
rt_string* string_mk_offset(intptr_t value) { return pack_value(value); }
rt_string* string_mk_single(float value) { return pack_value(value); }
rt_string* string_mk_double(double value) { return pack_value(value); }

rt_string* string_mk_float(long double value) {
  uint8_t bytes[32] = {};
  std::memcpy(bytes, &value, 10);  // the 80-bit value; the rest of its storage is padding
  return pack(bytes, 32);
}

rt_string* string_mk_bits(uint64_t value, int32_t bits) {
  if (!valid_bits(bits)) return string_new(0, true);
  value &= bit_mask(bits);
  uint8_t bytes[8];
  std::memcpy(bytes, &value, sizeof bytes);
  return pack(bytes, (bits + 7) / 8);
}

int8_t string_cv_int8(const rt_string* s) { return unpack_value<int8_t>(s); }
uint8_t string_cv_uint8(const rt_string* s) { return unpack_value<uint8_t>(s); }
int16_t string_cv_int16(const rt_string* s) { return unpack_value<int16_t>(s); }
uint16_t string_cv_uint16(const rt_string* s) { return unpack_value<uint16_t>(s); }
int32_t string_cv_int32(const rt_string* s) { return unpack_value<int32_t>(s); }
uint32_t string_cv_uint32(const rt_string* s) { return unpack_value<uint32_t>(s); }
int64_t string_cv_int64(const rt_string* s) { return unpack_value<int64_t>(s); }
uint64_t string_cv_uint64(const rt_string* s) { return unpack_value<uint64_t>(s); }
intptr_t string_cv_offset(const rt_string* s) { return unpack_value<intptr_t>(s); }
float string_cv_single(const rt_string* s) { return unpack_value<float>(s); }
double string_cv_double(const rt_string* s) { return unpack_value<double>(s); }

long double string_cv_float(const rt_string* s) {
  if (s->len < 32) {
    raise_error(error_illegal_function_call);
    return 0;
  }
  long double value = 0;
  std::memcpy(&value, s->chars, 10);
  return value;
}

uint64_t string_cv_bits(const rt_string* s, int32_t bits) {
  if (!valid_bits(bits)) return 0;
  int32_t size = (bits + 7) / 8;
  if (s->len < size) {
    raise_error(error_illegal_function_call);
    return 0;
  }
  uint8_t bytes[8] = {};
  std::memcpy(bytes, s->chars, static_cast<size_t>(size));
  uint64_t value;
  std::memcpy(&value, bytes, sizeof value);
  return value & bit_mask(bits);
}

int64_t string_cv_sbits(const rt_string* s, int32_t bits) {
  uint64_t value = string_cv_bits(s, bits);
  if (bits >= 1 && bits < 64 && (value >> (bits - 1)) & 1) value |= ~bit_mask(bits);
  return static_cast<int64_t>(value);
}

namespace {

// The value in the old Microsoft binary format of `size` bytes (4 or 8), low byte first:
// the exponent in the top byte, then the sign bit, then the significand without its
// leading 1.
rt_string* mbf_string(double value, int32_t size) {
  uint8_t bytes[8] = {};
  if (value != 0) {
    int digits = size * 8 - 8;
    bool negative = false;
    uint32_t exponent = 0;
    uint64_t significand = 0;
    if (!std::isfinite(value) || !mbf_parts(value, digits, &negative, &exponent, &significand)) {
      raise_error(error_illegal_function_call);
      return string_new(0, true);
    }
    uint64_t sign_bit = uint64_t{1} << (digits - 1);
    uint64_t word = (uint64_t{exponent} << digits) | (negative ? sign_bit : 0) | (significand & (sign_bit - 1));
    std::memcpy(bytes, &word, static_cast<size_t>(size));
  }
  return pack(bytes, size);
}

}  // namespace

rt_string* string_mksmbf(float value) { return mbf_string(value, 4); }

rt_string* string_mkdmbf(double value) { return mbf_string(value, 8); }

float string_cvsmbf(const rt_string* s) {
  uint32_t word = unpack_value<uint32_t>(s);
  uint32_t exponent = word >> 24;
  if (exponent == 0) return 0.0f;
  double magnitude = std::ldexp(static_cast<double>((word & 0x7FFFFF) | 0x800000), static_cast<int>(exponent) - 129 - 23);
  return static_cast<float>((word & 0x800000) ? -magnitude : magnitude);
}

double string_cvdmbf(const rt_string* s) {
  uint64_t word = unpack_value<uint64_t>(s);
  uint32_t exponent = static_cast<uint32_t>(word >> 56);
  if (exponent == 0) return 0.0;
  uint64_t significand = (word & ((uint64_t{1} << 55) - 1)) | (uint64_t{1} << 55);
  // 56 significant bits round once to the double's 53; the scaling is exact.
  double magnitude = std::ldexp(static_cast<double>(significand), static_cast<int>(exponent) - 129 - 55);
  return (word >> 55) & 1 ? -magnitude : magnitude;
}
