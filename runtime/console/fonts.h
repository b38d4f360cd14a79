// Built-in fonts and palettes: glyph tables, font geometry and the master colour tables.
#pragma once
#include <cstdint>

// Generated at build time from the packaged console fonts, code page 437 order,
// one byte per pixel (0 or 255), rows top to bottom, 8 pixels per row.
extern const uint8_t builtin_glyphs_8x8[256 * 64];
extern const uint8_t builtin_glyphs_8x16[256 * 128];

// Working copies made at start-up (the renderer and the message box read these).
extern uint8_t glyphs_8x8[256 * 64];
extern uint8_t glyphs_8x16[256 * 128];

// Font tables indexed by font number (49 entries).
extern int32_t font_width[49];   // 0 = variable width
extern int32_t font_height[49];
extern int32_t font_flags[49];   // 32: strings are 4-byte code points

// Master palettes, alpha forced to 255 at start-up.
extern uint32_t master_palette_256[256];
extern uint32_t master_palette_64[64];

void fonts_startup();     // font tables and glyph copies
void palettes_startup();  // master palettes
