// Built-in text fonts (keeps the font geometry tables and the working copies of the glyph sets).
#include "runtime/console/fonts.h"

#include <cstring>

uint8_t glyphs_8x8[256 * 64];
uint8_t glyphs_8x16[256 * 128];

int32_t font_width[49];
int32_t font_height[49];
int32_t font_flags[49];

namespace {

// Fonts 9, 15 and 17 draw each glyph pixel twice as wide, for 40-column screens.
struct builtin_font {
  int32_t id, width, height;
};
constexpr builtin_font builtin_fonts[] = {{8, 8, 8},   {9, 16, 8},   {14, 8, 14},
                                          {15, 16, 14}, {16, 8, 16}, {17, 16, 16}};
constexpr int32_t monospace_flag = 16;

}  // namespace

void fonts_startup() {
  std::memset(font_width, 0, sizeof font_width);
  std::memset(font_height, 0, sizeof font_height);
  std::memset(font_flags, 0, sizeof font_flags);
  for (const builtin_font& f : builtin_fonts) {
    font_width[f.id] = f.width;
    font_height[f.id] = f.height;
    font_flags[f.id] = monospace_flag;
  }
  std::memcpy(glyphs_8x8, builtin_glyphs_8x8, sizeof glyphs_8x8);
  std::memcpy(glyphs_8x16, builtin_glyphs_8x16, sizeof glyphs_8x16);
}
