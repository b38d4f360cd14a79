// Tests of the PRINT/STR$ number forms: integers, SINGLE, DOUBLE, _FLOAT and non-finite values.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"

#include "support/runtime_strings.h"

namespace {

std::string text_of(rt_string* s) {
  std::string text(reinterpret_cast<const char*>(s->chars), static_cast<size_t>(s->len));
  EXPECT_EQ(s->tmp, 1) << "formatting must return a temporary";
  return text;
}

class NumberFormat : public strings_test {
 protected:
  void TearDown() override {
    EXPECT_EQ(pending_error, 0u) << "formatting never raises errors";
    strings_test::TearDown();
  }
};

struct float_case {
  double value;
  const char* double_text;
  const char* single_text;  // nullptr: the value is not a SINGLE case
};

// The worked examples, value by value, for both forms.
const float_case worked_examples[] = {
    {0.5, " .5", " .5"},
    {-2, "-2", "-2"},
    {100, " 100", " 100"},
    {1e20, " 1D+20", " 1E+20"},
    {1.0 / 3, " .3333333333333333", " .3333333"},
    {2.0 / 3, " .6666666666666666", " .6666667"},
    {0.001, " .001", " .001"},
    {123.456, " 123.456", " 123.456"},
    {-1234.5, "-1234.5", "-1234.5"},
    {1e15, " 1000000000000000", " 1E+15"},
    {1e16, " 1D+16", " 1E+16"},
    {12345678, " 12345678", " 1.234568E+07"},
    {1e-16, " .0000000000000001", " 1E-16"},
    {1e-17, " 1D-17", " 1E-17"},
    {1.5e-16, " 1.5D-16", " 1.5E-16"},
    {1e100, " 1D+100", nullptr},
    {0.1 + 0.7, " .8", nullptr},
    {1e23, " 1D+23", nullptr},
    {0.0, " 0", " 0"},
    {-0.0, " 0", " 0"},
};

TEST_F(NumberFormat, WorkedExamples) {
  for (const float_case& c : worked_examples) {
    EXPECT_EQ(text_of(format_double(c.value)), c.double_text) << "DOUBLE " << c.value;
    if (c.single_text) {
      EXPECT_EQ(text_of(format_single(static_cast<float>(c.value))), c.single_text) << "SINGLE " << c.value;
    }
  }
}

// Values whose 16-digit rendering ends in 9 print with 15 significant digits.
TEST_F(NumberFormat, DoubleEndingInNineDropsToFifteenDigits) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {0.1 + 0.7, " .8"},
      {0.9999999999999999, " 1"},
      {4.35 * 100, " 435"},  // 434.99999999999994
      {0.57 * 100, " 57"},   // 56.99999999999999
      {-(0.1 + 0.7), "-.8"},
      {-0.9999999999999999, "-1"},
      {1e23, " 1D+23"},
      {0.1 + 0.2, " .3"},  // 3.000000000000000E-01: ends in 0, every trailing zero drops
  };
  for (const auto& c : cases) EXPECT_EQ(text_of(format_double(c.value)), c.text) << c.value;
}

// The 15-digit rendering can carry into the next power of ten; its exponent, not the
// 16-digit one, decides between plain and D notation.
TEST_F(NumberFormat, FifteenDigitCarryMovesTheExponent) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {999999999999999.9, " 1000000000000000"},  // 9.999999999999999E+14 -> 1E+15: plain
      {9999999999999999.0, " 1D+16"},            // 9.999999999999999E+15 -> 1E+16: D notation
      {0.09999999999999999, " .1"},
      {9.999999999999999e-17, " .0000000000000001"},  // -> 1E-16: still plain
      {99999.99999999999, " 100000"},
      {1.0000000000000009, " 1.000000000000001"},     // 16th digit 1: all 16 kept
      {123456789.12345679, " 123456789.1234568"},
  };
  for (const auto& c : cases) EXPECT_EQ(text_of(format_double(c.value)), c.text) << c.value;
  EXPECT_EQ(text_of(format_single(9999999.0f)), " 9999999");
  EXPECT_EQ(text_of(format_single(0.00001f)), " .00001");
}

TEST_F(NumberFormat, PlainAndScientificThresholds) {
  const struct {
    double value;
    const char* text;
  } doubles[] = {
      {999999999999999.0, " 999999999999999"},
      {1e15, " 1000000000000000"},
      {1e15 + 1, " 1000000000000001"},
      {1e16, " 1D+16"},
      {1.2345678901234567e16, " 1.234567890123457D+16"},
      {1e-16, " .0000000000000001"},
      {1.25e-15, " 1.25D-15"},  // e - count = -18 is below -17: scientific
      {1e-17, " 1D-17"},
      {-1e-17, "-1D-17"},
      {-0.5, "-.5"},
      {-1e16, "-1D+16"},
  };
  for (const auto& c : doubles) EXPECT_EQ(text_of(format_double(c.value)), c.text) << c.value;

  const struct {
    float value;
    const char* text;
  } singles[] = {
      {1234567.0f, " 1234567"},
      {12345678.0f, " 1.234568E+07"},
      {1e-7f, " .0000001"},
      {1.5e-7f, " 1.5E-07"},
      {1e-8f, " 1E-08"},
      {0.1f, " .1"},
      {-0.1f, "-.1"},
      {3.4028235e38f, " 3.402823E+38"},
      {1e-45f, " 1.401298E-45"},  // the smallest denormal
      {65536.0f, " 65536"},
  };
  for (const auto& c : singles) EXPECT_EQ(text_of(format_single(c.value)), c.text) << c.value;
}

TEST_F(NumberFormat, ThreeDigitExponents) {
  const struct {
    double value;
    const char* text;
  } cases[] = {
      {1e100, " 1D+100"},
      {1e-100, " 1D-100"},
      {-1.5e300, "-1.5D+300"},
      {1e99, " 1D+99"},
      {1e-99, " 1D-99"},
      {DBL_MAX, " 1.797693134862316D+308"},
      {DBL_MIN, " 2.225073858507201D-308"},
      {std::numeric_limits<double>::denorm_min(), " 4.940656458412465D-324"},
  };
  for (const auto& c : cases) EXPECT_EQ(text_of(format_double(c.value)), c.text) << c.value;
}

TEST_F(NumberFormat, IntegerForms) {
  EXPECT_EQ(text_of(format_int8(5)), " 5");
  EXPECT_EQ(text_of(format_int8(-128)), "-128");
  EXPECT_EQ(text_of(format_int8(127)), " 127");
  EXPECT_EQ(text_of(format_int16(-32768)), "-32768");
  EXPECT_EQ(text_of(format_int16(0)), " 0");
  EXPECT_EQ(text_of(format_int32(INT32_MIN)), "-2147483648");
  EXPECT_EQ(text_of(format_int32(INT32_MAX)), " 2147483647");
  EXPECT_EQ(text_of(format_int64(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(text_of(format_int64(INT64_MAX)), " 9223372036854775807");
  EXPECT_EQ(text_of(format_uint8(0)), " 0");
  EXPECT_EQ(text_of(format_uint8(255)), " 255");
  EXPECT_EQ(text_of(format_uint16(65535)), " 65535");
  EXPECT_EQ(text_of(format_uint32(UINT32_MAX)), " 4294967295");
  EXPECT_EQ(text_of(format_uint64(UINT64_MAX)), " 18446744073709551615");
  EXPECT_EQ(text_of(format_uint64(0)), " 0");
}

TEST_F(NumberFormat, FloatGoesThroughDouble) {
  EXPECT_EQ(text_of(format_float(1.0L / 3)), " .3333333333333333");
  EXPECT_EQ(text_of(format_float(-2.0L)), "-2");
  EXPECT_EQ(text_of(format_float(1e30L)), " 1D+30");
  EXPECT_EQ(text_of(format_float(1e400L)), " INF");  // past DOUBLE's range
}

// Infinities and NaN print as " INF", "-INF" and " NAN" in both forms.
TEST_F(NumberFormat, NonFiniteValues) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  EXPECT_EQ(text_of(format_double(inf)), " INF");
  EXPECT_EQ(text_of(format_double(-inf)), "-INF");
  EXPECT_EQ(text_of(format_double(nan)), " NAN");
  EXPECT_EQ(text_of(format_double(-nan)), " NAN");
  EXPECT_EQ(text_of(format_single(static_cast<float>(inf))), " INF");
  EXPECT_EQ(text_of(format_single(static_cast<float>(-inf))), "-INF");
  EXPECT_EQ(text_of(format_single(std::numeric_limits<float>::quiet_NaN())), " NAN");
}

// The forms written out with printf alone: `digits` significant digits (DOUBLE: 15 when
// the 16th is a 9), trailing zeros dropped, plain ("%.*f", no leading zero) while the
// exponent is at most plain_max and exponent - digits shown at least plain_gap, else the
// mantissa, the letter and a signed exponent of at least two digits.
std::string printf_form(double v, int digits, bool nine_rule, char letter, int plain_max, int plain_gap) {
  char e[64];
  std::snprintf(e, sizeof e, "%.*e", digits - 1, std::fabs(v));
  if (nine_rule && e[digits] == '9') std::snprintf(e, sizeof e, "%.*e", --digits - 1, std::fabs(v));
  std::string mantissa = std::string(1, e[0]) + std::string(e + 2, static_cast<size_t>(digits - 1));
  mantissa.erase(mantissa.find_last_not_of('0') + 1);
  if (mantissa.empty()) return " 0";
  const int exponent = std::atoi(std::strchr(e, 'e') + 1), count = static_cast<int>(mantissa.size());
  std::string out = std::signbit(v) ? "-" : " ";
  if (exponent <= plain_max && exponent - count >= plain_gap) {
    std::snprintf(e, sizeof e, "%.*f", std::max(0, count - exponent - 1), std::fabs(v));
    return out + (e[0] == '0' ? e + 1 : e);
  }
  out += mantissa.substr(0, 1) + (count > 1 ? "." + mantissa.substr(1) : "") + letter + (exponent < 0 ? "-" : "+");
  std::snprintf(e, sizeof e, "%02d", std::abs(exponent));
  return out + e;
}

// Random bit patterns and random short decimals (which often end in 9 or sit on a
// rounding tie) give the same text as printf's conversions.
TEST_F(NumberFormat, RandomValuesMatchPrintfForms) {
  std::mt19937_64 random(20261208);
  for (int i = 0; i < 20000; ++i) {
    double d;
    if (i % 2) {
      uint64_t bits = random();
      std::memcpy(&d, &bits, sizeof d);
      if (!std::isfinite(d)) continue;
    } else {
      d = static_cast<double>(random() % 100000000) / std::pow(10.0, static_cast<int>(random() % 30) - 10);
    }
    EXPECT_EQ(text_of(format_double(d)), printf_form(d, 16, true, 'D', 15, -17)) << d;
    const float f = static_cast<float>(d);
    if (std::isfinite(f)) {
      EXPECT_EQ(text_of(format_single(f)), printf_form(f, 7, false, 'E', 6, -8)) << f;
    }
    string_release_temporaries(mark, 0);
  }
}

// Every result must read back as the value it shows (within the form's digits).
TEST_F(NumberFormat, DoubleTextReadsBackAcrossMagnitudes) {
  for (int e = -320; e <= 308; e += 7) {
    const double value = 1.2345678901234567 * std::pow(10.0, e);
    if (!std::isfinite(value) || value == 0) continue;
    std::string text = text_of(format_double(value));
    for (char& c : text)
      if (c == 'D') c = 'E';
    const double back = std::strtod(text.c_str(), nullptr);
    EXPECT_NEAR(back / value, 1.0, 1e-14) << text;
  }
}

}  // namespace
