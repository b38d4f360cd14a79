// Number text: BASIC's PRINT/STR$ forms of numbers, and VAL.
#pragma once
#include <cstdint>

struct rt_string;

// Every conversion returns a new temporary string. Infinities and NaN, which have no
// digits to show, print as " INF", "-INF" and " NAN" in both SINGLE and DOUBLE form.
rt_string* format_int8(int8_t value);
rt_string* format_int16(int16_t value);
rt_string* format_int32(int32_t value);
rt_string* format_int64(int64_t value);
rt_string* format_uint8(uint8_t value);
rt_string* format_uint16(uint16_t value);
rt_string* format_uint32(uint32_t value);
rt_string* format_uint64(uint64_t value);
// SINGLE: 7 significant digits, plain up to 1234567 and down to 1E-7 scale, else E notation.
rt_string* format_single(float value);
// DOUBLE: 16 significant digits, letter D; a 16-digit rendering ending in 9 prints with 15.
rt_string* format_double(double value);
rt_string* format_float(long double value);

// VAL: never consumes its argument; the result is x87 extended precision.
long double string_val(rt_string* text);
