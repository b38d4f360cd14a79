// The runtime's message box on a real X server, and the screen reader the window tests rely on.
#include <gtest/gtest.h>

#include <unistd.h>

#include <signal.h>
#include <sys/wait.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "runtime/console/fonts.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/message_box.h"
#include "support/message_box_reader.h"
#include "support/window_fixture.h"

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

// Paints the sample into a plain window at (x, y) and reads it back.
void read_sample_window(int x, int y) {
  SCOPED_TRACE("window at " + std::to_string(x) + "," + std::to_string(y));
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
  Window window = XCreateWindow(display, RootWindow(display, screen_number), x, y, cols * 8, rows * 16, 0, 24,
                                InputOutput, wanted.visual, CWColormap | CWBackPixel | CWBorderPixel, &attributes);
  XStoreName(display, window, "screen reader self-test");
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
  EXPECT_TRUE(x_read_screen(display, window, cols, rows, &screen));
  expect_sample(screen);
  EXPECT_FALSE(x_read_screen(display, window, cols + 1, rows, &screen)) << "wider than the window";

  XFreeGC(display, gc);
  XDestroyWindow(display, window);
  XFreeColormap(display, attributes.colormap);
  XCloseDisplay(display);
}

TEST(ScreenReader, ReadsAWindowsPixels) {
  read_sample_window(40, 30);
  read_sample_window(-1, -1);  // where freeglut puts a window by default: one pixel off the screen
}

// ---- the message box -----------------------------------------------------------------

// A box running on its own thread, as on the program thread.
struct running_box {
  std::thread thread;
  std::atomic<int> answer{-100};
  std::atomic<bool> finished{false};
};

std::unique_ptr<running_box> launch(std::function<int()> show) {
  auto run = std::make_unique<running_box>();
  running_box* r = run.get();
  r->thread = std::thread([r, show] {
    r->answer = show();
    r->finished = true;
  });
  return run;
}

// Waits for the box's answer; a box that does not answer is closed so the test ends.
int finish(Display* display, unsigned long window, running_box* run) {
  for (int i = 0; i < 1000 && !run->finished; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  if (!run->finished) {
    ADD_FAILURE() << "the box did not answer";
    if (window) x_send_close(display, window);
  }
  run->thread.join();
  return run->answer;
}

// Finds the box by its title and waits until it is drawn and holds the keyboard focus.
unsigned long wait_for_box(Display* display, const std::string& title) {
  unsigned long window = x_find_window(display, title, 10000);
  if (!window) {
    ADD_FAILURE() << "no window titled " << title;
    return 0;
  }
  for (int i = 0; i < 500 && x_box_focused_button(display, window).empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  for (int i = 0; i < 500 && x_focused_window(display) != window; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(x_focused_window(display), window) << "the box takes the keyboard focus";
  return window;
}

using box_action = std::function<void(Display*, unsigned long)>;

box_action keys(std::vector<unsigned long> keysyms, std::vector<unsigned long> modifiers = {}) {
  return [keysyms, modifiers](Display* d, unsigned long) {
    for (unsigned long k : keysyms) x_key(d, k, modifiers);
  };
}

box_action typed(const std::string& text) {
  return [text](Display* d, unsigned long) { x_type_text(d, text); };
}

box_action click(const std::string& label) {
  return [label](Display* d, unsigned long w) {
    int x = 0, y = 0;
    ASSERT_TRUE(x_find_box_button(d, w, label, &x, &y)) << label;
    x_click(d, w, x, y);
  };
}

box_action close_message() {
  return [](Display* d, unsigned long w) { x_send_close(d, w); };
}

struct box_case {
  const char* name;
  const char* dialog_type;
  int default_button;
  box_action action;
  int expected;
};

class MessageBox : public window_fixture {};

TEST_F(MessageBox, AnswersKeysClicksAndTheCloseMessage) {
  const box_case cases[] = {
      {"yesno Return", "yesno", 1, keys({XK_Return}), 1},
      {"yesno keypad Enter", "yesno", 1, keys({XK_KP_Enter}), 1},
      {"yesno space", "yesno", 1, typed(" "), 1},
      {"yesno y", "yesno", 1, typed("y"), 1},
      {"yesno Y", "yesno", 1, typed("Y"), 1},
      {"yesno n", "yesno", 1, typed("n"), 0},
      {"yesno N", "yesno", 1, typed("N"), 0},
      {"yesno Escape", "yesno", 1, keys({XK_Escape}), 0},
      {"yesno Tab Return", "yesno", 1, keys({XK_Tab, XK_Return}), 0},
      {"yesno Tab Tab Return", "yesno", 1, keys({XK_Tab, XK_Tab, XK_Return}), 1},
      {"yesno shift-Tab Return", "yesno", 1, [](Display* d, unsigned long) {
         x_key(d, XK_Tab, {XK_Shift_L});
         x_key(d, XK_Return);
       }, 0},
      {"yesno Right Return", "yesno", 1, keys({XK_Right, XK_Return}), 0},
      {"yesno Right space", "yesno", 1, [](Display* d, unsigned long) {
         x_key(d, XK_Right);
         x_type_text(d, " ");
       }, 0},
      {"yesno Right Left Return", "yesno", 1, keys({XK_Right, XK_Left, XK_Return}), 1},
      {"yesno Down Return", "yesno", 1, keys({XK_Down, XK_Return}), 0},
      {"yesno other keys wait", "yesno", 1, [](Display* d, unsigned long) {
         x_type_text(d, "aq1");
         x_key(d, XK_F1);
         x_key(d, XK_Return);
       }, 1},
      {"yesno default No, Return", "yesno", 0, keys({XK_Return}), 0},
      {"yesno default No, y", "yesno", 0, typed("y"), 1},
      {"yesno click Yes", "yesno", 1, click("Yes"), 1},
      {"yesno click No", "yesno", 1, click("No"), 0},
      {"yesno click beside the buttons", "yesno", 1, [](Display* d, unsigned long w) {
         x_click(d, w, 2, 2);
         x_key(d, XK_Escape);
       }, 0},
      {"yesno close", "yesno", 1, close_message(), 0},
      {"ok Return", "ok", 1, keys({XK_Return}), 1},
      {"ok space", "ok", 1, typed(" "), 1},
      {"ok y", "ok", 1, typed("y"), 1},
      {"ok n", "ok", 1, typed("n"), 1},
      {"ok Escape", "ok", 1, keys({XK_Escape}), 1},
      {"ok Tab Return", "ok", 1, keys({XK_Tab, XK_Return}), 1},
      {"ok Right Return", "ok", 1, keys({XK_Right, XK_Return}), 1},
      {"ok click OK", "ok", 1, click("OK"), 1},
      {"ok close", "ok", 1, close_message(), 0},
  };
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::string title = "Box case " + std::to_string(++number) + " of the test";
    std::string type = c.dialog_type;
    int default_button = c.default_button;
    auto run = launch([title, type, default_button] {
      return message_box(title.c_str(), "Something happened.\nGo on?", type.c_str(), "error", default_button);
    });
    unsigned long window = wait_for_box(display, title);
    if (window) c.action(display, window);
    EXPECT_EQ(finish(display, window, run.get()), c.expected);
    if (window) {
      EXPECT_TRUE(x_wait_window_gone(display, window, 5000)) << "the box is destroyed";
    }
  }
}

TEST_F(MessageBox, ShowsTitleTextAndFocusedButton) {
  const std::string title = "Unhandled Error #9 - brightness";
  auto run = launch([title] {
    return message_box(title.c_str(), "Line: 37 (in main module)\nSubscript out of range\nContinue?", "yesno",
                       "error", 1);
  });
  unsigned long window = wait_for_box(display, title);
  ASSERT_NE(window, 0u);
  EXPECT_EQ(x_window_title(display, window), title);
  char* wm_name = nullptr;
  ASSERT_TRUE(XFetchName(display, window, &wm_name));
  EXPECT_STREQ(wm_name, title.c_str());
  XFree(wm_name);
  Atom* protocols = nullptr;
  int count = 0;
  ASSERT_TRUE(XGetWMProtocols(display, window, &protocols, &count));
  ASSERT_EQ(count, 1);
  EXPECT_EQ(protocols[0], XInternAtom(display, "WM_DELETE_WINDOW", False));
  XFree(protocols);
  EXPECT_EQ(x_transient_for(display, window), 0u) << "no program window to belong to";

  EXPECT_EQ(x_read_box_text(display, window), "Line: 37 (in main module)\nSubscript out of range\nContinue?");
  screen_text cells;
  ASSERT_TRUE(x_read_window_cells(display, window, &cells));
  int width = 0, height = 0;
  ASSERT_TRUE(x_window_size(display, window, &width, &height));
  EXPECT_EQ(width % 8, 0);
  EXPECT_EQ(height % 16, 0);
  EXPECT_GE(cells.cols, 29);
  EXPECT_EQ(cells.rows, 7) << "blank, three lines, blank, buttons, blank";
  int text_row = cells.find_row("Subscript");
  ASSERT_GE(text_row, 0);
  int col = static_cast<int>(cells.lines[text_row].find("Subscript"));
  EXPECT_EQ(cells.fg[text_row][col], 0) << "black text";
  EXPECT_EQ(cells.bg[text_row][col], 7) << "on light grey";

  EXPECT_EQ(x_box_focused_button(display, window), "Yes");
  x_key(display, XK_Tab);
  screen_text after;
  EXPECT_TRUE(x_wait_screen(display, window, cells.cols, cells.rows, [&](const screen_text&) {
    return x_box_focused_button(display, window) == "No";
  }, 5000, &after));
  x_key(display, XK_Left);
  EXPECT_TRUE(x_wait_screen(display, window, cells.cols, cells.rows, [&](const screen_text&) {
    return x_box_focused_button(display, window) == "Yes";
  }, 5000, &after));
  x_key(display, XK_Escape);
  EXPECT_EQ(finish(display, window, run.get()), 0);
}

TEST_F(MessageBox, LaysOutTheMessageAsWritten) {
  const struct {
    const char* message;
    const char* shown;
  } cases[] = {
      {"  indented\n\nafter a blank line", "  indented\n\nafter a blank line"},
      {"a\tb\tc", "a       b       c"},
      {"dos\r\nline ends\r\n", "dos\nline ends\n"},
      {"", ""},
      {"\x01 \xe1 \xdb", "\x01 \xe1"},  // code page 437 glyphs; a full block reads as a blank cell
  };
  int number = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    std::string title = "Layout box " + std::to_string(++number) + ".";
    std::string message = c.message;
    auto run = launch([title, message] { return message_box(title.c_str(), message.c_str(), "ok", "info", 1); });
    unsigned long window = wait_for_box(display, title);
    ASSERT_NE(window, 0u);
    EXPECT_EQ(x_read_box_text(display, window), c.shown);
    x_key(display, XK_Return);
    EXPECT_EQ(finish(display, window, run.get()), 1);
  }
}

TEST_F(MessageBox, RedrawsWhatWasCovered) {
  const std::string title = "Covered box";
  auto run = launch([title] { return message_box(title.c_str(), "Still here", "ok", "info", 1); });
  unsigned long window = wait_for_box(display, title);
  ASSERT_NE(window, 0u);
  int width = 0, height = 0;
  ASSERT_TRUE(x_window_size(display, window, &width, &height));
  int x = 0, y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), 0, 0, &x, &y, &child);
  XSetWindowAttributes attributes;
  attributes.override_redirect = True;
  attributes.background_pixel = WhitePixel(display, DefaultScreen(display));
  Window cover = XCreateWindow(display, DefaultRootWindow(display), x, y, width, height, 0, CopyFromParent,
                               InputOutput, CopyFromParent, CWOverrideRedirect | CWBackPixel, &attributes);
  XMapRaised(display, cover);
  XSync(display, False);
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  XDestroyWindow(display, cover);
  XSync(display, False);
  screen_text cells;
  EXPECT_TRUE(x_wait_screen(display, window, width / 8, height / 16, [](const screen_text& s) {
    return s.find_row("Still here") >= 0 && s.find_row("OK") >= 0;
  }, 5000, &cells)) << cells.text();
  x_key(display, XK_Return);
  EXPECT_EQ(finish(display, window, run.get()), 1);
}

TEST_F(MessageBox, BelongsToTheProgramWindow) {
  Window owner = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
  XSync(display, False);
  message_box_owner_window = owner;
  const std::string title = "Owned box";
  auto run = launch([title] { return message_box(title.c_str(), "Owned", "ok", "info", 1); });
  unsigned long window = wait_for_box(display, title);
  ASSERT_NE(window, 0u);
  EXPECT_EQ(x_transient_for(display, window), owner);
  x_send_close(display, window);
  EXPECT_EQ(finish(display, window, run.get()), 0);
  message_box_owner_window = 0;
  XDestroyWindow(display, owner);
}

TEST_F(MessageBox, LongAlertTextIsShownWhole) {
  std::string text;
  for (int i = 0; i < 1000; ++i) text += static_cast<char>('a' + i % 26);
  auto run = launch([text] { return alert("%s%d", text.c_str(), 42); });
  unsigned long window = wait_for_box(display, "Alert");
  ASSERT_NE(window, 0u);
  EXPECT_EQ(x_window_title(display, window), "Alert");
  std::string shown = x_read_box_text(display, window);
  std::string joined;
  for (char c : shown)
    if (c != '\n') joined += c;
  EXPECT_EQ(joined.substr(0, text.size() + 2), text + "42") << "wrapped, not cut";
  EXPECT_EQ(x_box_focused_button(display, window), "OK");
  x_key(display, XK_Return);
  EXPECT_EQ(finish(display, window, run.get()), 1) << "alert reports that it was shown";
}

TEST(Alert, NullFormatShowsNothing) { EXPECT_EQ(alert(nullptr), 0); }

// Runs `show` in a child without a display; returns its result and what it wrote to stderr.
int without_display(const std::function<int()>& show, std::string* err) {
  std::string path = temp_path("box_stderr");
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    unsetenv("DISPLAY");
    if (!std::freopen(path.c_str(), "w", stderr)) _exit(90);
    int result = show();
    std::fflush(stderr);
    _exit(10 + result);
  }
  int status = wait_exit_status(pid, 20000);
  *err = read_file(path);
  unlink(path.c_str());
  return status - 10;
}

TEST(MessageBoxWithoutDisplay, WritesToStderrAndAnswersNo) {
  std::string err;
  EXPECT_EQ(without_display([] { return message_box("Critical Error #2", "Out of memory", "ok", "error", 1); }, &err),
            0);
  EXPECT_EQ(err, "Critical Error #2: Out of memory\n");
  EXPECT_EQ(without_display(
                [] {
                  return message_box("Unhandled Error #5 - x",
                                     "Line: 1 (in main module)\nIllegal function call\nContinue?", "yesno", "error", 1);
                },
                &err),
            0);
  EXPECT_EQ(err, "Unhandled Error #5 - x: Line: 1 (in main module)\nIllegal function call\nContinue?\n");
  EXPECT_EQ(without_display([] { return message_box(nullptr, nullptr, nullptr, nullptr, 1); }, &err), 0);
  EXPECT_EQ(err, ": \n");
}

TEST(AlertWithoutDisplay, FormatsOrReportsFailure) {
  std::string err;
  EXPECT_EQ(without_display([] { return alert("gluBuild2DMipmaps failed: %i", 1281); }, &err), 1);
  EXPECT_EQ(err, "Alert: gluBuild2DMipmaps failed: 1281\n");
  // A wide character the C locale cannot convert makes formatting fail: nothing is shown.
  EXPECT_EQ(without_display([] { return alert("%ls", L"\u00fc"); }, &err), 0);
  EXPECT_EQ(err, "");
  std::string long_text(5000, 'x');
  EXPECT_EQ(without_display([&] { return alert("<%s>", long_text.c_str()); }, &err), 1);
  EXPECT_EQ(err, "Alert: <" + long_text + ">\n") << "longer than twice the format plus 255, not cut";
}

TEST_F(MessageBox, MessagesTallerThanTheScreenAreCut) {
  std::string message;
  for (int i = 1; i <= 100; ++i) message += "line " + std::to_string(i) + "\n";
  message += "last";
  const std::string title = "Tall box";
  auto run = launch([title, message] { return message_box(title.c_str(), message.c_str(), "ok", "info", 1); });
  unsigned long window = wait_for_box(display, title);
  ASSERT_NE(window, 0u);
  int width = 0, height = 0;
  ASSERT_TRUE(x_window_size(display, window, &width, &height));
  EXPECT_LE(height, DisplayHeight(display, DefaultScreen(display)));
  screen_text cells;
  ASSERT_TRUE(x_read_window_cells(display, window, &cells));
  EXPECT_EQ(cells.trimmed(1), "  line 1");
  EXPECT_EQ(cells.trimmed(cells.rows - 5), "  line " + std::to_string(cells.rows - 5));
  EXPECT_EQ(cells.trimmed(cells.rows - 4), "  ...");
  EXPECT_EQ(x_box_focused_button(display, window), "OK") << "the buttons stay on screen";
  x_key(display, XK_space);
  EXPECT_EQ(finish(display, window, run.get()), 1);
}

TEST_F(MessageBox, GivesTheFocusBack) {
  Window program = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 64, 64, 0, 0, 0);
  XMapWindow(display, program);
  XSync(display, False);
  x_focus(display, program);
  ASSERT_EQ(x_focused_window(display), program);
  const std::string title = "Focus box";
  auto run = launch([title] { return message_box(title.c_str(), "Focus", "yesno", "error", 1); });
  unsigned long window = wait_for_box(display, title);
  ASSERT_NE(window, 0u);
  x_type_text(display, "n");
  EXPECT_EQ(finish(display, window, run.get()), 0);
  EXPECT_EQ(x_focused_window(display), program) << "keys go to the program's window again";
  XDestroyWindow(display, program);
}

TEST_F(MessageBox, AnswersNoWhenItsWindowIsDestroyed) {
  const std::string title = "Destroyed box";
  auto run = launch([title] { return message_box(title.c_str(), "Gone soon", "yesno", "error", 1); });
  unsigned long window = wait_for_box(display, title);
  ASSERT_NE(window, 0u);
  XDestroyWindow(display, window);
  XSync(display, False);
  EXPECT_EQ(finish(display, 0, run.get()), 0);
}

// ---- the rest of the harness ------------------------------------------------------------------

TEST_F(MessageBox, TypedTextArrivesAsKeyPresses) {
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 100, 50, 0, 0, 0);
  XStoreName(display, window, "typing target");
  XSelectInput(display, window, KeyPressMask);
  XMapWindow(display, window);
  ASSERT_EQ(x_find_window(display, "typing target", 5000), window);
  x_focus(display, window);
  EXPECT_EQ(x_focused_window(display), window);
  const std::string text = "Hello, World! 0-9 ~_|{}:\"<>?\xc3\xbc\n";  // ends in u-umlaut (UTF-8), Return
  x_type_text(display, text);
  x_key(display, XK_a, {XK_Control_L});
  std::string got;
  std::vector<KeySym> keysyms;
  unsigned int last_state = 0;
  for (int i = 0; i < 500; ++i) {
    while (XPending(display)) {
      XEvent event;
      XNextEvent(display, &event);
      if (event.type == MappingNotify) XRefreshKeyboardMapping(&event.xmapping);
      if (event.type != KeyPress) continue;
      char buffer[8];
      KeySym keysym = 0;
      int n = XLookupString(&event.xkey, buffer, sizeof buffer, &keysym, nullptr);
      if (IsModifierKey(keysym)) continue;
      keysyms.push_back(keysym);
      got.append(buffer, n);
      last_state = event.xkey.state;
    }
    if (!keysyms.empty() && keysyms.back() == XK_a) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  EXPECT_EQ(got, "Hello, World! 0-9 ~_|{}:\"<>?\xfc\r\x01") << "Latin-1 from XLookupString";
  EXPECT_TRUE(last_state & ControlMask);
  XDestroyWindow(display, window);
}

TEST(ChildProcess, StatusesStreamsAndEnvironment) {
  program_io io;
  io.stdout_path = temp_path("child_out");
  io.stderr_path = temp_path("child_err");
  io.set_env = {"BOX_TEST_VALUE=seven"};
  io.unset_env = {"HOME"};
  pid_t pid = start_program("/bin/sh", {"-c", "echo \"$BOX_TEST_VALUE ${HOME-none}\"; echo oops >&2; exit 3"}, io);
  EXPECT_EQ(wait_exit_status(pid, 20000), 3);
  EXPECT_EQ(read_file(io.stdout_path), "seven none\n");
  EXPECT_EQ(read_file(io.stderr_path), "oops\n");
  unlink(io.stdout_path.c_str());
  unlink(io.stderr_path.c_str());

  EXPECT_EQ(wait_exit_status(start_program("/bin/sh", {"-c", "kill -TERM $$"}), 20000), -2);
  EXPECT_EQ(last_exit_signal(), SIGTERM);
  pid_t sleeper = start_program("/bin/sleep", {"30"});
  EXPECT_EQ(wait_exit_status(sleeper, 100), -1) << "timeout";
  EXPECT_EQ(waitpid(sleeper, nullptr, WNOHANG), -1) << "killed and reaped";
  EXPECT_EQ(wait_exit_status(start_program("/nonexistent/program"), 20000), 127);
}

}  // namespace
