// Screen pages, the image table and the text statements, checked against the cells in emulated memory.
#include <thread>
#include <vector>

#include "console/console_fixture.h"
#include "runtime/console/fonts.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/window.h"

namespace {

class screen : public console_test {};

TEST_F(screen, StartUpScreenIsEightBlankPagesInVideoMemory) {
  ASSERT_GE(page_table_size, 8);
  for (int page = 0; page < 8; ++page) {
    screen_image* image = image_at(page_table[page]);
    ASSERT_NE(image, nullptr) << page;
    EXPECT_EQ(image->buffer, conventional_memory + video_memory_offset + 4096 * page);
    EXPECT_EQ(image->width, 80);
    EXPECT_EQ(image->height, 25);
    EXPECT_EQ(image->font_id, 16u);
    EXPECT_EQ(image->view_top, 1);
    EXPECT_EQ(image->view_bottom, 24);
    EXPECT_TRUE(image->owner_flags & is_screen_page);
    EXPECT_EQ(image->palette[7], 0xFFAAAAAAu);
  }
  for (size_t i = 0; i < 65536; i += 2) {
    ASSERT_EQ(conventional_memory[video_memory_offset + i], 32) << i;
    ASSERT_EQ(conventional_memory[video_memory_offset + i + 1], 7) << i;
  }
  EXPECT_EQ(write_target, image_at(page_table[0]));
  EXPECT_EQ(read_source, write_target);
  EXPECT_EQ(visual_page.load(), write_target);
  EXPECT_EQ(auto_extend_rows, 1);
}

TEST_F(screen, HandlesZeroAndMinusOneNameNoImage) {
  EXPECT_EQ(image_at(0), nullptr);
  EXPECT_EQ(image_at(1), nullptr);
  set_write_target(-1);
  EXPECT_EQ(pending_error, 258u);
  pending_error = 0;
  image_free(-1, 1);
  EXPECT_EQ(pending_error, 258u);
  pending_error = 0;
  int32_t fresh = image_slot_new();
  EXPECT_GT(fresh, 1);
  image_slot_release(fresh);
}

TEST_F(screen, FontTablesAndMasterPalettes) {
  const int fonts[][3] = {{8, 8, 8}, {9, 16, 8}, {14, 8, 14}, {15, 16, 14}, {16, 8, 16}, {17, 16, 16}};
  for (const auto& f : fonts) {
    EXPECT_EQ(font_width[f[0]], f[1]) << f[0];
    EXPECT_EQ(font_height[f[0]], f[2]) << f[0];
    EXPECT_EQ(font_flags[f[0]], 16) << f[0];
  }
  const uint32_t text_colors[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA, 0xAA5500, 0xAAAAAA,
                                    0x555555, 0x5555FF, 0x55FF55, 0x55FFFF, 0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(master_palette_256[i], 0xFF000000u | text_colors[i]) << i;
    EXPECT_EQ(write_target->palette[i], master_palette_256[i]) << i;
  }
  EXPECT_EQ(master_palette_256[16], 0xFF000000u);
  EXPECT_EQ(master_palette_256[31], 0xFFFFFFFFu);
  EXPECT_EQ(master_palette_256[32], 0xFF0000FFu);  // the colour wheel starts at full blue
  for (int i = 248; i < 256; ++i) EXPECT_EQ(master_palette_256[i], 0xFF000000u) << i;
  EXPECT_EQ(master_palette_64[0], 0xFF000000u);
  EXPECT_EQ(master_palette_64[7], 0xFFAAAAAAu);
  EXPECT_EQ(master_palette_64[56], 0xFF555555u);
  EXPECT_EQ(master_palette_64[63], 0xFFFFFFFFu);
  EXPECT_EQ(master_palette_64[20], 0xFFAA5500u);  // EGA brown: red + low green
  EXPECT_EQ(glyphs_8x16[219 * 128], 255);
}

TEST_F(screen, TextCellIsTheCheckedWayIn) {
  EXPECT_EQ(text_cell(write_target, 1, 1), conventional_memory + video_memory_offset);
  EXPECT_EQ(text_cell(write_target, 25, 80), video(25, 80));
  EXPECT_EQ(text_cell(write_target, 0, 1), nullptr);
  EXPECT_EQ(text_cell(write_target, 26, 1), nullptr);
  EXPECT_EQ(text_cell(write_target, 1, 81), nullptr);
  EXPECT_EQ(text_cell(nullptr, 1, 1), nullptr);
}

struct locate_case {
  int32_t row, col, passed;
  uint32_t error;
  int32_t want_row, want_col;
};

TEST_F(screen, LocateLimitsOnTheStartUpScreen) {
  const locate_case cases[] = {
      {25, 1, 3, 0, 25, 1},   {24, 80, 3, 0, 24, 80}, {1, 1, 3, 0, 1, 1},  {12, 0, 1, 0, 12, 1},
      {0, 1, 3, 5, 1, 1},     {-3, 1, 3, 5, 1, 1},    {5, 81, 3, 5, 1, 1}, {5, 0, 3, 5, 1, 1},
      {0, 40, 2, 0, 1, 40},
  };
  for (const locate_case& c : cases) {
    SetUp();
    cursor_locate(c.row, c.col, 0, 0, 0, c.passed);
    EXPECT_EQ(pending_error, c.error) << c.row << "," << c.col;
    EXPECT_EQ(write_target->cursor_row, c.want_row) << c.row << "," << c.col;
    EXPECT_EQ(write_target->cursor_col, c.want_col) << c.row << "," << c.col;
    EXPECT_EQ(write_target->height, 25);
  }
}

TEST_F(screen, LocateInsideAViewRegion) {
  view_print_set(5, 10, 1);
  const int32_t cases[][2] = {{4, 5}, {1, 5}, {5, 0}, {10, 0}, {25, 0}};
  for (const auto& c : cases) {
    pending_error = 0;
    locate(c[0], 1);
    EXPECT_EQ(pending_error, static_cast<uint32_t>(c[1])) << c[0];
  }
  EXPECT_EQ(write_target->height, 25);
}

TEST_F(screen, LocateShapeArgumentsAreCheckedAndSharedByAllPages) {
  cursor_locate(0, 0, 1, 2, 7, 4 | 8 | 16);
  EXPECT_EQ(pending_error, 0u);
  for (int page = 0; page < 8; ++page) {
    screen_image* image = image_at(page_table[page]);
    EXPECT_EQ(image->cursor_visible, 1);
    EXPECT_EQ(image->cursor_start_line, 2);
    EXPECT_EQ(image->cursor_end_line, 7);
  }
  const int32_t bad[][4] = {{2, 0, 0, 4}, {0, 32, 0, 8}, {0, 0, -1, 16}};
  for (const auto& b : bad) {
    pending_error = 0;
    cursor_locate(5, 5, b[0], b[1], b[2], 3 | b[3]);
    EXPECT_EQ(pending_error, 5u);
    EXPECT_EQ(write_target->cursor_row, 1);  // nothing changed
  }
  // A refused shape never triggers the switch to 50 rows.
  pending_error = 0;
  cursor_locate(30, 1, 2, 0, 0, 3 | 4);
  EXPECT_EQ(pending_error, 5u);
  EXPECT_EQ(write_target->height, 25);
}

TEST_F(screen, LocateBelowTheScreenSwitchesOnceToFiftyRowsKeepingTheText) {
  print_raw("top line", 0);
  locate(25, 1);
  print_raw("bottom", 0);
  color_set(14, 1, 0, 3);
  locate(30, 1);
  ASSERT_EQ(pending_error, 0u);
  EXPECT_EQ(write_target->width, 80);
  EXPECT_EQ(write_target->height, 50);
  EXPECT_EQ(write_target->font_id, 8u);
  EXPECT_EQ(write_target->cursor_row, 30);
  EXPECT_EQ(write_target->fg_color, 14u);
  EXPECT_EQ(write_target->bg_color, 1u);
  EXPECT_EQ(row_text(1, 1, 8), "top line");
  EXPECT_EQ(row_text(25, 1, 6), "bottom");
  EXPECT_EQ(auto_extend_rows, 0);
  locate(60, 1);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  locate(50, 1);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(write_target->cursor_row, 50);
}

TEST_F(screen, LocateBelowTheScreenAfterWidthIsRefused) {
  screen_width(0, 80, 0, 0, 0, 1);
  ASSERT_EQ(pending_error, 0u);
  locate(30, 1);
  EXPECT_EQ(pending_error, 5u);
  EXPECT_EQ(write_target->height, 25);
}

TEST_F(screen, LocateFailedSwitchStillUsesUpTheExtension) {
  locate(51, 1);
  EXPECT_EQ(pending_error, 5u);
  EXPECT_EQ(auto_extend_rows, 0);
  pending_error = 0;
  locate(30, 1);
  EXPECT_EQ(pending_error, 5u);
}

TEST_F(screen, LocateWithoutPlaceMarksThePendingWrap) {
  print_raw(std::string(80, 'a'), 0);
  ASSERT_EQ(write_target->wrap_pending, 1);
  cursor_locate(0, 0, 1, 0, 0, 4);
  EXPECT_EQ(write_target->wrap_pending, 2);
  EXPECT_EQ(write_target->cursor_col, 80);
  EXPECT_EQ(write_target->cursor_row, 1);
  cursor_locate(0, 5, 0, 0, 0, 2);
  EXPECT_EQ(write_target->wrap_pending, 0);
}

struct color_case {
  uint32_t fg, bg;
  int32_t passed;
  uint32_t error, want_fg, want_bg;
};

TEST_F(screen, ColorLimits) {
  const color_case cases[] = {
      {20, 0, 1, 0, 20, 0}, {0, 9, 2, 0, 7, 1},  {32, 0, 1, 5, 7, 0},  {0, 16, 2, 5, 7, 0},
      {0, 0, 4, 0, 7, 0},   {0, 0, 0, 0, 7, 0},  {31, 15, 3, 0, 31, 7}, {5, 99, 3, 5, 7, 0},
  };
  for (const color_case& c : cases) {
    SetUp();
    color_set(c.fg, c.bg, 5, c.passed);
    EXPECT_EQ(pending_error, c.error) << c.fg << "," << c.bg;
    EXPECT_EQ(write_target->fg_color, c.want_fg) << c.fg << "," << c.bg;
    EXPECT_EQ(write_target->bg_color, c.want_bg) << c.fg << "," << c.bg;
  }
  SetUp();
  color_set(20, 0, 0, 1);
  print_raw("x", 0);
  EXPECT_EQ(cell_attr(1, 1), 0x84);
}

struct cls_case {
  int32_t method, passed;
  bool blank_inside, blank_outside, blank_last;
};

TEST_F(screen, ClearVariantsInsideAViewRegion) {
  const cls_case cases[] = {
      {0, 0, true, false, true},   // no method: region and the last row
      {0, 1, true, true, true},    // everything
      {1, 1, false, false, false}, // only the cursor moves
      {2, 1, true, false, false},  // region only
  };
  for (const cls_case& c : cases) {
    SetUp();
    fill_marker('X');
    view_print_set(5, 10, 1);
    locate(7, 9);
    screen_clear(c.method, 0, c.passed);
    EXPECT_EQ(pending_error, 0u);
    EXPECT_EQ(cell_char(5, 1) == ' ', c.blank_inside) << c.method << "/" << c.passed;
    EXPECT_EQ(cell_char(10, 80) == ' ', c.blank_inside) << c.method << "/" << c.passed;
    EXPECT_EQ(cell_char(4, 80) == ' ', c.blank_outside) << c.method << "/" << c.passed;
    EXPECT_EQ(cell_char(11, 1) == ' ', c.blank_outside) << c.method << "/" << c.passed;
    EXPECT_EQ(cell_char(24, 1) == ' ', c.blank_outside) << c.method << "/" << c.passed;
    EXPECT_EQ(cell_char(25, 1) == ' ', c.blank_last) << c.method << "/" << c.passed;
    EXPECT_EQ(write_target->cursor_row, 5);
    EXPECT_EQ(write_target->cursor_col, 1);
  }
}

TEST_F(screen, ClearColourIsForThisClearingOnly) {
  color_set(17, 0, 0, 1);
  screen_clear(0, 2, 2);
  EXPECT_EQ(cell_attr(3, 3), 0x80 + 0x20 + 1);
  EXPECT_EQ(write_target->bg_color, 0u);
  screen_clear(3, 0, 1);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  screen_clear(0, 65536, 2);
  EXPECT_EQ(pending_error, 5u);
}

TEST_F(screen, ViewPrintRegions) {
  view_print_set(0, 0, 0);
  EXPECT_EQ(write_target->view_top, 1);
  EXPECT_EQ(write_target->view_bottom, 25);
  const int32_t bad[][2] = {{0, 5}, {6, 5}, {1, 26}, {26, 26}};
  for (const auto& b : bad) {
    pending_error = 0;
    view_print_set(b[0], b[1], 1);
    EXPECT_EQ(pending_error, 5u) << b[0] << "," << b[1];
    EXPECT_EQ(write_target->view_bottom, 25);
  }
  pending_error = 0;
  print_raw(std::string(80, 'a'), 0);
  view_print_set(3, 25, 1);
  EXPECT_EQ(write_target->cursor_row, 3);
  EXPECT_EQ(write_target->cursor_col, 1);
  EXPECT_EQ(write_target->wrap_pending, 0);
}

TEST_F(screen, CsrlinAndPosCountAPendingWrapAsTheNextLine) {
  locate(10, 1);
  print_raw(std::string(80, 'a'), 0);
  EXPECT_EQ(cursor_row_get(), 11);
  EXPECT_EQ(cursor_col_get(0), 1);
  locate(24, 1);
  print_raw(std::string(80, 'a'), 0);
  EXPECT_EQ(cursor_row_get(), 24);
  EXPECT_EQ(cursor_col_get(0), 1);
  locate(3, 7);
  EXPECT_EQ(cursor_row_get(), 3);
  EXPECT_EQ(cursor_col_get(0), 7);
}

struct width_case {
  int32_t cols, rows, passed;
  uint32_t error;
  int32_t want_cols, want_rows, want_font;
};

TEST_F(screen, WidthChoosesTheGrid) {
  const width_case cases[] = {
      {40, 0, 1, 0, 40, 25, 17}, {80, 43, 3, 0, 80, 43, 14}, {80, 50, 3, 0, 80, 50, 8},
      {0, 50, 2, 0, 80, 50, 8},  {40, 50, 3, 0, 40, 50, 9},  {50, 0, 1, 5, 80, 25, 16},
      {0, 0, 1, 5, 80, 25, 16},  {80, -1, 3, 5, 80, 25, 16}, {0, 0, 0, 5, 80, 25, 16},
      // The frame may be at most 8192 pixels a side.
      {1024, 1024, 3, 0, 1024, 1024, 8}, {1025, 50, 3, 5, 80, 25, 16}, {0, 1025, 2, 5, 80, 25, 16},
      {3000, 2000, 3, 5, 80, 25, 16},
  };
  for (const width_case& c : cases) {
    SetUp();
    screen_width(0, c.cols, c.rows, 0, 0, c.passed);
    EXPECT_EQ(pending_error, c.error) << c.cols << "x" << c.rows;
    EXPECT_EQ(write_target->width, c.want_cols) << c.cols << "x" << c.rows;
    EXPECT_EQ(write_target->height, c.want_rows) << c.cols << "x" << c.rows;
    EXPECT_EQ(write_target->font_id, static_cast<uint32_t>(c.want_font)) << c.cols << "x" << c.rows;
    EXPECT_EQ(auto_extend_rows, 0);
  }
  // 40x25 pages are 2,048 bytes apart.
  SetUp();
  screen_width(0, 40, 0, 0, 0, 1);
  EXPECT_EQ(image_at(page_table[3])->buffer, conventional_memory + video_memory_offset + 3 * 2048);
  // The same grid again changes nothing, not even the text.
  print_raw("kept", 0);
  screen_width(0, 40, 25, 0, 0, 3);
  EXPECT_EQ(conventional_memory[video_memory_offset], 'k');
  // Columns alone keep a grid of 50 rows.
  SetUp();
  screen_width(0, 80, 50, 0, 0, 3);
  screen_width(0, 40, 0, 0, 0, 1);
  EXPECT_EQ(write_target->width, 40);
  EXPECT_EQ(write_target->height, 50);
  EXPECT_EQ(write_target->font_id, 9u);
  SetUp();
  screen_width(0, 40, 0, 0, 0, 1);
  // Back to 80 columns keeps 25 rows.
  screen_width(0, 80, 0, 0, 0, 1);
  EXPECT_EQ(write_target->width, 80);
  EXPECT_EQ(write_target->font_id, 16u);
}

TEST_F(screen, WidthOfFiftyRowsThenScreenZeroKeepsTheGrid) {
  screen_width(0, 80, 50, 0, 0, 3);
  screen_set(0, 0, 0, 0, 0, 1);
  EXPECT_EQ(write_target->height, 50);
  // Pages of 8,000 bytes: all eight still fit in video memory.
  EXPECT_EQ(image_at(page_table[7])->buffer, conventional_memory + video_memory_offset + 7 * 8000);
}

TEST_F(screen, ScreenRefusesGraphicsModesAndNegativePages) {
  const int32_t bad[][4] = {{1, 0, 0, 1}, {13, 0, 0, 1}, {-1, 0, 0, 1}, {0, -1, 0, 4}, {0, 0, -2, 8}};
  for (const auto& b : bad) {
    SetUp();
    screen_set(b[0], 0, b[1], b[2], 0, b[3]);
    EXPECT_EQ(pending_error, 5u);
    EXPECT_EQ(write_target, image_at(page_table[0]));
  }
}

TEST_F(screen, PagesAreSelectedAndMadeOnDemand) {
  screen_set(0, 0, 1, 0, 0, 1 | 4);
  ASSERT_EQ(pending_error, 0u);
  EXPECT_EQ(write_target, image_at(page_table[1]));
  EXPECT_EQ(visual_page.load(), image_at(page_table[0]));
  EXPECT_EQ(active_page_number, 1);
  print_raw("page one", 0);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(video(1, 1, 1)), 1), "p");
  EXPECT_EQ(cell_char(1, 1), ' ');
  EXPECT_EQ(auto_extend_rows, 0);

  screen_set(0, 0, 9, 9, 0, 4 | 8);
  ASSERT_EQ(pending_error, 0u);
  ASSERT_GE(page_table_size, 10);
  EXPECT_EQ(page_table[8], 0);  // only the named page is made
  screen_image* nine = image_at(page_table[9]);
  ASSERT_NE(nine, nullptr);
  EXPECT_EQ(visual_page.load(), nine);
  EXPECT_EQ(write_target, nine);
  EXPECT_EQ(nine->palette, image_at(page_table[0])->palette);
  EXPECT_FALSE(nine->owner_flags & owns_palette);
  EXPECT_TRUE(nine->owner_flags & is_screen_page);
  EXPECT_EQ(nine->width, 80);
  EXPECT_EQ(nine->height, 25);
  EXPECT_EQ(text_cell(nine, 1, 1)[0], ' ');
  EXPECT_EQ(text_cell(nine, 1, 1)[1], 7);

  // A rebuild releases the pages, the one made on demand included.
  int32_t nine_index = page_table[9];
  screen_width(0, 40, 0, 0, 0, 1);
  EXPECT_EQ(image_at(nine_index) == nullptr || page_table[9] == 0, true);
  EXPECT_EQ(visual_page.load(), image_at(page_table[0]));
}

TEST_F(screen, WriteTargetAndReadSourceTakePagesAndHandles) {
  set_write_target(2);
  EXPECT_EQ(write_target, image_at(page_table[2]));
  EXPECT_EQ(get_write_target(), -page_table[2]);
  set_read_source(3);
  EXPECT_EQ(get_read_source(), -page_table[3]);
  int32_t copy = image_copy(0, 0, 0);
  set_write_target(copy);
  EXPECT_EQ(get_write_target(), copy);
  image_free(copy, 1);
  EXPECT_EQ(write_target, visual_page.load());
  set_read_source(copy);
  EXPECT_EQ(pending_error, 258u);
}

TEST_F(screen, ImageCopyIsAPrivateCopy) {
  print_raw("hello", 0);
  color_set(3, 2, 0, 3);
  int32_t handle = image_copy(0, 0, 0);
  ASSERT_LT(handle, -1);
  screen_image* copy = image_at(-handle);
  ASSERT_NE(copy, nullptr);
  screen_image* page = image_at(page_table[0]);
  EXPECT_NE(copy->buffer, page->buffer);
  EXPECT_NE(copy->palette, page->palette);
  EXPECT_EQ(std::memcmp(copy->buffer, page->buffer, 4000), 0);
  EXPECT_EQ(copy->cursor_col, 6);
  EXPECT_EQ(copy->fg_color, 3u);
  EXPECT_FALSE(copy->owner_flags & is_screen_page);
  EXPECT_EQ(copy->owner_flags, owns_buffer | owns_palette);
  // Writing to the copy leaves the page alone.
  set_write_target(handle);
  print_raw("Z", 0);
  EXPECT_EQ(text_cell(copy, 1, 6)[0], 'Z');
  EXPECT_EQ(cell_char(1, 6), ' ');
  image_free(handle, 1);
  EXPECT_EQ(image_at(-handle), nullptr);
  image_free(handle, 1);
  EXPECT_EQ(pending_error, 258u);
  pending_error = 0;
  EXPECT_EQ(image_copy(-12345, 0, 0), 0);
  EXPECT_EQ(pending_error, 258u);
}

TEST_F(screen, ImageFreeRefusesScreenPages) {
  image_free(0, 1);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  image_free(-page_table[3], 1);
  EXPECT_EQ(pending_error, 5u);
  EXPECT_NE(image_at(page_table[3]), nullptr);
}

TEST_F(screen, PageCopyRules) {
  print_raw("source", 0);
  page_copy(0, 2);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(std::memcmp(video(1, 1, 2), video(1, 1, 0), 4000), 0);
  page_copy(0, 0);  // onto itself: nothing
  EXPECT_EQ(pending_error, 0u);
  int32_t small = image_new(40, 25, 0);
  ASSERT_GT(small, 1);
  page_copy(-small, 0);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  page_copy(-99999, 0);
  EXPECT_EQ(pending_error, 258u);
  pending_error = 0;
  page_copy(0, 12);  // made on demand
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(text_cell(image_at(page_table[12]), 1, 1)[0], 's');
  image_release(small);
}

TEST_F(screen, ImageMakingRefusesBadSizes) {
  EXPECT_EQ(image_new(0, 25, 0), 0);
  EXPECT_EQ(image_new(80, -1, 0), 0);
  EXPECT_EQ(image_new(80, 25, 13), 0);
  EXPECT_EQ(image_over_buffer(conventional_memory, 0, 0, 0), 0);
  int32_t index = image_new(3, 2, 0);
  screen_image* image = image_at(index);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->view_bottom, 1);
  EXPECT_EQ(image->transparent_index, -1);
  EXPECT_EQ(image->color_mask, 65535u);
  EXPECT_EQ(image->cursor_start_line, 4);
  EXPECT_EQ(image->draw_scale, 1.0);
  image_release(index);
}

TEST_F(screen, FreedSlotsAreReusedAndRecordsStayPutWhileTheTableGrows) {
  screen_image* shown = visual_page.load();
  int32_t size_before = image_table_size;
  std::vector<int32_t> slots;
  for (int i = 0; i < image_table_step + 10; ++i) slots.push_back(image_slot_new());
  EXPECT_GT(image_table_size, size_before);
  EXPECT_EQ(visual_page.load(), shown);
  EXPECT_EQ(image_at(page_table[0]), shown);
  EXPECT_EQ(shown->width, 80);
  for (int32_t slot : slots) EXPECT_EQ(image_slot_release(slot), 1);
  EXPECT_EQ(image_slot_release(slots[0]), 0);  // already free
  EXPECT_EQ(image_slot_new(), slots.back());   // last freed, first reused
}

TEST_F(screen, StartUpCanRunAgain) {
  for (int i = 0; i < 3; ++i) screen_startup();
  EXPECT_EQ(next_unused_slot, 2 + 8);
  EXPECT_EQ(write_target->width, 80);
}

}  // namespace

namespace {

// Stands in for the frame builder: answers one pause request and notes that it saw it.
struct pause_responder {
  std::atomic<int32_t> answered{0};
  std::atomic<int32_t> stop{0};
  std::thread thread;
  pause_responder()
      : thread([this] {
          while (!stop.load()) {
            if (handshake_answer(frame_build_pause)) answered = 1;
            std::this_thread::yield();
          }
        }) {}
  ~pause_responder() {
    stop = 1;
    thread.join();
  }
};

struct running_threads {
  int32_t saved_started = threads_started.load();
  int32_t saved_auto = auto_display.load();
  int32_t saved_hidden = screen_hidden.load();
  running_threads(int32_t automatic, int32_t hidden) {
    threads_started = 1;
    auto_display = automatic;
    screen_hidden = hidden;
  }
  ~running_threads() {
    threads_started = saved_started;
    auto_display = saved_auto;
    screen_hidden = saved_hidden;
  }
};

TEST_F(screen, RebuildWaitsForTheFrameBuilderAndReleasesIt) {
  running_threads running(1, 0);
  pause_responder builder;
  screen_width(0, 40, 0, 0, 0, 1);
  EXPECT_EQ(builder.answered.load(), 1);
  EXPECT_EQ(frame_build_pause.state.load(), handshake_idle);
  EXPECT_EQ(write_target->width, 40);
}

TEST_F(screen, RebuildAsksNothingWithoutAutomaticDisplay) {
  running_threads running(0, 0);
  pause_responder builder;
  screen_width(0, 40, 0, 0, 0, 1);
  EXPECT_EQ(builder.answered.load(), 0);
  EXPECT_EQ(frame_build_pause.state.load(), handshake_idle);
}

TEST_F(screen, RebuildOfAHiddenScreenDoesNotWaitForAnAnswer) {
  running_threads running(1, 1);
  screen_width(0, 40, 0, 0, 0, 1);  // no builder runs: must not hang
  EXPECT_EQ(frame_build_pause.state.load(), handshake_idle);
  EXPECT_EQ(write_target->width, 40);
}

}  // namespace
