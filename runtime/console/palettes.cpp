// Master colour tables (keeps the 256-colour VGA and 64-colour EGA palettes every image palette is filled from).
#include "runtime/console/fonts.h"

uint32_t master_palette_256[256];
uint32_t master_palette_64[64];

namespace {

uint32_t opaque_rgb(uint32_t r, uint32_t g, uint32_t b) { return 0xFF000000u | (r << 16) | (g << 8) | b; }

// The VGA DAC holds 6-bit components; 63 must become 255.
uint32_t scale6(int v) { return static_cast<uint32_t>((v * 255 + 31) / 63); }

uint32_t vga_rgb(int r, int g, int b) { return opaque_rgb(scale6(r), scale6(g), scale6(b)); }

// The sixteen text colours in 6-bit DAC values.
constexpr int text_colors[16][3] = {{0, 0, 0},    {0, 0, 42},   {0, 42, 0},   {0, 42, 42},
                                    {42, 0, 0},   {42, 0, 42},  {42, 21, 0},  {42, 42, 42},
                                    {21, 21, 21}, {21, 21, 63}, {21, 63, 21}, {21, 63, 63},
                                    {63, 21, 21}, {63, 21, 63}, {63, 63, 21}, {63, 63, 63}};

constexpr int grey_ramp[16] = {0, 5, 8, 11, 14, 17, 20, 24, 28, 32, 36, 40, 45, 50, 56, 63};

// Nine hue wheels of 24 colours: high, medium and low intensity, each at high, medium and low
// saturation. Each row lists the five component levels from weakest to strongest.
constexpr int wheel_levels[9][5] = {
    {0, 16, 31, 47, 63},  {31, 39, 47, 55, 63}, {45, 49, 54, 58, 63},
    {0, 7, 14, 21, 28},   {14, 17, 21, 24, 28}, {20, 22, 24, 26, 28},
    {0, 4, 8, 12, 16},    {8, 10, 12, 14, 16},  {11, 12, 13, 15, 16}};

// The wheel runs blue, magenta, red, yellow, green, cyan and back, as level indices (r, g, b).
constexpr int wheel_steps[24][3] = {
    {0, 0, 4}, {1, 0, 4}, {2, 0, 4}, {3, 0, 4}, {4, 0, 4}, {4, 0, 3}, {4, 0, 2}, {4, 0, 1},
    {4, 0, 0}, {4, 1, 0}, {4, 2, 0}, {4, 3, 0}, {4, 4, 0}, {3, 4, 0}, {2, 4, 0}, {1, 4, 0},
    {0, 4, 0}, {0, 4, 1}, {0, 4, 2}, {0, 4, 3}, {0, 4, 4}, {0, 3, 4}, {0, 2, 4}, {0, 1, 4}};

}  // namespace

void palettes_startup() {
  for (int i = 0; i < 16; ++i) master_palette_256[i] = vga_rgb(text_colors[i][0], text_colors[i][1], text_colors[i][2]);
  for (int i = 0; i < 16; ++i) master_palette_256[16 + i] = vga_rgb(grey_ramp[i], grey_ramp[i], grey_ramp[i]);
  for (int w = 0; w < 9; ++w) {
    for (int s = 0; s < 24; ++s) {
      const int* lv = wheel_levels[w];
      master_palette_256[32 + w * 24 + s] = vga_rgb(lv[wheel_steps[s][0]], lv[wheel_steps[s][1]], lv[wheel_steps[s][2]]);
    }
  }
  for (int i = 248; i < 256; ++i) master_palette_256[i] = opaque_rgb(0, 0, 0);

  // EGA index bits rgbRGB: the low three add 0xAA to blue, green, red; the high three 0x55.
  for (uint32_t i = 0; i < 64; ++i) {
    uint32_t b = ((i & 1) ? 0xAA : 0) + ((i & 8) ? 0x55 : 0);
    uint32_t g = ((i & 2) ? 0xAA : 0) + ((i & 16) ? 0x55 : 0);
    uint32_t r = ((i & 4) ? 0xAA : 0) + ((i & 32) ? 0x55 : 0);
    master_palette_64[i] = opaque_rgb(r, g, b);
  }
}
