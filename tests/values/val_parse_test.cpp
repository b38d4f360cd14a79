// Tests of VAL: the decimal scan, radix forms with their overflow limits, and very long input.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"

namespace {

class Val : public strings_test {
 protected:
  // VAL of a text that stays alive for the call (the string record points into it).
  long double val(const std::string& text) {
    return string_val(string_from_text_len(text.data(), static_cast<int32_t>(text.size())));
  }
};

struct val_case {
  const char* text;
  long double value;
};

TEST_F(Val, Examples) {
  const val_case cases[] = {
      {"550", 550},
      {"  -2", -2},
      {"0.5", 0.5L},
      {"1 2 3", 123},
      {"12abc", 12},
      {"1,5", 1},
      {"5-", 5},
      {"--5", 0},
      {".", 0},
      {"1e", 1},
      {"1D2", 100},
      {"&H1F", 31},
      {"&HFFFFFFFFFFFFFFFF", -1},
      {"&O777", 511},
      {"&B101", 5},
      {"&H", 0},
      {" &H10", 16},
      {"-&H10", 0},
      // More of the grammar.
      {"", 0},
      {"abc", 0},
      {"-", 0},
      {"+", 0},
      {"&", 0},
      {"&Z12", 0},
      {"&hff", 255},
      {"&o17", 15},
      {"&b11", 3},
      {"+7", 7},
      {"\t42", 42},
      {"1.5.5", 1.5L},
      {"1e2e3", 100},
      {"12%", 12},
      {"3#", 3},
      {"-0", 0},
      {"000123", 123},
      {"1E+2", 100},
      {"2d-1", 0.2L},
      {"1 e 2", 100},
      {"4-3", 4},
      {"1E-", 1},
      {"-.5", -0.5L},
  };
  for (const val_case& c : cases) {
    EXPECT_EQ(val(c.text), c.value) << '"' << c.text << '"';
    EXPECT_EQ(pending_error, 0u) << c.text;
  }
}

// Fractions and exponents go through the correctly rounded decimal-to-extended conversion.
TEST_F(Val, DecimalConversionMatchesStrtold) {
  const struct {
    const char* text;
    const char* canonical;
  } cases[] = {
      {"1.5E-3", "1.5E-3"},
      {"15E-3", "1.5E-2"},
      {"0.1", "0.1"},
      {"-1468.573712300333700", "-1468.5737123003337"},
      {"0.000026793232396", "2.6793232396E-5"},
      {"123.456", "123.456"},
      {"1E4000", "1E4000"},
      {"1E-4000", "1E-4000"},
      {"0.00000000000000000000000000001", "1E-29"},
      {"12345678901234567890123", "1.2345678901234567890123E22"},
      {"0.3333333333333333333333", "0.3333333333333333333333"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(val(c.text), std::strtold(c.canonical, nullptr)) << c.text;
}

// Random decimals of 1 to 21 digits, the point anywhere, exponents on both sides of the
// exactly representable powers of ten: the same value as strtold.
TEST_F(Val, RandomDecimalsMatchStrtold) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 20000; ++i) {
    std::string digits = std::to_string(random()) + std::to_string(random());
    digits.resize(1 + random() % 21);
    digits.insert(random() % (digits.size() + 1), ".");
    const std::string text = (random() % 2 ? "-" : "") + digits + "E" + std::to_string(static_cast<int>(random() % 81) - 40);
    EXPECT_EQ(val(text), std::strtold(text.c_str(), nullptr)) << text;
    string_release_temporaries(mark, 0);
  }
}

// Up to 18 integer digits are exact; 19 and more are rounded to the 64-bit mantissa.
TEST_F(Val, LongIntegersRoundToTheExtendedMantissa) {
  EXPECT_EQ(val("999999999999999999"), 999999999999999999.0L);
  EXPECT_EQ(val("-999999999999999999"), -999999999999999999.0L);
  EXPECT_EQ(val("9223372036854775807"), 9223372036854775807.0L);
  EXPECT_EQ(val("18446744073709551615"), 18446744073709551615.0L);
  // 2^64 + 1 and 2^64 + 3 lie halfway between neighbours 2 apart: ties go to the even mantissa.
  EXPECT_EQ(val("18446744073709551617"), 18446744073709551616.0L);
  EXPECT_EQ(val("18446744073709551619"), 18446744073709551620.0L);
  EXPECT_EQ(val("123456789012345678901234567890"), std::strtold("123456789012345678901234567890", nullptr));
}

struct radix_case {
  std::string text;
  long double value;
  uint32_t error;
};

TEST_F(Val, RadixLimits) {
  const std::string f16(16, 'F');
  const radix_case cases[] = {
      {"&H" + f16, -1, 0},
      {"&H1" + std::string(15, '0'), 1152921504606846976.0L, 0},
      {"&H1" + std::string(16, '0'), 0, 6},                     // 17 significant digits
      {"&H" + std::string(10, '0') + f16, -1, 0},               // leading zeros do not count
      {"&H7" + std::string(15, 'f'), 9223372036854775807.0L, 0},
      {"&O" + std::string(21, '7'), 9223372036854775807.0L, 0},  // 63 bits
      {"&O1" + std::string(21, '7'), -1, 0},                     // 22 digits, first is 1: 64 bits
      {"&O2" + std::string(21, '0'), 0, 6},                      // 22 digits, first is 2: 65 bits
      {"&O1" + std::string(22, '0'), 0, 6},                      // 23 digits
      {"&O00" + std::string(21, '7'), 9223372036854775807.0L, 0},
      {"&B" + std::string(64, '1'), -1, 0},
      {"&B1" + std::string(63, '0'), -9223372036854775807.0L - 1, 0},
      {"&B1" + std::string(64, '0'), 0, 6},                      // 65 digits
      {"&B000" + std::string(64, '1'), -1, 0},
      {"&H12G4", 0x12, 0},                                       // stops at the first non-digit
      {"&O78", 7, 0},
      {"&B102", 2, 0},
  };
  for (const radix_case& c : cases) {
    pending_error = 0;
    event_pending = 0;
    EXPECT_EQ(val(c.text), c.value) << c.text;
    EXPECT_EQ(pending_error, c.error) << c.text;
  }
}

// However long the text, the 256-byte scratch areas are never overrun and the magnitude
// stays right: digits past the kept ones still count toward the point position.
TEST_F(Val, VeryLongInputs) {
  EXPECT_EQ(val("1" + std::string(4000, '0')), std::strtold("1E4000", nullptr));
  EXPECT_TRUE(std::isinf(val("1" + std::string(10000, '0'))));
  EXPECT_EQ(val("1" + std::string(10000, '0') + "E-9990"), 1e10L);
  EXPECT_EQ(val(std::string(10000, '0') + "42"), 42);
  EXPECT_EQ(val(std::string(10000, '0') + ".5"), 0.5L);
  EXPECT_EQ(val("0." + std::string(10000, '0') + "7E10005"), std::strtold("7E4", nullptr));
  EXPECT_EQ(val("0." + std::string(4000, '0') + "5"), std::strtold("5E-4001", nullptr));

  std::string digits;
  while (digits.size() < 10000) digits += "1234567890";
  // Digits past the kept ones are cut; this value is nowhere near a rounding tie, so the
  // cut text converts like the whole text.
  const std::string scientific = "1." + digits.substr(1) + "E9";
  EXPECT_EQ(val(digits + "E-9990"), std::strtold(scientific.c_str(), nullptr));
  const std::string fraction = "0." + std::string(10000, '3');
  EXPECT_EQ(val(fraction), std::strtold(fraction.c_str(), nullptr));
  const std::string spaced = [] {
    std::string s;
    for (int i = 0; i < 5000; ++i) s += "9 ";
    return s;
  }();
  EXPECT_EQ(val(spaced + "E-4990"), 1e10L);  // 5,000 nines times 1E-4990 rounds up to 1E+10

  // Every byte value, in a long run, scans without harm.
  std::string noise;
  for (int i = 0; i < 20000; ++i) noise += static_cast<char>((i * 37 + 11) & 0xFF);
  (void)val(noise);
  (void)val(std::string(20000, '&'));
  EXPECT_EQ(val("&H" + std::string(20000, '0') + "1"), 1);
  EXPECT_EQ(val("&B" + std::string(20000, '0') + "1"), 1);
  // The 19th exponent digit stops the scan: 1E999999999999999999 is past every range.
  EXPECT_TRUE(std::isinf(val("1E" + std::string(30, '9'))));
  EXPECT_EQ(val("1E-" + std::string(30, '9')), 0);
  EXPECT_EQ(pending_error, 0u);
}

// 1 + 2^-64 lies exactly half-way between 1 and the next extended value; any non-zero digit
// after it, however far, puts the value past the half and it must round up. Every digit
// the scratch areas can keep counts, so a far digit is not cut off into a tie.
TEST_F(Val, FarDigitPastAHalfWayValueRoundsUp) {
  const std::string half_way = "1.0000000000000000000542101086242752217003726400434970855712890625";
  EXPECT_EQ(val(half_way), 1.0L);  // the tie itself goes to the even mantissa
  const struct {
    const char* sign;
    long double value;
  } signs[] = {{"", std::nextafter(1.0L, 2.0L)}, {"-", -std::nextafter(1.0L, 2.0L)}};
  for (const auto& s : signs) {
    for (size_t position = 201; position <= 232; ++position) {  // significant digit of the far 1
      std::string text = s.sign + half_way;
      text.resize(std::strlen(s.sign) + position, '0');  // sign, point and position - 1 digits
      text += '1';
      EXPECT_EQ(val(text), s.value) << position;
    }
  }
}

// VAL leaves its argument alone: the caller's statement releases the temporary.
TEST_F(Val, DoesNotConsumeItsArgument) {
  const std::string text = "  12.5";
  rt_string* s = string_from_text_len(text.data(), static_cast<int32_t>(text.size()));
  const uint32_t before = temp_count;
  EXPECT_EQ(string_val(s), 12.5L);
  EXPECT_EQ(temp_count, before);
  EXPECT_EQ(s->len, 6);
  EXPECT_EQ(string_val(nullptr), 0);
}

}  // namespace
