// DATA reading: the program's DATA text, READ and RESTORE.
#pragma once
#include <cstdint>

struct rt_string;

// Type word bits as READ uses them.
constexpr uint32_t type_float = 0x20000000;
constexpr uint32_t type_unsigned = 0x10000000;
constexpr uint32_t type_double = 0x28C00040;

extern int64_t data_position;          // offset of the next unread item
extern int64_t data_restore_position;  // where RESTORE puts it

void restore_data();
long double read_numeric(const char* block, int64_t* position, int64_t block_length, uint32_t type);
int64_t read_int64(const char* block, int64_t* position, int64_t block_length);
uint64_t read_uint64(const char* block, int64_t* position, int64_t block_length);
// A failed READ leaves the target as it was (out of DATA, or text after a closing quote).
void read_string(const char* block, int64_t* position, int64_t block_length, rt_string* target);

// Type word of SINGLE (floating point, 32 bits).
constexpr uint32_t type_single = 0x20000020;

// READ into a DOUBLE variable: stores the item only when the read succeeded, so a failed
// READ (out of DATA, bad or out-of-range item, or an error already pending) leaves it as it was.
void read_double(const char* block, int64_t* position, int64_t block_length, double* target);

// One numeric DATA item as scanned, before its digits become a value.
struct number_item {
  int32_t radix;        // 10, or 16, 8, 2 for an ampersand literal
  bool negative;        // a leading "-" (decimal only)
  int32_t digit_count;  // decimal: significant digits; radix: every digit, leading zeros too
  int64_t exponent;     // decimal exponent of the first significant digit
  char digits[257];     // the digits, in order (at most 256)
};

enum scan_status : int32_t { scan_ok = 0, scan_out_of_data = 1, scan_syntax = 2, scan_overflow = 3 };

// Scans the item at *position; on scan_ok *position moves past its comma, otherwise it
// stays at the item's start. Never reads at or past block_length.
scan_status scan_number_item(const char* block, int64_t* position, int64_t block_length, number_item* item);
// The item's value as extended (decimal items through the nearest DOUBLE of their first
// 17 digits); scan_ok or scan_overflow.
scan_status digits_to_float(const number_item& item, long double* value);
