// Frame builder tests: a hand-made text page is built into software frames and the pixels checked.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/frame_presenter.h"
#include "runtime/window/window.h"
#include "support/text_page.h"

namespace {

class FrameBuilder : public ::testing::Test {
 protected:
  test_page page;
  void SetUp() override {
    static bool fonts_ready = false;
    if (!fonts_ready) {
      fonts_startup();
      fonts_ready = true;
    }
    unsetenv("DISPLAY");  // alerts go to stderr instead of a box
    frame_build_pause.state.store(handshake_idle);
    screen_hidden.store(0);
    auto_display.store(1);
    frame_counter.store(0);
    blink_enabled = 1;
    renderer_reset();
    page.make(80, 25, 16);
  }
  void TearDown() override { visual_page.store(nullptr); }

  // The newest ready frame, or null.
  static software_frame* newest_ready() {
    software_frame* newest = nullptr;
    for (software_frame& slot : software_frames)
      if (slot.state.load() == frame_ready && (!newest || slot.order.load() > newest->order.load())) newest = &slot;
    return newest;
  }
  static int count_in_state(int32_t state) {
    int n = 0;
    for (software_frame& slot : software_frames) n += slot.state.load() == state;
    return n;
  }
  static uint32_t pixel(const software_frame* frame, int x, int y) { return frame->pixels[size_t(y) * frame->width + x]; }
};

// Every pixel of an 8x16 cell compared with the glyph in the given colours.
::testing::AssertionResult cell_shows(const software_frame* frame, int column, int row, uint8_t character,
                                      uint32_t foreground, uint32_t background) {
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 8; ++x) {
      uint32_t expected = glyphs_8x16[character * 128 + y * 8 + x] ? foreground : background;
      uint32_t actual = frame->pixels[size_t(row * 16 + y) * frame->width + column * 8 + x];
      if (actual != expected)
        return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << std::hex << actual
                                             << ", expected " << expected;
    }
  }
  return ::testing::AssertionSuccess();
}

// Which lines of a cell hold the cursor colour (on a blank cell of black background).
std::vector<int> cursor_rows_in_cell(const software_frame* frame, int column, int row, int height, uint32_t colour) {
  std::vector<int> lines;
  for (int y = 0; y < height; ++y) {
    bool full = true;
    for (int x = 0; x < 8; ++x)
      full = full && frame->pixels[size_t(row * height + y) * frame->width + column * 8 + x] == colour;
    if (full) lines.push_back(y);
  }
  return lines;
}

TEST_F(FrameBuilder, FirstFrameHasThePageSizeAndIsReady) {
  build_frame();
  software_frame* frame = newest_ready();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->width, 640);
  EXPECT_EQ(frame->height, 400);
  EXPECT_EQ(last_frame_order.load(), frame->order.load());
  EXPECT_EQ(previous_frame_valid.load(), 1);
}

TEST_F(FrameBuilder, GlyphColoursComeFromTheAttribute) {
  struct cell_case {
    uint8_t character, attribute;
    int foreground, background;
  } cases[] = {
      {'A', 0x07, 7, 0}, {'A', 0x1E, 14, 1}, {219, 0x4F, 15, 4}, {' ', 0x70, 0, 7}, {'g', 0x0C, 12, 0}, {225, 0x2A, 10, 2},
  };
  int column = 0;
  for (const cell_case& c : cases) page.put(column++, 3, c.character, c.attribute);
  // And every character once, in rows 5 to 8: every glyph row pattern the font has.
  for (int code = 0; code < 256; ++code) page.put(code % 64, 5 + code / 64, uint8_t(code), 0x4E);
  build_frame();
  software_frame* frame = newest_ready();
  ASSERT_NE(frame, nullptr);
  column = 0;
  for (const cell_case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "character " << int(c.character) << " attribute " << int(c.attribute));
    EXPECT_TRUE(cell_shows(frame, column++, 3, c.character, text_colours[c.foreground], text_colours[c.background]));
  }
  for (int code = 0; code < 256; ++code)
    EXPECT_TRUE(cell_shows(frame, code % 64, 5 + code / 64, uint8_t(code), text_colours[14], text_colours[4]))
        << "character " << code;
}

TEST_F(FrameBuilder, BlinkingCharacterVanishesInTheBlinkPhase) {
  page.put(10, 5, 'A', 0x87);
  frame_counter.store(7);  // bit 3 clear: shown
  build_frame();
  EXPECT_TRUE(cell_shows(newest_ready(), 10, 5, 'A', text_colours[7], text_colours[0]));
  frame_counter.store(8);  // bit 3 set: drawn in the background colour
  build_frame();
  EXPECT_TRUE(cell_shows(newest_ready(), 10, 5, 'A', text_colours[0], text_colours[0]));
  frame_counter.store(16);
  build_frame();
  EXPECT_TRUE(cell_shows(newest_ready(), 10, 5, 'A', text_colours[7], text_colours[0]));
}

TEST_F(FrameBuilder, WithoutBlinkBitSevenSelectsTheBrightBackground) {
  page.put(10, 5, 'A', 0x87);
  build_frame();  // painted with blink on; switching it off must repaint at once
  blink_enabled = 0;
  for (int counter : {0, 8}) {
    frame_counter.store(counter);
    build_frame();
    EXPECT_TRUE(cell_shows(newest_ready(), 10, 5, 'A', text_colours[7], text_colours[8])) << "counter " << counter;
  }
}

TEST_F(FrameBuilder, DefaultCursorIsOneLineAtRowFourteen) {
  page.image.cursor_visible = 1;
  page.image.cursor_col = 3;
  page.image.cursor_row = 2;
  page.put(2, 1, ' ', 0x0E);
  frame_counter.store(8);
  build_frame();
  EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 2, 1, 16, text_colours[14]), std::vector<int>{14});
  frame_counter.store(16);  // off phase
  build_frame();
  EXPECT_TRUE(cursor_rows_in_cell(newest_ready(), 2, 1, 16, text_colours[14]).empty());
}

TEST_F(FrameBuilder, CursorTakesTheForegroundWithoutBlink) {
  page.image.cursor_visible = 1;
  page.put(0, 0, ' ', 0x9A);  // blinking light green on blue
  frame_counter.store(8);     // cursor on, blink phase on
  build_frame();
  EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 0, 0, 16, text_colours[10]), std::vector<int>{14});
}

TEST_F(FrameBuilder, ShowingOrReshapingTheCursorRepaintsItsCell) {
  frame_counter.store(8);
  build_frame();
  page.image.cursor_visible = 1;
  build_frame();
  EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 0, 0, 16, text_colours[7]), std::vector<int>{14});
  page.image.cursor_start_line = 0;
  page.image.cursor_end_line = 0;
  build_frame();
  EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 0, 0, 16, text_colours[7]), std::vector<int>{0});
  page.image.cursor_visible = 0;
  build_frame();
  EXPECT_TRUE(cursor_rows_in_cell(newest_ready(), 0, 0, 16, text_colours[7]).empty());
}

// The frame thread wakes for the blink phase only while something the frame shows blinks.
TEST_F(FrameBuilder, LastFrameBlinksOnlyWithAShownCursorOrBlinkingText) {
  struct blink_case {
    const char* what;
    uint8_t cursor_visible;
    int16_t cursor_row;  // 1-based; the page has 25 rows
    uint8_t attribute;   // of one cell
    int32_t blink;       // blink_enabled
    bool blinks;
  } cases[] = {
      {"nothing blinks", 0, 1, 0x07, 1, false},
      {"a shown cursor", 1, 1, 0x07, 1, true},
      {"blinking text", 0, 1, 0x87, 1, true},
      {"bit 7 with blink off", 0, 1, 0x87, 0, false},
      {"a cursor below the page", 1, 26, 0x07, 1, false},
  };
  for (const blink_case& c : cases) {
    page.image.cursor_visible = c.cursor_visible;
    page.image.cursor_row = c.cursor_row;
    page.put(10, 5, 'A', c.attribute);
    blink_enabled = c.blink;
    build_frame();
    EXPECT_EQ(last_frame_blinks(), c.blinks) << c.what;
  }
}

TEST_F(FrameBuilder, HiddenCursorIsNotDrawn) {
  page.image.cursor_visible = 0;
  frame_counter.store(8);
  build_frame();
  EXPECT_TRUE(cursor_rows_in_cell(newest_ready(), 0, 0, 16, text_colours[7]).empty());
}

std::vector<int> lines_of(int start, int end, int height) {
  int first = -1, count = -1;
  cursor_lines(start, end, height, &first, &count);
  std::vector<int> lines;
  for (int i = 0; i < count; ++i) lines.push_back(first + i);
  return lines;
}
std::vector<int> range(int first, int last) {
  std::vector<int> lines;
  for (int i = first; i <= last; ++i) lines.push_back(i);
  return lines;
}

TEST(CursorShape, EveryCaseOfTheTable) {
  struct shape_case {
    int start, end, height;
    std::vector<int> lines;
  } cases[] = {
      {0, 0, 16, {0}},                 // L = 0 and S = 0
      {0, 0, 8, {0}},
      {5, 0, 16, {}},                  // L = 0 and S != 0
      {7, 5, 16, range(5, 15)},        // L < S: from L to the bottom
      {7, 5, 8, range(5, 7)},
      {31, 20, 16, {}},                // from a line beyond the cell: nothing
      {0, 0, 14, {0}},
      {2, 2, 16, {2}},                 // S = L <= 3
      {3, 3, 8, {3}},
      {4, 4, 16, {14}},                // S = L > 3: one line at the bottom (14 on 16-line cells)
      {4, 4, 8, {7}},
      {7, 7, 14, {13}},
      {0, 3, 16, range(0, 3)},         // S < L, S <= 1, L <= 3
      {1, 2, 8, range(1, 2)},
      {0, 7, 16, range(0, 15)},        // S <= 1, L > 3: from S to the bottom
      {1, 13, 14, range(1, 13)},
      {2, 3, 16, {2, 3}},              // S = 2, L = 3
      {2, 4, 16, range(12, 14)},       // S = 2, L = 4: three lines at the bottom
      {2, 4, 8, range(5, 7)},
      {2, 7, 16, range(2, 15)},        // S = 2, L > 4: from 2 to the bottom
      {2, 7, 8, range(2, 7)},
      {3, 4, 16, {13, 14}},            // S >= 3, L = S + 1
      {6, 7, 8, {6, 7}},
      {3, 5, 16, range(12, 14)},       // S >= 3, L = S + 2
      {11, 13, 14, range(11, 13)},
      {3, 7, 16, range(8, 15)},        // S >= 3, L > S + 2: the lower half
      {3, 7, 8, range(4, 7)},
      {3, 13, 14, range(7, 13)},
  };
  for (const shape_case& c : cases) {
    EXPECT_EQ(lines_of(c.start, c.end, c.height), c.lines)
        << "S=" << c.start << " L=" << c.end << " H=" << c.height;
  }
}

TEST_F(FrameBuilder, CursorShapeReachesThePaintedCell) {
  struct paint_case {
    uint8_t start, end;
    std::vector<int> lines;
  } cases[] = {{0, 7, range(0, 15)}, {6, 7, {13, 14}}, {0, 0, {0}}, {5, 0, {}}};
  page.image.cursor_visible = 1;
  frame_counter.store(8);
  for (const paint_case& c : cases) {
    page.image.cursor_start_line = c.start;
    page.image.cursor_end_line = c.end;
    build_frame();
    EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 0, 0, 16, text_colours[7]), c.lines)
        << "S=" << int(c.start) << " L=" << int(c.end);
  }
}

TEST_F(FrameBuilder, HeldCursorShowsAtTheStartOfTheNextRow) {
  page.image.cursor_visible = 1;
  page.image.cursor_col = 80;
  page.image.cursor_row = 10;
  page.image.wrap_pending = 2;
  frame_counter.store(8);
  build_frame();
  EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 0, 10, 16, text_colours[7]), std::vector<int>{14});
  EXPECT_TRUE(cursor_rows_in_cell(newest_ready(), 79, 9, 16, text_colours[7]).empty());

  // A deferred wrap without the hold, and a hold on the last row, stay in place.
  page.image.wrap_pending = 1;
  build_frame();
  EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 79, 9, 16, text_colours[7]), std::vector<int>{14});
  EXPECT_TRUE(cursor_rows_in_cell(newest_ready(), 0, 10, 16, text_colours[7]).empty());
  page.image.wrap_pending = 2;
  page.image.cursor_row = 25;
  build_frame();
  EXPECT_EQ(cursor_rows_in_cell(newest_ready(), 79, 24, 16, text_colours[7]), std::vector<int>{14});
}

TEST_F(FrameBuilder, UnchangedPageGivesTheSlotBack) {
  build_frame();
  software_frame* first = newest_ready();
  ASSERT_NE(first, nullptr);
  int64_t first_order = first->order.load();
  build_frame();
  EXPECT_EQ(newest_ready(), first);
  EXPECT_EQ(count_in_state(frame_ready), 1);
  EXPECT_EQ(count_in_state(frame_free), 2);
  EXPECT_EQ(last_frame_order.load(), first_order + 1);  // offered all the same
  EXPECT_EQ(next_frame_order.load(), first_order + 2);
}

TEST_F(FrameBuilder, OnlyChangedCellsAreRepainted) {
  build_frame();
  software_frame* first = newest_ready();
  // Mark a cell the builder must not repaint; the next frame must carry the mark over.
  first->pixels[size_t(5 * 16) * 640 + 5 * 8] = 0x12345678;
  page.put(0, 0, 'X', 0x1F);
  build_frame();
  software_frame* second = newest_ready();
  ASSERT_NE(second, first);
  EXPECT_EQ(pixel(second, 5 * 8, 5 * 16), 0x12345678u);
  EXPECT_TRUE(cell_shows(second, 0, 0, 'X', text_colours[15], text_colours[1]));
}

TEST_F(FrameBuilder, FullRepaintWhenComparisonIsOff) {
  struct reason {
    const char* name;
    void (*apply)(test_page&);
  } reasons[] = {
      {"frame marked invalid", [](test_page&) { previous_frame_valid = 0; }},
      {"palette changed", [](test_page& p) { p.palette[200] ^= 1; }},
  };
  for (const reason& r : reasons) {
    SCOPED_TRACE(r.name);
    build_frame();
    software_frame* first = newest_ready();
    first->pixels[size_t(5 * 16) * 640 + 5 * 8] = 0x12345678;
    r.apply(page);
    build_frame();
    software_frame* second = newest_ready();
    ASSERT_NE(second, first);
    EXPECT_EQ(pixel(second, 5 * 8, 5 * 16), text_colours[0]);
  }
}

TEST_F(FrameBuilder, MovingCursorRepaintsOldAndNewCell) {
  page.image.cursor_visible = 1;
  frame_counter.store(8);
  build_frame();
  page.image.cursor_col = 2;
  build_frame();
  software_frame* frame = newest_ready();
  EXPECT_TRUE(cursor_rows_in_cell(frame, 0, 0, 16, text_colours[7]).empty());
  EXPECT_EQ(cursor_rows_in_cell(frame, 1, 0, 16, text_colours[7]), std::vector<int>{14});
}

TEST_F(FrameBuilder, DoubleWidthFontDoublesEachPixel) {
  page.make(40, 25, 17);
  page.put(1, 0, 'W', 0x0F);
  build_frame();
  software_frame* frame = newest_ready();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->width, 640);
  EXPECT_EQ(frame->height, 400);
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 8; ++x) {
      uint32_t expected = glyphs_8x16['W' * 128 + y * 8 + x] ? text_colours[15] : text_colours[0];
      ASSERT_EQ(pixel(frame, 16 + 2 * x, y), expected) << x << "," << y;
      ASSERT_EQ(pixel(frame, 16 + 2 * x + 1, y), expected) << x << "," << y;
    }
  }
}

TEST_F(FrameBuilder, FontGeometryAndGlyphRows) {
  struct font_case {
    uint32_t font;
    int columns, rows, width, height, glyph_height;
    const uint8_t* first_row;
    int stride;
  } cases[] = {
      {8, 80, 50, 640, 400, 8, glyphs_8x8, 64},
      {14, 80, 43, 640, 602, 14, glyphs_8x16 + 8, 128},
      {16, 80, 25, 640, 400, 16, glyphs_8x16, 128},
  };
  for (const font_case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "font " << c.font);
    page.make(c.columns, c.rows, c.font);
    page.put(3, 2, 'B', 0x0F);
    build_frame();
    software_frame* frame = newest_ready();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->width, c.width);
    EXPECT_EQ(frame->height, c.height);
    for (int y = 0; y < c.glyph_height; ++y)
      for (int x = 0; x < 8; ++x)
        ASSERT_EQ(pixel(frame, 3 * 8 + x, 2 * c.glyph_height + y),
                  c.first_row['B' * c.stride + y * 8 + x] ? text_colours[15] : text_colours[0]);
  }
}

TEST_F(FrameBuilder, PauseHandshakeBuildsNothing) {
  frame_build_pause.state.store(handshake_asked);
  int64_t next = next_frame_order.load();
  build_frame();
  EXPECT_EQ(frame_build_pause.state.load(), handshake_held);
  EXPECT_EQ(next_frame_order.load(), next);
  EXPECT_EQ(count_in_state(frame_free), 3);
  frame_build_pause.state.store(handshake_held);  // still paused
  build_frame();
  EXPECT_EQ(count_in_state(frame_free), 3);
  frame_build_pause.state.store(handshake_idle);
  build_frame();
  EXPECT_EQ(count_in_state(frame_ready), 1);
}

TEST_F(FrameBuilder, AskedFrameReturnsToManualMode) {
  for (int hidden : {0, 1}) {
    screen_hidden.store(hidden);
    auto_display.store(-1);
    build_frame();
    EXPECT_EQ(auto_display.load(), 0) << "hidden " << hidden;
  }
  auto_display.store(1);
  build_frame();
  EXPECT_EQ(auto_display.load(), 1);
}

TEST_F(FrameBuilder, HiddenScreenBuildsNoFrame) {
  screen_hidden.store(1);
  build_frame();
  EXPECT_EQ(count_in_state(frame_free), 3);
  EXPECT_EQ(last_frame_order.load(), 0);
}

TEST_F(FrameBuilder, NoPageGivesTheSlotBack) {
  visual_page.store(nullptr);
  build_frame();
  EXPECT_EQ(count_in_state(frame_free), 3);
  EXPECT_EQ(last_frame_order.load(), 1);
}

TEST_F(FrameBuilder, NoFreeSlotBuildsNothing) {
  for (software_frame& slot : software_frames) slot.state.store(frame_shown);
  int64_t last = last_frame_order.load();
  build_frame();
  EXPECT_EQ(count_in_state(frame_shown), 3);
  EXPECT_EQ(last_frame_order.load(), last);
  for (software_frame& slot : software_frames) slot.state.store(frame_free);
}

TEST_F(FrameBuilder, OldestReadySlotIsReusedWhenNoneIsFree) {
  // Three frames in a row with changes: all three slots end up ready, then the oldest is reused.
  int64_t orders[4];
  for (int i = 0; i < 4; ++i) {
    page.put(i, 0, 'A' + i, 7);
    build_frame();
    orders[i] = newest_ready()->order.load();
  }
  EXPECT_EQ(count_in_state(frame_ready), 3);
  EXPECT_EQ(orders[3], orders[2] + 1);
  for (software_frame& slot : software_frames) EXPECT_NE(slot.order.load(), orders[0]);
  EXPECT_TRUE(cell_shows(newest_ready(), 0, 0, 'A', text_colours[7], text_colours[0]));
  EXPECT_TRUE(cell_shows(newest_ready(), 3, 0, 'D', text_colours[7], text_colours[0]));
}

}  // namespace
