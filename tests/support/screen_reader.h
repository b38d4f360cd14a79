// The text screen read back from a window's pixels: 8x16 cells decoded with the runtime's glyphs into codes and colours.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "support/screen_text.h"
#include "support/x_windows.h"

// Index 0-15 of the text colour nearest to 0xRRGGBB.
int nearest_text_color(unsigned long rgb);
// The 16 text colours, 0xRRGGBB.
extern const unsigned long text_colors[16];

// Reads the window's pixels and decodes cols x rows cells of 8x16 pixels, centred in the
// window at the largest whole multiple of their size that fits, sampled at that scale. Parts of the window outside the screen are left out of the matching (a
// freeglut window at the default position starts at -1,-1). What another window covers
// reads as that window's pixels. False when the window cannot be read or is too small.
bool x_read_screen(Display* display, unsigned long window, int cols, int rows, screen_text* out);
// Same, for the whole window: cols = width / 8, rows = height / 16.
bool x_read_window_cells(Display* display, unsigned long window, screen_text* out);
// Reads again (every 20 ms) until done() holds; false on timeout. `last` gets the final read.
bool x_wait_screen(Display* display, unsigned long window, int cols, int rows,
                   const std::function<bool(const screen_text&)>& done, int timeout_ms,
                   screen_text* last = nullptr);

// Decodes an 8x16-cell screen from 0xRRGGBB pixels (row-major, width*height), the part
// of x_read_screen that needs no server. Pixels equal to x_unknown_pixel (parts of the
// window outside the screen) match any glyph.
const unsigned long x_unknown_pixel = 0x1000000;
bool decode_screen(const std::vector<unsigned long>& pixels, int width, int height, int cols, int rows,
                   screen_text* out);
