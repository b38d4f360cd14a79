// Terminal box (keeps the box on show, its answer and the wait for it).
#include "runtime/terminal/terminal_box.h"

#include <atomic>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>

#include "runtime/console/dialog_box.h"
#include "runtime/console/keyboard_table.h"
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/wake_signal.h"
#include "runtime/terminal/terminal_modes.h"

namespace {

// Colours of the box's parts (dialog_cell_role), as in the window's box: black on light
// grey, black on white buttons, white on blue for the focused one; the title bar white on blue.
const uint8_t role_colors[3][2] = {{0, 7}, {0, 15}, {15, 1}};
constexpr uint8_t title_colors[2] = {15, 1};

// The box on show. The program thread (or whichever thread reports) opens it and waits;
// the key thread answers it; the painter draws it. Made once, never freed.
struct box_record {
  std::mutex mutex;          // guards the fields below
  bool open = false;
  dialog_box box;
  std::string title;
  int answer = -1;           // -1 until answered
};
box_record& shown = *new box_record;
std::mutex& one_box_at_a_time = *new std::mutex;
wake_signal& answer_signal = *new wake_signal;  // bumped when the open box is answered or shutdown begins
std::atomic<uint32_t> changes{0};  // see terminal_box_changes

// What the box shows changed: the painter (asleep on the screen's change signal) draws again.
void box_changed() {
  changes.fetch_add(1);
  wake_all(screen_change_signal);
}

// The box's part a key plays, or -1 for a key the box ignores.
int dialog_key_of(const terminal_key& key) {
  if (key.kind == terminal_key_character) {
    switch (key.code) {
      case 13: case ' ': return dialog_key_choose;
      case 'y': case 'Y': return dialog_key_yes;
      case 'n': case 'N': case 27: return dialog_key_no;
      case 9: return key.column == key_column_shift ? dialog_key_previous : dialog_key_next;
      default: return -1;
    }
  }
  if (key.kind == terminal_key_extended) {
    switch (key.code) {
      case 0x4B00: case 0x4800: return dialog_key_previous;  // Left, Up
      case 0x4D00: case 0x5000: return dialog_key_next;      // Right, Down
      default: return -1;
    }
  }
  return -1;
}

}  // namespace

int terminal_message_box(const char* title, const char* message, const char* dialog_type) {
  if (!title) title = "";
  if (!message) message = "";
  if (!terminal_entered()) {
    std::fprintf(stderr, "%s: %s\n", title, message);
    std::fflush(stderr);
    return 0;
  }
  bool yes_no = dialog_type && std::strcmp(dialog_type, "yesno") == 0;
  std::lock_guard<std::mutex> turn(one_box_at_a_time);
  int32_t columns = 80, rows = 25;
  if (const screen_image* page = visual_page.load()) {
    columns = page->width;
    rows = page->height;
  }
  {
    std::lock_guard<std::mutex> hold(shown.mutex);
    // One row of the page is the title bar above the box, with a blank each side of the title.
    dialog_box_layout(&shown.box, message, yes_no, 1, columns, rows - 1, int(std::strlen(title)) + 2);
    shown.title = title;
    shown.answer = -1;
    shown.open = true;
  }
  box_changed();
  int answer = 0;
  for (;;) {
    uint32_t ticket = wake_ticket(answer_signal);
    {
      std::lock_guard<std::mutex> hold(shown.mutex);
      if (shown.answer >= 0 || stop_all.load()) {
        // Shutdown (a break, the program's end) answers No, as the window's box does.
        answer = shown.answer >= 0 ? shown.answer : 0;
        shown.open = false;
        break;
      }
    }
    wake_wait(answer_signal, ticket, -1);
  }
  box_changed();  // the page shows again
  return answer;
}

bool terminal_box_key(const terminal_key& key) {
  std::lock_guard<std::mutex> hold(shown.mutex);
  if (!shown.open) return false;
  if (key.kind == terminal_key_break) return false;
  int action = dialog_key_of(key);
  if (action < 0 || shown.answer >= 0) return true;
  int answer = dialog_box_key(&shown.box, static_cast<dialog_key>(action));
  if (answer >= 0) {
    shown.answer = answer;
    wake_all(answer_signal);
  }
  box_changed();  // the focus moved, or the box goes
  return true;
}

bool terminal_box_overlay(std::vector<terminal_cell>* cells, int32_t columns, int32_t rows) {
  std::lock_guard<std::mutex> hold(shown.mutex);
  if (!shown.open || shown.answer >= 0) return false;
  const dialog_box& box = shown.box;
  int32_t height = box.rows + 1;  // the title bar, then the box
  int32_t top = rows > height ? (rows - height) / 2 : 0;
  int32_t left = columns > box.cols ? (columns - box.cols) / 2 : 0;
  auto put = [&](int32_t row, int32_t column, terminal_cell cell) {
    if (row >= 0 && row < rows && column >= 0 && column < columns) (*cells)[size_t(row) * columns + column] = cell;
  };
  std::string title = shown.title.substr(0, box.cols > 2 ? size_t(box.cols - 2) : 0);
  int32_t title_start = (box.cols - int32_t(title.size())) / 2;
  for (int32_t c = 0; c < box.cols; ++c) {
    int32_t at = c - title_start;
    uint8_t code = at >= 0 && at < int32_t(title.size()) ? uint8_t(title[size_t(at)]) : ' ';
    put(top, left + c, make_terminal_cell(code, title_colors[0], title_colors[1], false));
  }
  std::vector<dialog_cell> face = dialog_box_cells(box);
  for (int32_t r = 0; r < box.rows; ++r)
    for (int32_t c = 0; c < box.cols; ++c) {
      const dialog_cell& cell = face[size_t(r) * box.cols + c];
      put(top + 1 + r, left + c, make_terminal_cell(cell.code, role_colors[cell.role][0], role_colors[cell.role][1], false));
    }
  return true;
}

void terminal_box_wake() { wake_all(answer_signal); }

uint32_t terminal_box_changes() { return changes.load(); }
