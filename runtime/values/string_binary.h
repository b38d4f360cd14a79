// Binary packing of numbers into strings: MKI$/CVI style, _FLOAT, bit fields and Microsoft Binary Format.
#pragma once
#include <cstdint>

struct rt_string;

// MK*$ style: a new temporary holding the value's little-endian bytes. They may
// compact the heap: earlier `chars` pointers die.
rt_string* string_mk_int8(int8_t value);
rt_string* string_mk_uint8(uint8_t value);
rt_string* string_mk_int16(int16_t value);
rt_string* string_mk_uint16(uint16_t value);
rt_string* string_mk_int32(int32_t value);
rt_string* string_mk_uint32(uint32_t value);
rt_string* string_mk_int64(int64_t value);
rt_string* string_mk_uint64(uint64_t value);
rt_string* string_mk_offset(intptr_t value);      // address-size integer
rt_string* string_mk_single(float value);
rt_string* string_mk_double(double value);
rt_string* string_mk_float(long double value);    // _FLOAT: 32 bytes, the extended value then zeros
rt_string* string_mk_bits(uint64_t value, int32_t bits);  // (bits + 7) / 8 bytes, value masked to bits

// CV* style: read the same layouts; a string shorter than the layout raises error 5
// and gives 0. They do not consume.
int8_t string_cv_int8(const rt_string* s);
uint8_t string_cv_uint8(const rt_string* s);
int16_t string_cv_int16(const rt_string* s);
uint16_t string_cv_uint16(const rt_string* s);
int32_t string_cv_int32(const rt_string* s);
uint32_t string_cv_uint32(const rt_string* s);
int64_t string_cv_int64(const rt_string* s);
uint64_t string_cv_uint64(const rt_string* s);
intptr_t string_cv_offset(const rt_string* s);
float string_cv_single(const rt_string* s);
double string_cv_double(const rt_string* s);
long double string_cv_float(const rt_string* s);
uint64_t string_cv_bits(const rt_string* s, int32_t bits);   // unsigned bit field
int64_t string_cv_sbits(const rt_string* s, int32_t bits);   // signed: extended from bit bits - 1

// Microsoft Binary Format. A value the format cannot hold (infinite, NaN, out of its
// exponent range) raises error 5 and gives an empty string; a string shorter than 4
// or 8 bytes raises error 5 and gives 0.
rt_string* string_mksmbf(float value);
rt_string* string_mkdmbf(double value);
float string_cvsmbf(const rt_string* s);
double string_cvdmbf(const rt_string* s);
