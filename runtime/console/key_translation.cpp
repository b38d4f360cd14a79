// Key translation (puts a key into the key ring as the keyboard table translates it under a modifier).
#include "runtime/console/key_ring.h"
#include "runtime/console/keyboard_table.h"

void put_translated_key(int32_t value, int32_t row_scan) {
  if (value == 0) return;
  if (value & 0xFF00)
    bios_key_put(0, static_cast<uint8_t>(value >> 8));
  else
    bios_key_put(static_cast<uint8_t>(value), static_cast<uint8_t>(row_scan));
}

void put_character_key(uint8_t code, int32_t column) {
  const int32_t* row = keyboard_table[code];
  if (row[key_column_scan] == 0) {
    bios_key_put(code, 0);
    return;
  }
  put_translated_key(row[column], row[key_column_scan]);
}

void put_extended_key(int32_t code, int32_t column) {
  const int32_t* row = keyboard_table[256 + (code / 256 & 0xFF)];
  if (row[key_column_normal] == 0) {
    bios_key_put(0, static_cast<uint8_t>(code / 256));
    return;
  }
  put_translated_key(row[column], row[key_column_scan]);
}
