// The PC keyboard table and the putting of a key through it into the key ring (any front-end's key thread).
#pragma once
#include <cstdint>

// ---- Translation table -------------------------------------------------------------
// Rows of ten: base code, scan code, then the translation without modifier, with Shift,
// Ctrl, Alt, and the keypad columns (keypad, two unused, keypad with Shift). A translation
// of 0 gives no key; one with any of bits 8-15 set is an extended key (character 0, scan
// code = value / 256); any other value is a character with the row's scan code.
// Rows 0-255 by character, 256-511 by 256 + extended code / 256, 512-527 by keypad code
// (100256-100271: digits 0-9, then . / * - + Enter); there the keypad column gives the
// character, and for the digits and the point the Shift columns give the key's navigation key.
constexpr int keyboard_table_rows = 528;
extern const int32_t keyboard_table[keyboard_table_rows][10];
constexpr int key_column_base = 0;
constexpr int key_column_scan = 1;
constexpr int key_column_normal = 2;
constexpr int key_column_shift = 3;
constexpr int key_column_ctrl = 4;
constexpr int key_column_alt = 5;
constexpr int key_column_keypad = 6;
constexpr int key_column_keypad_shift = 9;

constexpr int32_t key_insert = 0x5200;  // extended code of Insert: toggles the Insert lock

// The ring entry of the translation `value` of a row: 0 gives no key (false), bits 8-15
// make an extended key, anything else is a character with the row's scan code `row_scan`.
bool translated_key_entry(int32_t value, int32_t row_scan, uint8_t* character, uint8_t* scan);
// The ring entry of character key `code` (0-255) as table column `column` translates it;
// a row without a scan code gives the character itself; false when the key gives none.
bool character_key_entry(uint8_t code, int32_t column, uint8_t* character, uint8_t* scan);
// Puts the translation `value` of a row into the ring (see translated_key_entry).
void put_translated_key(int32_t value, int32_t row_scan);
// Puts character key `code` (0-255) into the ring as table column `column` translates it;
// a row without a scan code puts the character itself.
void put_character_key(uint8_t code, int32_t column);
// Puts extended key `code` (scan code x 256) into the ring as column `column` translates
// it; a row the table leaves empty puts the extended code itself.
void put_extended_key(int32_t code, int32_t column);
