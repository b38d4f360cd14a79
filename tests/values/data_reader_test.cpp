// Tests of READ over DATA text: number items of every type, strings, errors 2, 4, 6 and RESTORE.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <memory>
#include <string>

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/data_reader.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"

namespace {

// Type words of the integer types (size in the low bits, 0x10000000 for unsigned).
constexpr uint32_t type_int8 = 8;
constexpr uint32_t type_uint8 = type_unsigned | 8;
constexpr uint32_t type_int16 = 16;
constexpr uint32_t type_uint16 = type_unsigned | 16;
constexpr uint32_t type_int32 = 32;
constexpr uint32_t type_uint32 = type_unsigned | 32;

// A block copied into storage of exactly its length, so reading past it trips the sanitizer.
struct exact_block {
  explicit exact_block(const std::string& text)
      : bytes(new char[text.size() ? text.size() : 1]), length(static_cast<int64_t>(text.size())) {
    std::memcpy(bytes.get(), text.data(), text.size());
  }
  std::unique_ptr<char[]> bytes;
  int64_t length;
};

class DataReader : public strings_test {
 protected:
  static void clear_error() {
    pending_error = 0;
    event_pending = 0;
  }
};

struct numeric_case {
  const char* block;
  uint32_t type;
  long double value;
  uint32_t error;
  int64_t position_after;  // -1: the whole block
};

TEST_F(DataReader, NumericItems) {
  const numeric_case cases[] = {
      // Decimal numbers as DOUBLE.
      {"1,", type_double, 1, 0, 2},
      {"-1.5E+2,", type_double, -150, 0, -1},
      {"1.5D-3", type_double, 1.5e-3, 0, -1},
      {"+5,", type_double, 5, 0, -1},
      {".25,", type_double, 0.25, 0, -1},
      {"007,", type_double, 7, 0, -1},
      {"0.000,", type_double, 0, 0, -1},
      {",", type_double, 0, 0, 1},  // an empty item is 0
      {"-,", type_double, 0, 0, -1},
      {"1e0005,", type_double, 1e5, 0, -1},
      {"1E-0,", type_double, 1, 0, -1},
      {"12#,", type_double, 12, 0, -1},
      {"12!#,", type_double, 12, 0, -1},
      {"3~%,", type_double, 3, 0, -1},
      {"1,2,", type_double, 1, 0, 2},
      {"1.7976931348623157E308,", type_double, DBL_MAX, 0, -1},
      {"17976931348623157E292,", type_double, DBL_MAX, 0, -1},
      {"1E-400,", type_double, 0, 0, -1},
      {"4.9406564584124654E-324,", type_double, 4.9406564584124654E-324, 0, -1},
      // Only 17 significant digits count: the rest is dropped, not rounded.
      {"0.123456789012345678999,", type_double, 0.12345678901234567, 0, -1},
      {"9.9999999999999999999,", type_double, 9.9999999999999999, 0, -1},
      // Radix literals.
      {"&HFF,", type_double, 255, 0, -1},
      {"&hff,", type_double, 255, 0, -1},
      {"&O17,", type_double, 15, 0, -1},
      {"&B101,", type_double, 5, 0, -1},
      {"&H,", type_double, 0, 0, -1},
      {"&HFF&,", type_double, 255, 0, -1},
      // Syntax errors put the position back at the item.
      {"&,", type_double, 0, 2, 0},
      {"&X1,", type_double, 0, 2, 0},
      {"&HG,", type_double, 0, 2, 0},
      {"12a,", type_double, 0, 2, 0},
      {"12#3,", type_double, 0, 2, 0},
      {"1.2.3,", type_double, 0, 2, 0},
      {"1E5E3,", type_double, 0, 2, 0},
      {"--1,", type_double, 0, 2, 0},
      {"1-,", type_double, 0, 2, 0},
      {"1 ,", type_double, 0, 2, 0},
      {"\"1\",", type_double, 0, 2, 0},
      {"&", type_double, 0, 2, 0},
      // Overflow.
      {"1E309,", type_double, 0, 6, 0},
      {"1.7976931348623158E308,", type_double, 0, 6, 0},
      {"2E308,", type_double, 0, 6, 0},
      {"1E1000000000000000000,", type_double, 0, 6, 0},  // 19 exponent digits
      {"1E-100000000000000000,", type_double, 0, 0, -1},  // 18 are fine
      {"&H10000000000000000,", type_double, 0, 6, 0},
      // SINGLE.
      {"3.4E38,", type_single, 3.4e38, 0, -1},
      {"3.5E38,", type_single, 0, 6, 0},
      {"-3.5E38,", type_single, 0, 6, 0},
      // The limit itself is not past the limit, in either sign; one digit more is.
      {"3.402823466E38,", type_single, static_cast<long double>(3.402823466e38), 0, -1},
      {"-3.402823466E+38,", type_single, static_cast<long double>(-3.402823466e38), 0, -1},
      {"3.402823467E38,", type_single, 0, 6, 0},
      // Integers up to 32 bits: rounding ties to even, ranges, radix patterns.
      {"2.5,", type_int16, 2, 0, -1},
      {"3.5,", type_int16, 4, 0, -1},
      {"-0.5,", type_int16, 0, 0, -1},
      {"32767,", type_int16, 32767, 0, -1},
      {"32768,", type_int16, 0, 6, 0},
      {"-32768,", type_int16, -32768, 0, -1},
      {"-32769,", type_int16, 0, 6, 0},
      {"&HFFFF,", type_int16, -1, 0, -1},
      {"&H8000,", type_int16, -32768, 0, -1},
      {"&H10000,", type_int16, 0, 6, 0},
      {"65535,", type_uint16, 65535, 0, -1},
      {"-1,", type_uint16, 0, 6, 0},
      {"&HFFFF,", type_uint16, 65535, 0, -1},
      {"127,", type_int8, 127, 0, -1},
      {"128,", type_int8, 0, 6, 0},
      {"&H80,", type_int8, -128, 0, -1},
      {"255,", type_uint8, 255, 0, -1},
      {"256,", type_uint8, 0, 6, 0},
      {"2147483647,", type_int32, 2147483647, 0, -1},
      {"2147483648,", type_int32, 0, 6, 0},
      {"-2147483648,", type_int32, -2147483648.0L, 0, -1},
      {"&HFFFFFFFF,", type_int32, -1, 0, -1},
      {"4294967295,", type_uint32, 4294967295.0L, 0, -1},
      {"4294967296,", type_uint32, 0, 6, 0},
      {"1E19,", type_int32, 0, 6, 0},
      // 64-bit integer types through read_numeric use the exact conversion.
      {"9223372036854775807,", 0x40, 9223372036854775807.0L, 0, -1},
      {"&HFFFFFFFFFFFFFFFF,", 0x40, -1, 0, -1},
      {"&HFFFFFFFFFFFFFFFF,", type_unsigned | 0x40, 18446744073709551615.0L, 0, -1},
  };
  for (const numeric_case& c : cases) {
    clear_error();
    exact_block block(c.block);
    int64_t position = 0;
    const long double value = read_numeric(block.bytes.get(), &position, block.length, c.type);
    const int64_t expected_position = c.position_after < 0 ? block.length : c.position_after;
    EXPECT_EQ(value, c.value) << c.block;
    EXPECT_EQ(pending_error, c.error) << c.block;
    EXPECT_EQ(position, expected_position) << c.block;
  }
}

TEST_F(DataReader, SignificantDigitLimit) {
  const std::string ones(256, '1');
  exact_block fits(ones + ",");
  int64_t position = 0;
  const long double value = read_numeric(fits.bytes.get(), &position, fits.length, type_double);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(static_cast<double>(value), 1.1111111111111111e255);
  // Leading zeros are not significant.
  exact_block zeros(std::string(300, '0') + ones + ",");
  position = 0;
  (void)read_numeric(zeros.bytes.get(), &position, zeros.length, type_double);
  EXPECT_EQ(pending_error, 0u);
  exact_block too_many(ones + "1,");
  position = 0;
  (void)read_numeric(too_many.bytes.get(), &position, too_many.length, type_double);
  EXPECT_EQ(pending_error, 6u);
  EXPECT_EQ(position, 0);
}

struct int64_case {
  const char* block;
  bool is_unsigned;
  uint64_t bits;
  uint32_t error;
};

TEST_F(DataReader, SixtyFourBitReads) {
  const int64_case cases[] = {
      {"9223372036854775807,", false, 9223372036854775807ULL, 0},
      {"9223372036854775808,", false, 0, 6},
      {"-9223372036854775808,", false, 0x8000000000000000ULL, 0},
      {"-9223372036854775809,", false, 0, 6},
      {"&HFFFFFFFFFFFFFFFF,", false, UINT64_MAX, 0},
      {"2.5,", false, 2, 0},
      {"3.5,", false, 4, 0},
      {"-2.5,", false, static_cast<uint64_t>(-2), 0},
      {"0.5,", false, 0, 0},
      {"0.51,", false, 1, 0},
      {"0.05,", false, 0, 0},
      {"2.5000000001,", false, 3, 0},
      {"1E18,", false, 1000000000000000000ULL, 0},
      {"1.5E1,", false, 15, 0},
      {"-0.4,", false, 0, 0},
      {"9223372036854775806.5,", false, 9223372036854775806ULL, 0},
      {"9223372036854775807.5,", false, 0, 6},  // rounds up past the range
      {"18446744073709551615,", true, UINT64_MAX, 0},
      {"18446744073709551616,", true, 0, 6},
      {"1E20,", true, 0, 6},
      {"-1,", true, 0, 6},
      {"-0.2,", true, 0, 0},
      {"&HFFFFFFFFFFFFFFFF,", true, UINT64_MAX, 0},
      {"&H10000000000000000,", true, 0, 6},
      {"&H00000000000000001,", true, 0, 6},  // leading zeros count as digits here
      {"&O1777777777777777777777,", true, UINT64_MAX, 0},
      {"&O2000000000000000000000,", true, 0, 6},
      {"&O777777777777777777777,", true, 0x7FFFFFFFFFFFFFFFULL, 0},
      {"12x,", true, 0, 2},
      {"", true, 0, 4},
  };
  for (const int64_case& c : cases) {
    clear_error();
    exact_block block(c.block);
    int64_t position = 0;
    const uint64_t bits = c.is_unsigned
                              ? read_uint64(block.bytes.get(), &position, block.length)
                              : static_cast<uint64_t>(read_int64(block.bytes.get(), &position, block.length));
    EXPECT_EQ(bits, c.bits) << c.block;
    EXPECT_EQ(pending_error, c.error) << c.block;
    EXPECT_EQ(position, c.error ? 0 : block.length) << c.block;
  }
  clear_error();
  std::string binary = "&B" + std::string(64, '1') + ",";
  exact_block ones(binary);
  int64_t position = 0;
  EXPECT_EQ(read_uint64(ones.bytes.get(), &position, ones.length), UINT64_MAX);
  exact_block too_long("&B1" + std::string(64, '0') + ",");
  position = 0;
  EXPECT_EQ(read_uint64(too_long.bytes.get(), &position, too_long.length), 0u);
  EXPECT_EQ(pending_error, 6u);
}

TEST_F(DataReader, OutOfDataLeavesTheTargetAlone) {
  exact_block block("1.5,2.5,");
  int64_t position = 0;
  double target = 0;
  read_double(block.bytes.get(), &position, block.length, &target);
  EXPECT_EQ(target, 1.5);
  read_double(block.bytes.get(), &position, block.length, &target);
  EXPECT_EQ(target, 2.5);
  EXPECT_EQ(position, block.length);
  read_double(block.bytes.get(), &position, block.length, &target);
  EXPECT_EQ(pending_error, 4u);
  EXPECT_EQ(event_pending.load(), 1);
  EXPECT_EQ(target, 2.5);
  EXPECT_EQ(position, block.length);
  // While an error is pending nothing is read.
  position = 0;
  read_double(block.bytes.get(), &position, block.length, &target);
  EXPECT_EQ(position, 0);
  EXPECT_EQ(target, 2.5);
  EXPECT_EQ(read_numeric(block.bytes.get(), &position, block.length, type_double), 0);
  EXPECT_EQ(position, 0);
}

TEST_F(DataReader, BadItemIsReportedAgainAfterTheError) {
  exact_block block("1,x,3,");
  int64_t position = 0;
  double target = -1;
  read_double(block.bytes.get(), &position, block.length, &target);
  EXPECT_EQ(target, 1);
  read_double(block.bytes.get(), &position, block.length, &target);
  EXPECT_EQ(pending_error, 2u);
  EXPECT_EQ(position, 2);
  EXPECT_EQ(target, 1);
  clear_error();
  read_double(block.bytes.get(), &position, block.length, &target);
  EXPECT_EQ(pending_error, 2u);  // the same item again
}

TEST_F(DataReader, ScansNeverPassTheBlockEnd) {
  // Each text ends exactly where the block ends; the sanitizer catches any read beyond.
  const char* texts[] = {"12", "&", "&H", "&HF", "1E", "1E-", "-", ".", "1#", "\"abc", "\"", "abc", "1.5D+"};
  for (const char* text : texts) {
    clear_error();
    exact_block block(text);
    int64_t position = 0;
    (void)read_numeric(block.bytes.get(), &position, block.length, type_double);
    EXPECT_LE(position, block.length);
    clear_error();
    position = 0;
    rt_string* target = string_new(0, false);
    read_string(block.bytes.get(), &position, block.length, target);
    EXPECT_LE(position, block.length);
    string_free(target);
  }
  // A position outside the block is out of DATA.
  clear_error();
  exact_block block("1,");
  int64_t position = 5;
  EXPECT_EQ(read_numeric(block.bytes.get(), &position, block.length, type_double), 0);
  EXPECT_EQ(pending_error, 4u);
  clear_error();
  position = -3;
  EXPECT_EQ(read_numeric(block.bytes.get(), &position, block.length, type_double), 0);
  EXPECT_EQ(pending_error, 4u);
}

TEST_F(DataReader, StringItems) {
  exact_block block("abc,\"a,b\",,x\"y,\"q\"r,\"open");
  rt_string* target = string_new(0, false);
  int64_t position = 0;
  read_string(block.bytes.get(), &position, block.length, target);
  EXPECT_EQ(text_of(target), "abc");
  read_string(block.bytes.get(), &position, block.length, target);
  EXPECT_EQ(text_of(target), "a,b");
  read_string(block.bytes.get(), &position, block.length, target);
  EXPECT_EQ(text_of(target), "");
  read_string(block.bytes.get(), &position, block.length, target);
  EXPECT_EQ(text_of(target), "x\"y");  // a quote inside is an ordinary character
  EXPECT_EQ(pending_error, 0u);
  const int64_t bad_item = position;
  read_string(block.bytes.get(), &position, block.length, target);  // "q"r: text after the quote
  EXPECT_EQ(pending_error, 4u);
  EXPECT_EQ(text_of(target), "x\"y");
  EXPECT_EQ(position, bad_item);
  clear_error();
  position = bad_item + 5;  // the unclosed quoted item runs to the end of the block
  read_string(block.bytes.get(), &position, block.length, target);
  EXPECT_EQ(text_of(target), "open");
  EXPECT_EQ(position, block.length);
  read_string(block.bytes.get(), &position, block.length, target);
  EXPECT_EQ(pending_error, 4u);
  EXPECT_EQ(text_of(target), "open");
  string_free(target);
}

TEST_F(DataReader, RestorePutsThePositionBack) {
  data_restore_position = 0;
  data_position = 17;
  restore_data();
  EXPECT_EQ(data_position, 0);
  data_restore_position = 4;
  restore_data();
  EXPECT_EQ(data_position, 4);
  data_restore_position = 0;
  data_position = 0;
}

TEST_F(DataReader, DigitsToFloatKeepsSeventeenDigits) {
  number_item item{};
  item.radix = 10;
  std::strcpy(item.digits, "179769313486231570000001");
  item.digit_count = 24;
  item.exponent = 308;
  long double value = 0;
  EXPECT_EQ(digits_to_float(item, &value), scan_ok);  // equal first 17 digits: still in range
  EXPECT_EQ(static_cast<double>(value), DBL_MAX);
  std::strcpy(item.digits, "17976931348623158");
  item.digit_count = 17;
  EXPECT_EQ(digits_to_float(item, &value), scan_overflow);
  std::strcpy(item.digits, "2");
  item.digit_count = 1;
  item.exponent = -325;
  EXPECT_EQ(digits_to_float(item, &value), scan_ok);
  EXPECT_EQ(value, 0);
  item.negative = true;
  item.exponent = 3;
  EXPECT_EQ(digits_to_float(item, &value), scan_ok);
  EXPECT_EQ(value, -2000);
}

}  // namespace
