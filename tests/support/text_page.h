// A text page made by hand (cells, palette, image record) so the window layer is tested without the console.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "runtime/console/screen.h"

// The 16 text colours as a palette holds them.
constexpr uint32_t text_colours[16] = {0xFF000000, 0xFF0000AA, 0xFF00AA00, 0xFF00AAAA, 0xFFAA0000, 0xFFAA00AA,
                                       0xFFAA5500, 0xFFAAAAAA, 0xFF555555, 0xFF5555FF, 0xFF55FF55, 0xFF55FFFF,
                                       0xFFFF5555, 0xFFFF55FF, 0xFFFFFF55, 0xFFFFFFFF};

struct test_page {
  screen_image image{};
  std::vector<uint8_t> cells;
  uint32_t palette[256];

  // Blank cells in `attribute`, the cursor in the top left corner (hidden), shown as the visual page.
  void make(int columns, int rows, uint32_t font, uint8_t attribute = 7) {
    cells.assign(size_t(columns) * rows * 2, 0);
    for (size_t i = 0; i < cells.size(); i += 2) {
      cells[i] = ' ';
      cells[i + 1] = attribute;
    }
    for (int i = 0; i < 256; ++i) palette[i] = i < 16 ? text_colours[i] : 0xFF000000u | uint32_t(i);
    image = screen_image{};
    image.in_use = 1;
    image.is_text = 1;
    image.width = uint16_t(columns);
    image.height = uint16_t(rows);
    image.bytes_per_pixel = 2;
    image.bits_per_pixel = 16;
    image.font_id = font;
    image.cursor_col = 1;
    image.cursor_row = 1;
    image.cursor_visible = 0;
    image.cursor_start_line = 4;
    image.cursor_end_line = 4;
    image.buffer = cells.data();
    image.palette = palette;
    visual_page.store(&image);
  }
  void put(int column, int row, uint8_t character, uint8_t attribute) {  // 0-based
    size_t at = (size_t(row) * image.width + column) * 2;
    cells[at] = character;
    cells[at + 1] = attribute;
  }
};
