// INPUT field fuzz target: one field's text checked against a destination type, stored when valid.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_targets.h"
#include "runtime/console/input.h"
#include "runtime/ground/errors.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/strings.h"

namespace {

// Destination type words: string, fixed-length string, integers of 8 to 64 bits signed and
// unsigned, SINGLE, DOUBLE, _FLOAT, and bit fields of the integer sizes.
constexpr uint32_t field_types[] = {
    input_type_string, input_type_string,
    8, input_type_unsigned | 8, 16, input_type_unsigned | 16, 32, input_type_unsigned | 32,
    64, input_type_unsigned | 64,
    input_type_float | 32, input_type_float | 64, input_type_float | 256,
    input_type_bitfield | 8, input_type_bitfield | input_type_unsigned | 16, input_type_bitfield | 64,
};
constexpr int type_count = sizeof field_types / sizeof field_types[0];

rt_string* string_variable() {
  static rt_string* variable = string_new(0, false);
  return variable;
}

rt_string* fixed_variable() {
  static uint8_t storage[12];
  static rt_string* variable = string_new_fixed(storage, sizeof storage, false);
  return variable;
}

}  // namespace

void fuzz_input_fields(const uint8_t* data, size_t size) {
  fuzz_bytes in{data, size};
  int kind = in.next() % type_count;
  uint32_t type = field_types[kind];
  size_t length = in.done() ? 0 : size - in.at;
  if (length > 4096) return;
  // The field in storage of exactly its length, outside the string heap.
  std::unique_ptr<uint8_t[]> text(new uint8_t[length ? length : 1]);
  if (length) std::memcpy(text.get(), data + in.at, length);

  pending_error = 0;
  uint32_t mark = temp_count;
  alignas(16) uint8_t storage[32];
  std::memset(storage, 0xA5, sizeof storage);
  void* destination = storage;
  if (kind == 0) destination = string_variable();
  if (kind == 1) destination = fixed_variable();

  bool valid = validate_field(text.get(), static_cast<int32_t>(length), type, destination);
  if (kind == 0 && valid) {
    rt_string* stored = string_variable();
    FUZZ_CHECK(stored->len == static_cast<int32_t>(length));
    FUZZ_CHECK(length == 0 || std::memcmp(stored->chars, text.get(), length) == 0);
  }
  if (kind == 1) FUZZ_CHECK(fixed_variable()->len == 12);
  if (type & input_type_bitfield) FUZZ_CHECK(storage[0] == 0xA5);  // bit fields receive nothing
  // Integer destinations never get more bytes than their size.
  if (!(type & (input_type_string | input_type_float | input_type_bitfield))) {
    size_t bytes = (type & 511) / 8;
    for (size_t i = bytes; i < sizeof storage; ++i) FUZZ_CHECK(storage[i] == 0xA5);
  }
  uint64_t value = 0;
  int32_t digits = 0, base = -1;
  if (input_prefix_value(text.get(), static_cast<int32_t>(length), &value, &digits, &base)) {
    FUZZ_CHECK(base == 0 || base == 2 || base == 8 || base == 16);
    FUZZ_CHECK(digits >= 0 && digits <= 64);
  }
  clear_destination(type, destination);
  FUZZ_CHECK(pending_error == 0);
  string_release_temporaries(mark, 0);
  FUZZ_CHECK(string_heap_check());
}
