// VAL fuzz target: any bytes as the argument; the text is read in place and must stay untouched.
#include <cmath>
#include <cstring>
#include <vector>

#include "fuzz/fuzz_targets.h"
#include "runtime/ground/errors.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"

void fuzz_val(const uint8_t* data, size_t size) {
  if (size > 1 << 20) return;
  // Storage of exactly the input's length, so a read past the end trips the sanitizer.
  std::vector<uint8_t> bytes(data, data + size);
  rt_string text{};
  text.chars = bytes.data();
  text.len = static_cast<int32_t>(size);
  text.readonly = 1;
  pending_error = 0;
  long double value = string_val(&text);
  FUZZ_CHECK(pending_error == 0 || pending_error == 6);  // only a radix form too long overflows
  pending_error = 0;
  FUZZ_CHECK(text.len == static_cast<int32_t>(size) && (size == 0 || std::memcmp(bytes.data(), data, size) == 0));
  // A number may be infinite (a huge exponent) but never NaN: no digits make NaN.
  FUZZ_CHECK(!std::isnan(value));
}
