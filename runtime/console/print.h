// PRINT output: text at the write target's cursor, line ends, zones, control codes.
#pragma once
#include <cstdint>

struct rt_string;

extern int32_t controls_off;        // 1: control characters print as glyphs
extern int32_t label_controls_off;  // same, held by the function-key label line

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
