// INPUT field rules: what each destination type lets through key by key, and what it stores.
#include <gtest/gtest.h>

#include <cfloat>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/console/input.h"
#include "runtime/values/strings.h"

namespace {

constexpr uint32_t int8 = 8, int16 = 16, int32 = 32, int64 = 64;
constexpr uint32_t uint16 = 16 | input_type_unsigned, uint32 = 32 | input_type_unsigned;
constexpr uint32_t uint64 = 64 | input_type_unsigned;
constexpr uint32_t single = 32 | input_type_float, dbl = 64 | input_type_float;
constexpr uint32_t extended = 256 | input_type_float;

// Storage wide enough for every numeric destination.
union storage {
  int8_t i8;
  int16_t i16;
  int32_t i32;
  int64_t i64;
  uint16_t u16;
  uint32_t u32;
  uint64_t u64;
  float f;
  double d;
  long double ld;
  unsigned char bytes[32];
};

// Types the keys one by one the way the editor does: a key whose field fails is taken
// back. Returns the positions of the refused keys; `accepted` gets the text that stands.
std::vector<int> type_keys(uint32_t type, const std::string& keys, void* destination, std::string* accepted) {
  std::vector<int> refused;
  std::string text;
  EXPECT_TRUE(validate_field(nullptr, 0, type, destination));
  for (size_t i = 0; i < keys.size(); ++i) {
    std::string attempt = text + keys[i];
    if (validate_field(reinterpret_cast<const uint8_t*>(attempt.data()), static_cast<int32_t>(attempt.size()), type,
                       destination))
      text = attempt;
    else {
      refused.push_back(static_cast<int>(i));
      // What stands is validated again, as the editor's redraw does.
      EXPECT_TRUE(validate_field(reinterpret_cast<const uint8_t*>(text.data()), static_cast<int32_t>(text.size()),
                                 type, destination));
    }
  }
  if (accepted) *accepted = text;
  return refused;
}

struct integer_case {
  uint32_t type;
  std::string keys;
  std::vector<int> refused;  // positions of the keys that are taken back
  int64_t stored;            // read back as a signed value of the destination's width
};

int64_t read_integer(const storage& s, uint32_t type) {
  bool is_unsigned = (type & input_type_unsigned) != 0;
  switch (type & 511) {
    case 8: return is_unsigned ? int64_t{static_cast<uint8_t>(s.i8)} : s.i8;
    case 16: return is_unsigned ? int64_t{s.u16} : s.i16;
    case 32: return is_unsigned ? int64_t{s.u32} : s.i32;
    default: return s.i64;
  }
}

TEST(input_validation, integers) {
  const integer_case cases[] = {
      {int16, "32767", {}, 32767},
      {int16, "32768", {4}, 3276},
      {int16, "-32768", {}, -32768},
      {int16, "-32769", {5}, -3276},
      {int16, "012", {1, 2}, 0},
      {int16, "-", {}, 0},
      {int16, "-0", {}, 0},
      {int16, "-01", {2}, 0},
      {int16, "&HFFFF", {}, -1},
      {int16, "&H10000", {6}, 4096},
      {int16, "&h00001", {6}, 0},
      {int16, "&O177777", {}, -1},
      {int16, "&O200000", {7}, 8192},
      {int16, "&B1111111111111111", {}, -1},
      {int16, "&B11111111111111111", {18}, -1},
      {int16, "&", {}, 0},
      {int16, "&X1", {1, 2}, 0},
      {int16, "1a2", {1}, 12},
      {int16, "+5", {0}, 5},
      {int16, " 5", {0}, 5},
      {int8, "127", {}, 127},
      {int8, "128", {2}, 12},
      {int8, "-128", {}, -128},
      {int8, "&HFF", {}, -1},
      {int8, "&H100", {4}, 16},
      {uint16, "65535", {}, 65535},
      {uint16, "65536", {4}, 6553},
      {uint16, "-1", {0}, 1},
      {uint16, "&HFFFF", {}, 65535},
      {int32, "2147483647", {}, 2147483647},
      {int32, "12345678901", {10}, 1234567890},
      {int32, "-2147483648", {}, -2147483648LL},
      {int32, "&HFFFFFFFF", {}, -1},
      {int32, "&O37777777777", {}, -1},
      {int32, "&O377777777777", {13}, -1},
      {uint32, "4294967295", {}, 4294967295LL},
      {uint32, "4294967296", {9}, 429496729},
      {int64, "9223372036854775807", {}, INT64_MAX},
      {int64, "9223372036854775808", {18}, 922337203685477580LL},
      {int64, "-9223372036854775808", {}, INT64_MIN},
      {int64, "-9223372036854775809", {19}, -922337203685477580LL},
      {int64, "10000000000000000000", {19}, 1000000000000000000LL},
      {int64, "&HFFFFFFFFFFFFFFFF", {}, -1},
      {int64, "&H10000000000000000", {18}, 0x1000000000000000LL},
      {int64, "00", {1}, 0},
      {uint64, "18446744073709551615", {}, -1},
      {uint64, "18446744073709551616", {19}, 1844674407370955161LL},
      {uint64, "184467440737095516150", {20}, -1},
      {uint64, "-5", {0}, 5},
  };
  for (const integer_case& c : cases) {
    storage s;
    std::memset(&s, 0x5A, sizeof s);
    std::string accepted;
    std::vector<int> refused = type_keys(c.type, c.keys, &s, &accepted);
    EXPECT_EQ(refused, c.refused) << c.keys << " type " << c.type;
    EXPECT_EQ(read_integer(s, c.type), c.stored) << c.keys << " type " << c.type;
    // Only the destination's own bytes are written.
    size_t width = (c.type & 511) / 8;
    for (size_t k = width; k < sizeof s; ++k) ASSERT_EQ(s.bytes[k], 0x5A) << c.keys;
  }
}

struct float_case {
  uint32_t type;
  std::string keys;
  std::vector<int> refused;
  long double stored;
};

long double read_float(const storage& s, uint32_t type) {
  switch (type & 511) {
    case 32: return s.f;
    case 64: return s.d;
    default: return s.ld;
  }
}

TEST(input_validation, floating_point) {
  const float_case cases[] = {
      {dbl, "1.5D3", {}, 1500},
      {dbl, "1.5D", {}, 1.5},
      {dbl, "1.5E+", {}, 1.5},
      {dbl, "1.5E+2", {}, 150},
      {dbl, "1.5e-2", {}, 0.015},
      {dbl, "1e400", {4}, 1e40},
      {dbl, "1.5E05", {5}, 1.5},
      {dbl, "-", {}, 0},
      {dbl, "-2.25", {}, -2.25},
      {dbl, "0.5", {}, 0.5},
      {dbl, ".5", {}, 0.5},
      {dbl, "5.", {}, 5},
      {dbl, "05", {1}, 0},
      {dbl, "0e1", {1, 2}, 0},
      {dbl, "5.e3", {2}, 5.3},
      {dbl, "e5", {0}, 5},
      {dbl, ".e", {1}, 0},
      {dbl, "0.0e5", {3}, 5e-2},
      {dbl, "5.0e3", {}, 5000},
      {dbl, "1.2.3", {3}, 1.23},
      {dbl, "1 ", {1}, 1},
      {dbl, "&H10", {}, 16},
      {dbl, "&HG", {2}, 0},
      {dbl, "1.797693134862315e308", {}, 1.797693134862315e308},
      {dbl, "1.7976931348623157", {17}, 1.797693134862315},
      {dbl, "2e308", {4}, 2e30},
      {dbl, "1e-323", {}, 1e-323},
      {dbl, "1e-324", {5}, 1e-32},
      {dbl, "4.940656e-324", {}, 4.940656e-324},
      {dbl, "0.1234567890123456", {}, 0.1234567890123456},
      {dbl, "0.12345678901234567", {18}, 0.1234567890123456},
      {dbl, "12345678901234567890", {}, 12345678901234567890.0},  // no fraction: no digit limit
      {single, "1.5D", {3}, 1.5},
      {single, "1.5d3", {3}, 1.53},
      {single, "1.5E3", {}, 1500},
      {single, "3.402823e38", {}, 3.402823e38f},
      {single, "3.402824e38", {10}, 3.402824e3f},
      {single, "4e38", {3}, 4e3f},
      {single, "1e39", {3}, 1e3f},
      {single, "1.401298e-45", {}, 1.401298e-45f},
      {single, "1e-45", {4}, 1e-4f},
      {single, "1.2345678", {}, 1.2345678f},
      {single, "1.23456789", {9}, 1.2345678f},
      {single, "0.000000001", {}, 1e-9f},
      {extended, "1.5D3", {}, 1500},
      {extended, "1e400", {4}, 1e40},
  };
  for (const float_case& c : cases) {
    storage s;
    std::memset(&s, 0x5A, sizeof s);
    std::vector<int> refused = type_keys(c.type, c.keys, &s, nullptr);
    EXPECT_EQ(refused, c.refused) << c.keys << " type " << c.type;
    long double stored = read_float(s, c.type);
    if (c.type == dbl) {
      EXPECT_EQ(static_cast<double>(stored), static_cast<double>(c.stored)) << c.keys;
    } else if (c.type == single) {
      EXPECT_EQ(static_cast<float>(stored), static_cast<float>(c.stored)) << c.keys;
    } else {
      EXPECT_EQ(static_cast<double>(stored), static_cast<double>(c.stored)) << c.keys;
    }
  }
}

TEST(input_validation, overflow_past_the_largest_value_is_refused) {
  // Seven or eight leading digits equal to the largest value's still let a longer text
  // round to infinity; such a key is taken back instead of storing infinity.
  storage s;
  EXPECT_EQ(type_keys(dbl, "1.797693134862316e308", &s, nullptr), std::vector<int>{20});
  EXPECT_EQ(s.d, 1.797693134862316e30);
  EXPECT_EQ(type_keys(single, "3.4028237e38", &s, nullptr), std::vector<int>{11});
  EXPECT_LE(s.f, FLT_MAX);
}

TEST(input_validation, prefix_numbers) {
  struct prefix_case {
    std::string text;
    bool is_prefix;
    uint64_t value;
    int32_t digits, base;
  };
  const prefix_case cases[] = {
      {"&", true, 0, 0, 0},
      {"&h", true, 0, 0, 16},
      {"&HfF", true, 255, 2, 16},
      {"&o17", true, 15, 2, 8},
      {"&b101", true, 5, 3, 2},
      {"&H" + std::string(16, 'F'), true, ~uint64_t{0}, 16, 16},
      {"&H" + std::string(17, '0'), false, 0, 0, 16},
      {"&O1" + std::string(21, '7'), true, ~uint64_t{0}, 22, 8},
      {"&O2" + std::string(21, '0'), false, 0, 0, 8},
      {"&B" + std::string(64, '1'), true, ~uint64_t{0}, 64, 2},
      {"&B" + std::string(65, '0'), false, 0, 0, 2},
      {"&B2", false, 0, 0, 2},
      {"&O8", false, 0, 0, 8},
      {"&Q", false, 0, 0, 0},
      {"12", false, 0, 0, 0},
      {"", false, 0, 0, 0},
  };
  for (const prefix_case& c : cases) {
    uint64_t value = 99;
    int32_t digits = 99, base = 99;
    bool is_prefix = input_prefix_value(reinterpret_cast<const uint8_t*>(c.text.data()),
                                        static_cast<int32_t>(c.text.size()), &value, &digits, &base);
    EXPECT_EQ(is_prefix, c.is_prefix) << c.text;
    if (!c.is_prefix) continue;
    EXPECT_EQ(value, c.value) << c.text;
    EXPECT_EQ(digits, c.digits) << c.text;
    EXPECT_EQ(base, c.base) << c.text;
  }
}

TEST(input_validation, strings_and_fixed_strings) {
  string_storage_init();
  uint32_t mark = temp_count;
  rt_string* text = string_new(0, false);
  std::string accepted;
  EXPECT_TRUE(type_keys(input_type_string, "  abc  ", text, &accepted).empty());
  EXPECT_EQ(std::string(reinterpret_cast<char*>(text->chars), static_cast<size_t>(text->len)), "  abc  ");
  EXPECT_TRUE(type_keys(input_type_string, "1,\"x", text, &accepted).empty());  // the splitting handles , and "

  char fixed_bytes[5];
  std::memset(fixed_bytes, 'z', sizeof fixed_bytes);
  rt_string* fixed = string_new_fixed(reinterpret_cast<uint8_t*>(fixed_bytes), 5, false);
  clear_destination(input_type_string, fixed);
  EXPECT_EQ(std::string(fixed_bytes, 5), "     ");
  EXPECT_EQ(type_keys(input_type_string, "abcdefg", fixed, &accepted), (std::vector<int>{5, 6}));
  EXPECT_EQ(std::string(fixed_bytes, 5), "abcde");
  EXPECT_TRUE(type_keys(input_type_string, "ab", fixed, &accepted).empty());
  EXPECT_EQ(std::string(fixed_bytes, 5), "ab   ");

  clear_destination(input_type_string, text);
  EXPECT_EQ(text->len, 0);
  string_free(text);
  string_free(fixed);
  string_release_temporaries(mark, 0);
}

TEST(input_validation, bit_fields_and_unknown_sizes_store_nothing) {
  storage s;
  std::memset(&s, 0x5A, sizeof s);
  EXPECT_EQ(type_keys(16 | input_type_bitfield, "32768", &s, nullptr), std::vector<int>{4});
  EXPECT_EQ(type_keys(24, "x-1.5", &s, nullptr), std::vector<int>{});
  EXPECT_EQ(type_keys(48 | input_type_float, "abc", &s, nullptr), std::vector<int>{});
  clear_destination(16 | input_type_bitfield, &s);
  for (unsigned char byte : s.bytes) ASSERT_EQ(byte, 0x5A);
}

TEST(input_validation, clearing_touches_only_the_destination) {
  struct clear_case {
    uint32_t type;
    size_t bytes;  // bytes that must become 0
  };
  const clear_case cases[] = {{int8, 1}, {int16, 2}, {uint32, 4}, {int64, 8}, {single, 4}, {dbl, 8}};
  for (const clear_case& c : cases) {
    storage s;
    std::memset(&s, 0x5A, sizeof s);
    clear_destination(c.type, &s);
    for (size_t k = 0; k < sizeof s; ++k) ASSERT_EQ(s.bytes[k], k < c.bytes ? 0 : 0x5A) << c.type << " " << k;
  }
  storage s;
  std::memset(&s, 0x5A, sizeof s);
  clear_destination(extended, &s);
  EXPECT_EQ(s.ld, 0.0L);
  EXPECT_EQ(s.bytes[16], 0x5A);  // a long double, not the 32 bytes the type word names
}

}  // namespace
