// The runtime's message box on a real X server, and the screen reader the window tests rely on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "runtime/console/fonts.h"
#include "runtime/core/message_box.h"
#include "support/x_session.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

// ---- the screen reader -----------------------------------------------------------------

struct painted_cell {
  int col, row;
  unsigned char code;
  int fg, bg;
  bool cursor;
};

// Paints cells of 8x16 glyphs into a 0xRRGGBB buffer, the cursor as pixel row 14 in fg.
std::vector<unsigned long> paint_cells(int cols, int rows, int fill_bg, const std::vector<painted_cell>& cells) {
  std::vector<unsigned long> pixels(static_cast<size_t>(cols) * 8 * rows * 16, text_colors[fill_bg]);
  for (const auto& cell : cells)
    for (int y = 0; y < 16; ++y)
      for (int x = 0; x < 8; ++x) {
        bool lit = builtin_glyphs_8x16[cell.code * 128 + y * 8 + x] != 0 || (cell.cursor && y == 14);
        pixels[static_cast<size_t>(cell.row * 16 + y) * cols * 8 + cell.col * 8 + x] =
            text_colors[lit ? cell.fg : cell.bg];
      }
  return pixels;
}

std::vector<painted_cell> sample_cells() {
  std::vector<painted_cell> cells;
  const std::string hello = "Hello, World! 0123 ~";
  for (size_t i = 0; i < hello.size(); ++i)
    cells.push_back({static_cast<int>(i), 0, static_cast<unsigned char>(hello[i]), 7, 0, false});
  cells.push_back({0, 1, 'A', 14, 1, false});      // yellow on blue
  cells.push_back({1, 1, 'b', 12, 0, false});      // light red on black
  cells.push_back({2, 1, 225, 15, 4, false});      // sharp s, white on red
  cells.push_back({3, 1, 176, 10, 0, false});      // light shade
  cells.push_back({4, 1, ' ', 7, 3, true});        // cursor on a blank cyan cell
  cells.push_back({5, 1, 'x', 7, 0, true});        // cursor on a letter
  cells.push_back({6, 1, 219, 9, 0, false});       // full block (reads as a blank in that colour)
  cells.push_back({7, 1, 1, 15, 0, false});        // face
  cells.push_back({8, 1, 'Q', 0, 7, false});       // black on light grey
  return cells;
}

void expect_sample(const screen_text& screen) {
  ASSERT_EQ(screen.rows, 3);
  EXPECT_EQ(screen.lines[0].substr(0, 20), "Hello, World! 0123 ~");
  EXPECT_EQ(screen.fg[0][0], 7);
  EXPECT_EQ(screen.bg[0][0], 0);
  EXPECT_EQ(screen.fg[0][5], 7) << "comma";
  EXPECT_EQ(screen.fg[0][5 + 1], -1) << "a blank cell shows no foreground";
  struct expectation {
    int col;
    unsigned char code;
    int fg, bg;
    bool cursor;
  } row1[] = {{0, 'A', 14, 1, false}, {1, 'b', 12, 0, false}, {2, 225, 15, 4, false},
              {3, 176, 10, 0, false}, {4, ' ', 7, 3, true},   {5, 'x', 7, 0, true},
              {6, ' ', -1, 9, false}, {7, 1, 15, 0, false},   {8, 'Q', 0, 7, false}};
  for (const auto& e : row1) {
    SCOPED_TRACE("column " + std::to_string(e.col));
    EXPECT_EQ(static_cast<unsigned char>(screen.lines[1][e.col]), e.code);
    EXPECT_EQ(screen.fg[1][e.col], e.fg);
    EXPECT_EQ(screen.bg[1][e.col], e.bg);
    EXPECT_EQ(screen.cursor[1][e.col], e.cursor);
  }
  EXPECT_EQ(screen.trimmed(2), "");
  EXPECT_EQ(screen.find_row("World"), 0);
  EXPECT_EQ(screen.find_row("nowhere"), -1);
}

TEST(ScreenReader, DecodesPaintedCells) {
  screen_text screen;
  ASSERT_TRUE(decode_screen(paint_cells(24, 3, 0, sample_cells()), 24 * 8, 3 * 16, 24, 3, &screen));
  expect_sample(screen);
}

TEST(ScreenReader, UnknownShapesReadAsQuestionMarks) {
  auto pixels = paint_cells(2, 1, 0, {{0, 0, 'A', 7, 0, false}});
  pixels[3] = text_colors[4];  // a third colour in the first cell
  pixels[8 * 2 + 8 + 3] = text_colors[15];  // a stray pixel in the second (blank) cell
  screen_text screen;
  ASSERT_TRUE(decode_screen(pixels, 16, 16, 2, 1, &screen));
  EXPECT_EQ(screen.lines[0], "??");
  EXPECT_EQ(screen.bg[0][0], -1);
}

TEST(ScreenReader, ReadsAWindowsPixels) {
  Display* display = x_open();
  ASSERT_NE(display, nullptr);
  const int cols = 24, rows = 3;
  int screen_number = DefaultScreen(display);
  XVisualInfo wanted;
  ASSERT_TRUE(XMatchVisualInfo(display, screen_number, 24, TrueColor, &wanted));
  XSetWindowAttributes attributes;
  attributes.colormap = XCreateColormap(display, RootWindow(display, screen_number), wanted.visual, AllocNone);
  attributes.background_pixel = 0;
  attributes.border_pixel = 0;
  Window window = XCreateWindow(display, RootWindow(display, screen_number), 40, 30, cols * 8, rows * 16, 0, 24,
                                InputOutput, wanted.visual, CWColormap | CWBackPixel | CWBorderPixel, &attributes);
  XStoreName(display, window, "screen reader self-test");
  XSelectInput(display, window, ExposureMask);
  XMapWindow(display, window);
  ASSERT_EQ(x_find_window(display, "screen reader self", 5000), window);
  EXPECT_EQ(x_window_title(display, window), "screen reader self-test");

  auto pixels = paint_cells(cols, rows, 0, sample_cells());
  std::vector<uint32_t> data(pixels.begin(), pixels.end());
  XImage* image = XCreateImage(display, wanted.visual, 24, ZPixmap, 0, reinterpret_cast<char*>(data.data()),
                               cols * 8, rows * 16, 32, 0);
  ASSERT_NE(image, nullptr);
  GC gc = XCreateGC(display, window, 0, nullptr);
  XPutImage(display, window, gc, image, 0, 0, 0, 0, cols * 8, rows * 16);
  XSync(display, False);
  image->data = nullptr;  // the pixels belong to `data`
  XDestroyImage(image);

  screen_text screen;
  ASSERT_TRUE(x_read_screen(display, window, cols, rows, &screen));
  expect_sample(screen);
  EXPECT_FALSE(x_read_screen(display, window, cols + 1, rows, &screen)) << "wider than the window";

  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XCloseDisplay(display);
}

}  // namespace
