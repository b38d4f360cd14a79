// PRINT output: wrapping, zones, control codes, scrolling inside the view region, the console page.
#include <string>

#include "console/console_fixture.h"

namespace {

class print_output : public console_test {};

TEST_F(print_output, FullLineWithLineEndMovesDownOnce) {
  print_raw(std::string(80, 'a'), 1);
  EXPECT_EQ(write_target->cursor_row, 2);
  EXPECT_EQ(write_target->cursor_col, 1);
  EXPECT_EQ(write_target->wrap_pending, 0);
  EXPECT_EQ(cell_char(1, 80), 'a');
  EXPECT_EQ(cell_char(2, 1), ' ');
}

TEST_F(print_output, FullLineWithSemicolonDefersTheWrap) {
  print_raw(std::string(80, 'a'), 0);
  EXPECT_EQ(write_target->cursor_row, 1);
  EXPECT_EQ(write_target->cursor_col, 80);
  EXPECT_EQ(write_target->wrap_pending, 1);
  print("x", 0);
  EXPECT_EQ(cell_char(2, 1), 'x');
  EXPECT_EQ(cell_char(1, 80), 'a');
  EXPECT_EQ(write_target->cursor_row, 2);
  EXPECT_EQ(write_target->cursor_col, 2);
}

TEST_F(print_output, EmptyPrintAfterAPendingWrapMovesExactlyOneLine) {
  print_raw(std::string(80, 'a'), 0);
  print_raw("", 1);
  EXPECT_EQ(write_target->cursor_row, 2);
  EXPECT_EQ(write_target->cursor_col, 1);
  EXPECT_EQ(write_target->wrap_pending, 0);
}

TEST_F(print_output, LongTextWrapsAcrossLines) {
  print_raw(std::string(100, 'b'), 1);
  EXPECT_EQ(cell_char(2, 20), 'b');
  EXPECT_EQ(cell_char(2, 21), ' ');
  EXPECT_EQ(write_target->cursor_row, 3);
  // A line that ends in a carriage return and then a line end advances two lines.
  print_raw("c\r", 1);
  EXPECT_EQ(write_target->cursor_row, 5);
}

struct fit_case {
  int32_t start_col;
  int32_t want_row, want_col;
};

TEST_F(print_output, ItemsThatDoNotFitStartOnTheNextLine) {
  const fit_case cases[] = {{75, 2, 9}, {73, 1, 80}, {1, 1, 9}};
  for (const fit_case& c : cases) {
    SetUp();
    locate(1, c.start_col);
    print("abcdefgh", 0);
    EXPECT_EQ(write_target->cursor_row, c.want_row) << c.start_col;
    EXPECT_EQ(write_target->cursor_col, c.want_col) << c.start_col;
  }
  // An item longer than a line starts at column 1 and wraps.
  SetUp();
  locate(1, 10);
  print(std::string(90, 'q'), 0);
  EXPECT_EQ(cell_char(2, 1), 'q');
  EXPECT_EQ(cell_char(3, 10), 'q');
  EXPECT_EQ(cell_char(1, 10), ' ');
}

TEST_F(print_output, LineEndOnTheLastRegionRowScrollsAndLeavesRow25) {
  for (int row = 1; row <= 24; ++row) {
    locate(row, 1);
    print_raw(std::string(1, static_cast<char>('A' + row - 1)), 0);
  }
  locate(25, 1);
  print_raw("status", 0);
  color_set(14, 3, 0, 3);
  locate(24, 5);
  print_raw("", 1);
  EXPECT_EQ(cell_char(1, 1), 'B');
  EXPECT_EQ(cell_char(23, 1), 'X');
  EXPECT_EQ(cell_char(24, 1), ' ');
  EXPECT_EQ(cell_attr(24, 1), 0x3E);
  EXPECT_EQ(row_text(25, 1, 6), "status");
  EXPECT_EQ(write_target->cursor_row, 24);
  EXPECT_EQ(write_target->cursor_col, 1);
}

TEST_F(print_output, LineEndOnRow25ScrollsTheRegionAndStaysOnRow24) {
  locate(1, 1);
  print_raw("first", 0);
  locate(25, 1);
  print_raw("bottom", 1);
  EXPECT_EQ(write_target->cursor_row, 24);
  EXPECT_EQ(row_text(25, 1, 6), "bottom");
  EXPECT_EQ(cell_char(1, 1), ' ');  // "first" scrolled away
}

TEST_F(print_output, ScrollingStaysInsideViewPrint) {
  fill_marker('M');
  view_print_set(5, 10, 1);
  for (int i = 0; i < 8; ++i) print_raw(std::to_string(i), 1);
  EXPECT_EQ(cell_char(4, 1), 'M');
  EXPECT_EQ(cell_char(11, 1), 'M');
  EXPECT_EQ(cell_char(5, 1), '3');
  EXPECT_EQ(cell_char(9, 1), '7');
  EXPECT_EQ(cell_char(10, 1), ' ');
  EXPECT_EQ(write_target->cursor_row, 10);
  // A region of two rows still scrolls its lower row up.
  view_print_set(5, 6, 1);
  print_raw("upper", 1);
  print_raw("lower", 1);
  EXPECT_EQ(row_text(5, 1, 5), "lower");
  EXPECT_EQ(row_text(6, 1, 5), "     ");
  EXPECT_EQ(cell_char(7, 1), '5');
}

TEST_F(print_output, GraphicalTabStops) {
  const int32_t cases[][2] = {{1, 9}, {8, 9}, {9, 17}, {16, 17}, {75, 80}};
  for (const auto& c : cases) {
    SetUp();
    locate(3, c[0]);
    print_raw("\t", 0);
    EXPECT_EQ(write_target->cursor_col, c[1]) << c[0];
    EXPECT_EQ(write_target->cursor_row, 3) << c[0];
  }
  // A tab that runs past column 80 inside the text goes on to the next line.
  SetUp();
  locate(3, 79);
  print_raw("\tz", 0);
  EXPECT_EQ(cell_char(4, 1), 'z');
  // On pages narrower than a stop, or whose width is no multiple of 8, a tab that reaches
  // the line end stops at the start of the next line (it used to loop for ever).
  for (int32_t width : {4, 12}) {
    SetUp();
    screen_width(0, width, 43, 0, 0, 3);
    locate(2, width - 1);
    print_raw("\tr", 0);
    EXPECT_EQ(write_target->cursor_row, 3) << width;
    EXPECT_EQ(write_target->cursor_col, 2) << width;
    EXPECT_EQ(text_cell(write_target, 3, 1)[0], 'r') << width;
  }
}

TEST_F(print_output, CommaZones) {
  for (int i = 1; i <= 6; ++i) {
    print(" " + std::to_string(i), 0);
    if (i < 6) print_next_zone();
  }
  print_raw("", 1);
  const int starts[] = {1, 15, 29, 43, 57};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(cell_char(1, starts[i] + 1), '1' + i) << i;
  EXPECT_EQ(cell_char(2, 2), '6');
  EXPECT_EQ(write_target->cursor_row, 3);
}

TEST_F(print_output, CommaZonesOnFortyColumns) {
  screen_width(0, 40, 0, 0, 0, 1);
  for (int i = 1; i <= 3; ++i) {
    print(" " + std::to_string(i), 0);
    if (i < 3) print_next_zone();
  }
  // The zone at column 29 is too close to the edge: the spaces run on to column 40 and
  // the third item moves to the next line.
  EXPECT_EQ(text_cell(write_target, 1, 2)[0], '1');
  EXPECT_EQ(text_cell(write_target, 1, 16)[0], '2');
  EXPECT_EQ(text_cell(write_target, 1, 30)[0], ' ');
  EXPECT_EQ(text_cell(write_target, 2, 2)[0], '3');
}

TEST_F(print_output, ZoneAfterAPendingWrapOnlyMovesDown) {
  print_raw(std::string(80, 'a'), 0);
  print_next_zone();
  EXPECT_EQ(write_target->cursor_row, 2);
  EXPECT_EQ(write_target->cursor_col, 1);
  EXPECT_EQ(write_target->wrap_pending, 0);
}

TEST_F(print_output, ControlCodesPrintGlyphsOrAct) {
  struct glyph_case {
    uint8_t code;
  } glyphs[] = {{0}, {1}, {6}, {8}, {14}, {27}, {127}, {255}};
  for (const glyph_case& g : glyphs) {
    SetUp();
    locate(2, 5);
    print_raw(std::string(1, static_cast<char>(g.code)), 0);
    EXPECT_EQ(cell_char(2, 5), g.code) << int(g.code);
    EXPECT_EQ(write_target->cursor_col, 6) << int(g.code);
  }
  SetUp();
  locate(10, 5);
  print_raw("\x0b", 0);  // 11: home of the region
  EXPECT_EQ(write_target->cursor_row, 1);
  EXPECT_EQ(write_target->cursor_col, 1);
  fill_marker('Q');
  locate(10, 5);
  print_raw("\x0c", 0);  // 12: clear as CLS
  EXPECT_EQ(cell_char(24, 80), ' ');
  EXPECT_EQ(cell_char(25, 80), ' ');
  EXPECT_EQ(write_target->cursor_row, 1);
  SetUp();
  locate(3, 5);
  print_raw("\n", 0);
  EXPECT_EQ(write_target->cursor_row, 4);
  EXPECT_EQ(write_target->cursor_col, 1);
}

struct move_case {
  uint8_t code;
  int32_t row, col;
  int32_t want_row, want_col;
};

TEST_F(print_output, CursorMovementCodes) {
  const move_case cases[] = {
      {28, 24, 80, 24, 80}, {28, 10, 80, 11, 1}, {28, 10, 5, 10, 6},  {28, 25, 80, 25, 80},
      {29, 1, 1, 1, 1},     {29, 25, 1, 25, 1},  {29, 10, 1, 9, 80},  {29, 10, 5, 10, 4},
      {30, 1, 5, 1, 5},     {30, 10, 5, 9, 5},   {30, 25, 5, 25, 5},  {31, 24, 5, 24, 5},
      {31, 10, 5, 11, 5},   {31, 25, 5, 25, 5},
  };
  for (const move_case& c : cases) {
    SetUp();
    locate(c.row, c.col);
    print_raw(std::string(1, static_cast<char>(c.code)), 0);
    EXPECT_EQ(write_target->cursor_row, c.want_row) << int(c.code) << " at " << c.row << "," << c.col;
    EXPECT_EQ(write_target->cursor_col, c.want_col) << int(c.code) << " at " << c.row << "," << c.col;
    EXPECT_EQ(cell_char(c.row, c.col), ' ');
  }
}

TEST_F(print_output, ControlsOffPrintsGlyphs) {
  controls_set(2);
  EXPECT_EQ(controls_get(), -1);
  print_raw("a\rb\x1c", 0);
  EXPECT_EQ(row_text(1, 1, 4), "a\rb\x1c");
  EXPECT_EQ(write_target->cursor_row, 1);
  controls_set(1);
  EXPECT_EQ(controls_get(), 0);
  label_controls_off = 1;
  print_raw("\n", 0);
  EXPECT_EQ(cell_char(1, 5), '\n');
  label_controls_off = 0;
}

TEST_F(print_output, GlyphUsesTheCurrentColoursAndDoesNotMove) {
  color_set(17, 6, 0, 3);
  locate(4, 4);
  print_glyph(0x141);  // only the low byte on a text page
  EXPECT_EQ(cell_char(4, 4), 0x41);
  EXPECT_EQ(cell_attr(4, 4), 0x80 + 0x60 + 1);
  EXPECT_EQ(write_target->cursor_col, 4);
}

TEST_F(print_output, NothingHappensWhileAnErrorIsPending) {
  pending_error = 9;
  print("abc", 1);
  print_next_zone();
  print_newline();
  EXPECT_EQ(cell_char(1, 1), ' ');
  EXPECT_EQ(write_target->cursor_row, 1);
  EXPECT_EQ(write_target->cursor_col, 1);
}

TEST_F(print_output, ConsolePageWritesToStandardOutput) {
  int32_t console = console_page_new();
  ASSERT_GT(console, 1);
  set_write_target(-console);
  testing::internal::CaptureStdout();
  print("a\tb\r", 1);
  print_raw("c", 0);
  color_set(200, 3, 0, 3);
  cursor_locate(4, 7, 0, 0, 0, 3);
  cursor_locate(4, 0, 0, 0, 0, 1);
  screen_clear(0, 5, 2);
  std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out, "a\tb\r\nc\x1b[38;5;200m\x1b[48;5;3m\x1b[4;7H\x1b[48;5;5m\x1b[2J\x1b[1;1H");
  EXPECT_EQ(image_at(console)->cursor_col, 1);
  color_set(256, 0, 0, 1);
  EXPECT_EQ(pending_error, 5u);
  set_write_target(0);
  image_free(-console, 1);
}

}  // namespace

namespace {

TEST_F(print_output, WidestPageDefersTheWrapWithoutOverflow) {
  // Off screen: WIDTH refuses a grid whose frame would be this wide.
  int32_t index = image_new(32767, 1, 0);
  ASSERT_GT(index, 1);
  set_write_target(-index);
  ASSERT_EQ(write_target->width, 32767);
  print_raw(std::string(32767, 'a'), 0);
  EXPECT_EQ(write_target->cursor_col, 32767);
  EXPECT_EQ(write_target->wrap_pending, 1);
  print_raw("b", 0);
  EXPECT_EQ(write_target->cursor_row, 1);
  EXPECT_EQ(write_target->cursor_col, 2);
  EXPECT_EQ(text_cell(write_target, 1, 1)[0], 'b');
  EXPECT_EQ(text_cell(write_target, 1, 2)[0], ' ');
  locate(1, 32767);
  print_raw("\x1c", 0);  // cursor right at the end of the only region row: nothing
  EXPECT_EQ(write_target->cursor_col, 32767);
  set_write_target(0);
  image_free(-index, 1);
  EXPECT_EQ(pending_error, 0u);
}

}  // namespace

namespace {

TEST_F(print_output, TallestPageScrollsItsLastRowWithoutOverflow) {
  int32_t index = image_new(2, 32767, 0);
  ASSERT_GT(index, 1);
  set_write_target(-index);
  view_print_set(0, 0, 0);  // the whole page, row 32,767 included
  ASSERT_EQ(write_target->view_bottom, 32767);
  locate(32767, 1);
  print_raw("x", 1);
  EXPECT_EQ(write_target->cursor_row, 32767);
  EXPECT_EQ(write_target->cursor_col, 1);
  EXPECT_EQ(text_cell(write_target, 32766, 1)[0], 'x');
  EXPECT_EQ(text_cell(write_target, 32767, 1)[0], ' ');
  print_raw("y", 0);
  EXPECT_EQ(text_cell(write_target, 32767, 1)[0], 'y');
  set_write_target(0);
  image_free(-index, 1);
  EXPECT_EQ(pending_error, 0u);
}

}  // namespace
