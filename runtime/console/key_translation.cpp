// Key translation (keeps how the keyboard table turns a key under a modifier into a key ring entry).
#include "runtime/console/key_ring.h"
#include "runtime/console/keyboard_table.h"

bool translated_key_entry(int32_t value, int32_t row_scan, uint8_t* character, uint8_t* scan) {
  if (value == 0) return false;
  bool extended = (value & 0xFF00) != 0;
  *character = extended ? 0 : static_cast<uint8_t>(value);
  *scan = static_cast<uint8_t>(extended ? value >> 8 : row_scan);
  return true;
}

bool character_key_entry(uint8_t code, int32_t column, uint8_t* character, uint8_t* scan) {
  const int32_t* row = keyboard_table[code];
  if (row[key_column_scan] == 0) {
    *character = code;
    *scan = 0;
    return true;
  }
  return translated_key_entry(row[column], row[key_column_scan], character, scan);
}

void put_translated_key(int32_t value, int32_t row_scan) {
  uint8_t character = 0, scan = 0;
  if (translated_key_entry(value, row_scan, &character, &scan)) bios_key_put(character, scan);
}

void put_character_key(uint8_t code, int32_t column) {
  uint8_t character = 0, scan = 0;
  if (character_key_entry(code, column, &character, &scan)) bios_key_put(character, scan);
}

void put_extended_key(int32_t code, int32_t column) {
  const int32_t* row = keyboard_table[256 + (code / 256 & 0xFF)];
  if (row[key_column_normal] == 0) {
    bios_key_put(0, static_cast<uint8_t>(code / 256));
    return;
  }
  put_translated_key(row[column], row[key_column_scan]);
}
