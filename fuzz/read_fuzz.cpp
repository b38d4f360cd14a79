// READ fuzz target: a list of type words, then DATA text read item by item with those types.
#include <cstring>
#include <memory>

#include "fuzz/fuzz_targets.h"
#include "runtime/ground/errors.h"
#include "runtime/values/data_reader.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/strings.h"

namespace {

// The type words of READ's numeric destinations: integers of 8 to 64 bits, signed and
// unsigned, SINGLE, DOUBLE and _FLOAT; then the string, DOUBLE and 64-bit entry points.
constexpr uint32_t numeric_types[] = {
    8, type_unsigned | 8, 16, type_unsigned | 16, 32, type_unsigned | 32, 64, type_unsigned | 64,
    type_single, type_double, type_float | 256, type_float | 64, 0, 1, 63, type_unsigned | 1,
};
constexpr int numeric_count = sizeof numeric_types / sizeof numeric_types[0];
enum special_read { read_text = numeric_count, read_as_double, read_as_int64, read_as_uint64, special_end };

}  // namespace

void fuzz_read(const uint8_t* data, size_t size) {
  fuzz_bytes in{data, size};
  int type_count = 1 + in.next() % 8;
  uint8_t kinds[8];
  for (int i = 0; i < type_count; ++i) kinds[i] = static_cast<uint8_t>(in.next() % special_end);
  size_t length = in.done() ? 0 : size - in.at;
  // DATA text in storage of exactly its length, so a read past the end trips the sanitizer.
  std::unique_ptr<char[]> block(new char[length ? length : 1]);
  if (length) std::memcpy(block.get(), data + in.at, length);

  pending_error = 0;
  uint32_t mark = temp_count;
  rt_string* target = string_new(0, false);
  int64_t position = 0;
  for (size_t item = 0; item <= length + 1; ++item) {
    int kind = kinds[item % type_count];
    int64_t before = position;
    double into = 1.5;
    switch (kind) {
      case read_text: read_string(block.get(), &position, static_cast<int64_t>(length), target); break;
      case read_as_double: read_double(block.get(), &position, static_cast<int64_t>(length), &into); break;
      case read_as_int64: read_int64(block.get(), &position, static_cast<int64_t>(length)); break;
      case read_as_uint64: read_uint64(block.get(), &position, static_cast<int64_t>(length)); break;
      default: read_numeric(block.get(), &position, static_cast<int64_t>(length), numeric_types[kind]); break;
    }
    FUZZ_CHECK(position >= before && position <= static_cast<int64_t>(length));
    if (pending_error) {
      // A failed READ leaves its variable alone and does not move on.
      FUZZ_CHECK(into == 1.5 && position == before);
      if (pending_error == 4) break;  // out of DATA
      pending_error = 0;
      // Skip the bad item the way a program with an error handler would go on.
      while (position < static_cast<int64_t>(length) && block[position] != ',') ++position;
      if (position < static_cast<int64_t>(length)) ++position;
      continue;
    }
    FUZZ_CHECK(position > before);  // a successful READ consumes its item
  }
  pending_error = 0;
  string_release_temporaries(mark, 0);
  string_free(target);
  FUZZ_CHECK(temp_count == mark);
  FUZZ_CHECK(string_heap_check());
}
