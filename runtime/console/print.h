// PRINT output: text at the write target's cursor, line ends, zones, control codes.
#pragma once
#include <cstdint>

struct rt_string;

extern int32_t controls_off;        // 1: control characters print as glyphs
extern int32_t label_controls_off;  // same, held by the function-key label line

// Control characters PRINT acts on while controls are on; INPUT reads the same codes as keys.
constexpr uint8_t ctrl_bell = 7;        // BEL: a short pause
constexpr uint8_t ctrl_backspace = 8;   // BS: INPUT takes back a byte (PRINT shows its glyph)
constexpr uint8_t ctrl_tab = 9;         // HT: spaces to the next tab stop
constexpr uint8_t ctrl_line_feed = 10;  // LF: next line
constexpr uint8_t ctrl_home = 11;       // VT: cursor to the top left of the scrolling region
constexpr uint8_t ctrl_form_feed = 12;  // FF: clear the scrolling region and the last row, cursor home
constexpr uint8_t ctrl_return = 13;     // CR: next line; Enter ends INPUT
constexpr uint8_t ctrl_right = 28;      // FS: cursor right
constexpr uint8_t ctrl_left = 29;       // GS: cursor left
constexpr uint8_t ctrl_up = 30;         // RS: cursor up
constexpr uint8_t ctrl_down = 31;       // US: cursor down

void print_text(rt_string* text, int32_t line_end);
void print_newline();
void print_fit_check(rt_string* item);
void print_next_zone();
void print_glyph(uint32_t character);
void controls_set(int32_t value);
int32_t controls_get();

// Console-page forms of COLOR, CLS and LOCATE: escape sequences on standard output.
void console_color(uint32_t foreground, uint32_t background, int32_t passed);
void console_clear(uint32_t background, int32_t passed_background);
void console_locate(int32_t row, int32_t column, int32_t passed);
