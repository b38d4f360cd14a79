// The generated glyph tables hold code-page-437 shapes, one byte per pixel.
#include <gtest/gtest.h>
#include <cstring>
#include "runtime/console/fonts.h"

namespace {

int lit_pixels(const uint8_t* glyph, int count) {
  int lit = 0;
  for (int i = 0; i < count; ++i) {
    EXPECT_TRUE(glyph[i] == 0 || glyph[i] == 255);
    lit += glyph[i] != 0;
  }
  return lit;
}

TEST(GlyphTables, BlankAndFullBlock) {
  EXPECT_EQ(lit_pixels(&builtin_glyphs_8x16[32 * 128], 128), 0);    // space
  EXPECT_EQ(lit_pixels(&builtin_glyphs_8x16[219 * 128], 128), 128);  // full block
  EXPECT_EQ(lit_pixels(&builtin_glyphs_8x8[219 * 64], 64), 64);
  EXPECT_EQ(lit_pixels(&builtin_glyphs_8x8[32 * 64], 64), 0);
}

TEST(GlyphTables, EveryPrintableGlyphHasPixels) {
  for (int code = 1; code < 255; ++code) {
    if (code == 32) continue;
    EXPECT_GT(lit_pixels(&builtin_glyphs_8x16[code * 128], 128), 0) << "8x16 code " << code;
    EXPECT_GT(lit_pixels(&builtin_glyphs_8x8[code * 64], 64), 0) << "8x8 code " << code;
  }
}

TEST(GlyphTables, ShapesDifferWhereCharactersDiffer) {
  // Letters that look alike in no ROM font must not share a bitmap.
  const char* pairs[] = {"Il", "O0", "lI", "aA", "ae"};
  for (const char* p : pairs) {
    EXPECT_NE(0, memcmp(&builtin_glyphs_8x16[(uint8_t)p[0] * 128], &builtin_glyphs_8x16[(uint8_t)p[1] * 128], 128)) << p;
  }
}

}  // namespace
