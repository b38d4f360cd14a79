// The runtime's message box read back from a window's text cells: its message, its buttons and the focused one.
#include "support/message_box_reader.h"

#include <vector>

#include "support/screen_reader.h"
#include "support/wait_clock.h"

// The box draws on a grid of 8x16 cells: a blank row, the message lines from column 2,
// a blank row, the buttons, a blank row. Text is black on light grey, buttons black on
// white, the focused button white on blue.

namespace {

// Runs of button cells (background white or blue) in the row: [start, end) and background.
struct button_run {
  int row, start, end, bg;
  std::string label;
};

std::vector<button_run> box_buttons(const screen_text& screen) {
  std::vector<button_run> runs;
  for (int r = 0; r < screen.rows; ++r)
    for (int c = 0; c < screen.cols;) {
      int bg = screen.bg[r][c];
      if (bg != 15 && bg != 1) {
        ++c;
        continue;
      }
      int start = c;
      while (c < screen.cols && screen.bg[r][c] == bg) ++c;
      std::string label = screen.lines[r].substr(start, c - start);
      size_t a = label.find_first_not_of(' '), b = label.find_last_not_of(' ');
      runs.push_back({r, start, c, bg, a == std::string::npos ? "" : label.substr(a, b - a + 1)});
    }
  return runs;
}

// A freshly mapped box may not be drawn yet: read until its buttons show.
const int box_draw_timeout_ms = 5000;

bool read_drawn_box(Display* display, unsigned long window, screen_text* screen, std::vector<button_run>* buttons) {
  int64_t deadline = now_ms() + box_draw_timeout_ms;
  for (;;) {
    if (x_read_window_cells(display, window, screen)) {
      *buttons = box_buttons(*screen);
      if (!buttons->empty()) return true;
    }
    if (now_ms() >= deadline) return false;
    pause_ms(20);
  }
}

const int box_margin = 2;  // columns left of the message text

}  // namespace

std::string x_read_box_text(Display* display, unsigned long window) {
  screen_text screen;
  std::vector<button_run> buttons;
  if (!read_drawn_box(display, window, &screen, &buttons)) return "";
  int button_row = buttons.front().row;
  std::string out;
  for (int r = 1; r < button_row - 1; ++r) {
    std::string line = screen.trimmed(r);
    out += (r > 1 ? "\n" : "") + (static_cast<int>(line.size()) > box_margin ? line.substr(box_margin) : "");
  }
  return out;
}

bool x_find_box_button(Display* display, unsigned long window, const std::string& label, int* x, int* y) {
  screen_text screen;
  std::vector<button_run> buttons;
  if (!read_drawn_box(display, window, &screen, &buttons)) return false;
  for (const auto& run : buttons)
    if (run.label == label) {
      *x = (run.start + run.end) * 8 / 2;
      *y = run.row * 16 + 8;
      return true;
    }
  return false;
}

std::string x_box_focused_button(Display* display, unsigned long window) {
  screen_text screen;
  std::vector<button_run> buttons;
  if (!read_drawn_box(display, window, &screen, &buttons)) return "";
  for (const auto& run : buttons)
    if (run.bg == 1) return run.label;
  return "";
}
