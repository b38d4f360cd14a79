// Tests of MKI$/CVI style packing, bit fields and Microsoft Binary Format.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/ground/errors.h"
#include "runtime/values/string_binary.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/strings.h"

#include "support/runtime_strings.h"

namespace {

std::vector<uint8_t> bytes_of(const rt_string* s) { return std::vector<uint8_t>(s->chars, s->chars + s->len); }

using StringBinary = strings_test;

TEST_F(StringBinary, IntegersRoundTripLittleEndian) {
  EXPECT_EQ(bytes_of(string_mk_int16(0x1234)), (std::vector<uint8_t>{0x34, 0x12}));
  EXPECT_EQ(bytes_of(string_mk_int32(-2)), (std::vector<uint8_t>{0xFE, 0xFF, 0xFF, 0xFF}));
  EXPECT_EQ(string_mk_int8(-1)->len, 1);
  EXPECT_EQ(string_mk_offset(0)->len, 8);
  EXPECT_EQ(string_cv_int16(string_mk_int16(-12345)), -12345);
  EXPECT_EQ(string_cv_uint16(string_mk_uint16(65535)), 65535);
  EXPECT_EQ(string_cv_int32(string_mk_int32(INT32_MIN)), INT32_MIN);
  EXPECT_EQ(string_cv_uint32(string_mk_uint32(4000000000u)), 4000000000u);
  EXPECT_EQ(string_cv_int64(string_mk_int64(INT64_MIN + 5)), INT64_MIN + 5);
  EXPECT_EQ(string_cv_uint64(string_mk_uint64(UINT64_MAX)), UINT64_MAX);
  EXPECT_EQ(string_cv_int8(string_mk_int8(-100)), -100);
  EXPECT_EQ(string_cv_uint8(string_mk_uint8(200)), 200);
  EXPECT_EQ(string_cv_offset(string_mk_offset(-77)), -77);
  EXPECT_EQ(string_cv_single(string_mk_single(1.5f)), 1.5f);
  EXPECT_EQ(string_cv_double(string_mk_double(-0.1)), -0.1);
  EXPECT_EQ(pending_error, 0u);
}

TEST_F(StringBinary, FloatIsThirtyTwoBytes) {
  long double value = 1.0L / 3.0L;
  rt_string* s = string_mk_float(value);
  ASSERT_EQ(s->len, 32);
  for (int i = 10; i < 32; ++i) EXPECT_EQ(s->chars[i], 0);
  EXPECT_EQ(string_cv_float(s), value);
}

TEST_F(StringBinary, ShortStringsRaiseIllegalFunctionCall) {
  rt_string* three = string_from_text("abc");
  EXPECT_EQ(string_cv_int32(three), 0);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_cv_double(three), 0.0);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_cv_float(string_mk_double(2.0)), 0.0L);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_cv_int8(string_from_text("")), 0);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_cvdmbf(three), 0.0);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_cvsmbf(three), 0.0f);
  EXPECT_EQ(pending_error, 5u);
}

TEST_F(StringBinary, BitFields) {
  rt_string* s = string_mk_bits(0x1FF, 9);
  EXPECT_EQ(bytes_of(s), (std::vector<uint8_t>{0xFF, 0x01}));
  EXPECT_EQ(string_cv_bits(s, 9), 0x1FFu);
  EXPECT_EQ(string_cv_sbits(s, 9), -1);
  EXPECT_EQ(bytes_of(string_mk_bits(0xFFF, 3)), (std::vector<uint8_t>{0x07}));
  EXPECT_EQ(string_cv_sbits(string_mk_bits(3, 3), 3), 3);
  EXPECT_EQ(string_cv_sbits(string_mk_bits(4, 3), 3), -4);
  EXPECT_EQ(string_cv_bits(string_mk_bits(UINT64_MAX, 64), 64), UINT64_MAX);
  EXPECT_EQ(string_cv_sbits(string_mk_bits(UINT64_MAX, 64), 64), -1);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(string_cv_bits(string_mk_bits(1, 8), 9), 0u);  // one byte is too short for 9 bits
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_mk_bits(1, 0)->len, 0);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_cv_bits(string_mk_int64(1), 65), 0u);
  EXPECT_EQ(pending_error, 5u);
}

struct mbf_single_case {
  float value;
  std::vector<uint8_t> bytes;
};

TEST_F(StringBinary, SingleMbfKnownValues) {
  const mbf_single_case cases[] = {
      {0.0f, {0, 0, 0, 0}},          {1.0f, {0, 0, 0, 0x81}},       {-1.0f, {0, 0, 0x80, 0x81}},
      {0.5f, {0, 0, 0, 0x80}},       {10.0f, {0, 0, 0x20, 0x84}},   {0.1f, {0xCD, 0xCC, 0x4C, 0x7D}},
      {-0.0f, {0, 0, 0, 0}},
  };
  for (const mbf_single_case& c : cases) {
    SCOPED_TRACE(c.value);
    rt_string* s = string_mksmbf(c.value);
    EXPECT_EQ(bytes_of(s), c.bytes);
    EXPECT_EQ(string_cvsmbf(s), c.value);
  }
  EXPECT_EQ(pending_error, 0u);
}

TEST_F(StringBinary, DoubleMbfKnownValuesAndRoundTrips) {
  EXPECT_EQ(bytes_of(string_mkdmbf(1.0)), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0x81}));
  EXPECT_EQ(bytes_of(string_mkdmbf(-10.0)), (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xA0, 0x84}));
  const double values[] = {0.1, -3.141592653589793, 1e30, 1e-30, 123456789.125, 0.0};
  for (double v : values) EXPECT_EQ(string_cvdmbf(string_mkdmbf(v)), v);
  const float singles[] = {3.14159f, -2.5e-20f, 1.7e38f, 5.877472e-39f};
  for (float v : singles) EXPECT_EQ(string_cvsmbf(string_mksmbf(v)), v);
  EXPECT_EQ(pending_error, 0u);
}

TEST_F(StringBinary, MbfRejectsValuesOutsideItsRange) {
  const double bad_doubles[] = {1e40, -1e300, 1e-40, INFINITY, NAN};
  for (double v : bad_doubles) {
    pending_error = 0;
    EXPECT_EQ(string_mkdmbf(v)->len, 0);
    EXPECT_EQ(pending_error, 5u);
  }
  const float bad_singles[] = {3.4e38f, 1e-40f, -INFINITY, NAN};
  for (float v : bad_singles) {
    pending_error = 0;
    EXPECT_EQ(string_mksmbf(v)->len, 0);
    EXPECT_EQ(pending_error, 5u);
  }
}

}  // namespace
