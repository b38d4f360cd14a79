// Dialog box layout (keeps the box's geometry, its message lines, its buttons and what each key does).
#include "runtime/console/dialog_box.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr int side_margin = 2;   // blank columns left and right of the text
constexpr int button_width = 8;  // cells per button
constexpr int button_gap = 2;    // cells between buttons
constexpr int min_cols = 30;
constexpr int max_cols = 160;

std::vector<std::string> layout_lines(const char* message, int width_limit) {
  std::vector<std::string> lines(1);
  for (const char* p = message; *p; ++p) {
    char c = *p;
    if (c == '\r') continue;
    if (c == '\n') {
      lines.emplace_back();
      continue;
    }
    if (static_cast<int>(lines.back().size()) >= width_limit) lines.emplace_back();
    if (c == '\t') {
      do lines.back() += ' ';
      while (lines.back().size() % 8 && static_cast<int>(lines.back().size()) < width_limit);
      continue;
    }
    lines.back() += c;
  }
  return lines;
}

}  // namespace

void dialog_box_layout(dialog_box* box, const char* message, bool yes_no, int default_button, int screen_cols,
                       int screen_rows, int least_cols) {
  int width_limit = std::max(8, std::min(max_cols, screen_cols) - 2 * side_margin);
  box->lines = layout_lines(message ? message : "", width_limit);
  int max_lines = std::max(1, screen_rows - 4);
  if (static_cast<int>(box->lines.size()) > max_lines) {
    box->lines.resize(max_lines);
    box->lines.back() = "...";
  }
  if (yes_no) {
    box->labels = {"Yes", "No"};
    box->answers = {1, 0};
    box->focused = default_button == 0 ? 1 : 0;
  } else {
    box->labels = {"OK"};
    box->answers = {1};
    box->focused = 0;
  }
  int buttons_cols = static_cast<int>(box->labels.size()) * (button_width + button_gap) - button_gap;
  size_t longest = 0;
  for (auto& line : box->lines) longest = std::max(longest, line.size());
  box->cols = std::max({min_cols, static_cast<int>(longest) + 2 * side_margin, buttons_cols + 2 * side_margin,
                        std::min(least_cols, screen_cols)});
  box->rows = static_cast<int>(box->lines.size()) + 4;
  box->button_row = box->rows - 2;
  box->first_button_col = (box->cols - buttons_cols) / 2;
}

int dialog_box_key(dialog_box* box, dialog_key key) {
  bool yes_no = box->labels.size() == 2;
  int count = static_cast<int>(box->labels.size());
  switch (key) {
    case dialog_key_choose: return box->answers[box->focused];
    case dialog_key_yes: return 1;
    case dialog_key_no: return yes_no ? 0 : 1;  // an OK box has only the one answer
    case dialog_key_next: box->focused = (box->focused + 1) % count; return -1;
    case dialog_key_previous: box->focused = (box->focused + count - 1) % count; return -1;
  }
  return -1;
}

int dialog_box_button_at(const dialog_box& box, int col, int row) {
  if (row != box.button_row) return -1;
  col -= box.first_button_col;
  if (col < 0) return -1;
  int index = col / (button_width + button_gap);
  if (index >= static_cast<int>(box.labels.size()) || col % (button_width + button_gap) >= button_width) return -1;
  return index;
}

std::vector<dialog_cell> dialog_box_cells(const dialog_box& box) {
  std::vector<dialog_cell> cells(static_cast<size_t>(box.cols) * box.rows, dialog_cell{32, dialog_face});
  for (size_t i = 0; i < box.lines.size(); ++i)
    for (size_t c = 0; c < box.lines[i].size(); ++c)
      cells[(i + 1) * box.cols + side_margin + c].code = static_cast<uint8_t>(box.lines[i][c]);
  for (size_t b = 0; b < box.labels.size(); ++b) {
    bool focused = static_cast<int>(b) == box.focused;
    int start = box.first_button_col + static_cast<int>(b) * (button_width + button_gap);
    int label_length = static_cast<int>(std::strlen(box.labels[b]));
    int label_start = start + (button_width - label_length) / 2;
    for (int c = start; c < start + button_width; ++c) {
      dialog_cell& cell = cells[static_cast<size_t>(box.button_row) * box.cols + c];
      cell.role = focused ? dialog_focused_button : dialog_button;
      if (c >= label_start && c < label_start + label_length)
        cell.code = static_cast<uint8_t>(box.labels[b][c - label_start]);
    }
  }
  return cells;
}
