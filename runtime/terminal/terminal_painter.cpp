// Terminal painter (keeps what the terminal shows, cell by cell, and writes only what changed; leads the shutdown).
#include "runtime/terminal/terminal_painter.h"

#include <pthread.h>
#include <sched.h>

#include <atomic>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "runtime/console/code_page.h"
#include "runtime/console/program_stop.h"
#include "runtime/console/screen.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/terminal/terminal_box.h"
#include "runtime/terminal/terminal_cells.h"
#include "runtime/terminal/terminal_modes.h"

namespace {


// ANSI colour number of each text colour (the PC orders blue before red, ANSI red first).
constexpr int ansi_of[8] = {0, 4, 2, 6, 1, 5, 3, 7};

std::atomic<int32_t> repaint_asked{1};     // any thread → the painter: draw everything next pass
std::atomic<int32_t> look_asked{0};        // any thread → the painter: a pass is due though the page did not change
std::atomic<bool> painter_known{false};    // painter_thread is set
pthread_t painter_thread;
std::atomic<uint32_t> box_changes_drawn{0};  // terminal_box_changes as the last pass saw it
// One pass at a time: the painter's, or the program thread's (show_change_now). Everything
// in shown_screen belongs to whoever holds it.
std::mutex& paint_mutex = *new std::mutex;
std::atomic<int64_t> last_pass_ms{-screen_change_gap_ms};  // when the last pass ended

// What the terminal shows and where its cursor stands (under paint_mutex).
struct shown_screen {
  std::vector<terminal_cell> cells;  // as written, row by row; empty: unknown
  int32_t columns = 0, rows = 0;     // the page's size they were written for
  int32_t terminal_columns = 0, terminal_rows = 0;
  bool notice = false;               // the notice asking for a larger terminal is up
  bool blank = false;                // cleared, and nothing written since
  int64_t pen = -1;                  // terminal_cell_pen last set; -1 unknown
  int32_t at_row = -1, at_column = -1;  // where the next character lands; -1 unknown
  int32_t cursor_shown = -1;         // 1 shown, 0 hidden, -1 unknown
  std::string glyphs[256];           // what each code is written as
  // Kept from pass to pass so that a pass allocates nothing.
  std::vector<uint8_t> page_bytes;   // the page's cells as read: character, attribute
  std::vector<terminal_cell> now;    // the page (and the box) in terminal cells
  std::string out;                   // what this pass writes
};
shown_screen& shown = *new shown_screen;

// UTF-8 through the runtime's one code page table; without UTF-8, ASCII and '?'.
void prepare_glyphs() {
  bool utf8 = locale_is_utf8();
  for (int code = 0; code < 256; ++code) {
    char32_t point = code_page_437[code];
    if (point == 0x20 || point == 0xA0) {
      shown.glyphs[code] = " ";
    } else if (utf8) {
      uint8_t byte = uint8_t(code);
      shown.glyphs[code] = code_page_437_to_utf8(&byte, 1);
    } else {
      shown.glyphs[code] = point > 0x20 && point < 0x7F ? std::string(1, char(point)) : "?";
    }
  }
}

void move_to(std::string* out, int32_t row, int32_t column) {
  if (shown.at_row == row && shown.at_column == column) return;
  char text[32];
  std::snprintf(text, sizeof text, "\x1b[%d;%dH", row + 1, column + 1);
  *out += text;
  shown.at_row = row;
  shown.at_column = column;
}

void set_pen(std::string* out, terminal_cell cell) {
  int64_t pen = terminal_cell_pen(cell);
  if (pen == shown.pen) return;
  int32_t foreground = (cell >> 8) & 15, background = (cell >> 12) & 15;
  bool blink = (cell >> 16) & 1;
  char text[32];
  std::snprintf(text, sizeof text, "\x1b[%s;%d;%dm", blink ? "5" : "25",
                foreground < 8 ? 30 + ansi_of[foreground] : 90 + ansi_of[foreground - 8],
                background < 8 ? 40 + ansi_of[background] : 100 + ansi_of[background - 8]);
  *out += text;
  shown.pen = pen;
}

void set_cursor_shown(std::string* out, bool on) {
  if (shown.cursor_shown == (on ? 1 : 0)) return;
  *out += on ? "\x1b[?25h" : "\x1b[?25l";
  shown.cursor_shown = on ? 1 : 0;
}

// Everything on the terminal is unknown from here on: the next pass writes it all.
void forget_screen(std::string* out) {
  if (shown.blank) return;
  shown.blank = true;
  *out += "\x1b[0m\x1b[H\x1b[2J";
  shown.cells.clear();
  shown.notice = false;
  shown.pen = -1;
  shown.at_row = shown.at_column = 0;
}

// Writes one cell at (row, column) and notes where the next character lands.
void write_cell(std::string* out, int32_t row, int32_t column, terminal_cell cell) {
  move_to(out, row, column);
  set_pen(out, cell);
  const std::string& glyph = shown.glyphs[terminal_cell_code(cell)];
  *out += glyph;
  shown.cells[size_t(row) * shown.columns + column] = cell;
  // A glyph beyond ASCII may take another width in some terminals, and the last column
  // may leave the cursor where it is: the next character is placed anew.
  bool plain = glyph.size() == 1 && column + 1 < shown.terminal_columns;
  shown.at_column = plain ? column + 1 : -1;
}

// What the page shows now, in terminal cells; false when it is no text page. The cursor
// cell is (-1, -1) when the cursor does not show.
bool read_page(std::vector<terminal_cell>* cells, int32_t* columns, int32_t* rows, int32_t* cursor_row,
               int32_t* cursor_column) {
  screen_image* page = visual_page.load();
  if (!page || !page->is_text || page->width == 0 || page->height == 0) return false;
  int32_t width = page->width, height = page->height;
  const uint8_t* first = text_cell(page, 1, 1);
  if (!first || !text_cell(page, height, width)) return false;
  std::vector<uint8_t>& bytes = shown.page_bytes;
  bytes.resize(size_t(width) * height * 2);
  shared_read(bytes.data(), first, bytes.size());
  bool blink = blink_enabled.load() != 0;
  cells->resize(size_t(width) * height);
  for (size_t i = 0; i < cells->size(); ++i) {
    uint8_t attribute = bytes[2 * i + 1];
    (*cells)[i] = blink ? make_terminal_cell(bytes[2 * i], attribute & 15, (attribute >> 4) & 7, attribute & 0x80)
                        : make_terminal_cell(bytes[2 * i], attribute & 15, attribute >> 4, false);
  }
  *columns = width;
  *rows = height;
  int32_t x = page->cursor_col - 1, y = page->cursor_row - 1;
  if (page->wrap_pending == wrap_cursor_next_row && y < height - 1) {
    x = 0;
    y += 1;
  }
  bool visible = page->cursor_visible && x >= 0 && y >= 0 && x < width && y < height;
  *cursor_row = visible ? y : -1;
  *cursor_column = visible ? x : -1;
  return true;
}

// The one-line notice on an empty screen while the terminal is smaller than the page.
void show_notice(std::string* out, int32_t columns, int32_t rows) {
  if (shown.notice) return;
  forget_screen(out);
  char text[160];
  std::snprintf(text, sizeof text, "Please make this terminal at least %d x %d (now %d x %d).", columns, rows,
                shown.terminal_columns, shown.terminal_rows);
  std::string line(text);
  if (int32_t(line.size()) > shown.terminal_columns) line.resize(size_t(shown.terminal_columns));
  *out += line;
  set_cursor_shown(out, false);
  shown.notice = true;
  shown.blank = false;
  shown.at_row = shown.at_column = -1;
}

// One pass: the page (with the box over it) compared with what the terminal shows, and
// the difference written in one piece. False when the page could not be read.
bool paint() {
  std::string& out = shown.out;
  out.clear();
  if (repaint_asked.exchange(0)) {
    int32_t columns = 0, rows = 0;
    if (terminal_size(&columns, &rows)) {
      shown.terminal_columns = columns;
      shown.terminal_rows = rows;
    } else {
      shown.terminal_columns = 80;
      shown.terminal_rows = 25;
    }
    forget_screen(&out);
  }
  std::vector<terminal_cell>& cells = shown.now;
  int32_t columns = 0, rows = 0, cursor_row = -1, cursor_column = -1;
  // A screen statement rebuilding the pages asks the builder to hold still first.
  if (handshake_answer(frame_build_pause)) sched_yield();
  bool readable = frame_build_pause.state.load() == handshake_idle && screen_hidden.load() != 1 &&
                  read_page(&cells, &columns, &rows, &cursor_row, &cursor_column);
  if (handshake_answer(frame_build_pause)) sched_yield();
  if (!readable) {
    if (!out.empty()) terminal_write(out);
    return false;
  }
  if (terminal_box_overlay(&cells, columns, rows)) cursor_row = cursor_column = -1;
  if (shown.terminal_columns < columns || shown.terminal_rows < rows) {
    show_notice(&out, columns, rows);
    terminal_write(out);
    return true;
  }
  if (shown.notice || columns != shown.columns || rows != shown.rows) forget_screen(&out);
  bool all = shown.cells.size() != cells.size();
  if (all) shown.cells.assign(cells.size(), 0);
  shown.columns = columns;
  shown.rows = rows;
  size_t start = out.size();
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t column = 0; column < columns; ++column) {
      size_t at = size_t(row) * columns + column;
      terminal_cell cell = cells[at];
      if (!all && cell == shown.cells[at]) continue;
      // A short run of unchanged cells is written again: cheaper than moving over it.
      if (shown.at_row == row && shown.at_column >= 0 && shown.at_column < column && column - shown.at_column <= 4) {
        for (int32_t skipped = shown.at_column; skipped < column; ++skipped)
          write_cell(&out, row, skipped, cells[size_t(row) * columns + skipped]);
      }
      write_cell(&out, row, column, cell);
    }
  }
  if (out.size() > start) {
    shown.blank = false;
    if (shown.cursor_shown == 1) {
      out.insert(start, "\x1b[?25l");  // no cursor flying over the cells
      shown.cursor_shown = 0;
    }
  }
  if (cursor_row >= 0) {
    move_to(&out, cursor_row, cursor_column);
    set_cursor_shown(&out, true);
  } else {
    set_cursor_shown(&out, false);
  }
  if (!out.empty()) terminal_write(out);
  return true;
}

// A pass, by the painter or by the program thread (paint_mutex held): whatever changed
// until now is in it. False when the page could not be read.
bool pass() {
  screen_change_pending.store(0);
  look_asked.store(0);
  box_changes_drawn = terminal_box_changes();
  bool drawn = paint();
  int32_t asked = display_one_frame;
  auto_display.compare_exchange_strong(asked, display_manual);
  last_pass_ms = monotonic_ms();
  return drawn;
}

// The program thread's change, shown by the program thread itself when the last pass was
// long enough ago (show_screen_change_now): a key's echo then costs no wake-up of the
// painter. Changes that follow within the gap are left to the painter, which draws them
// together.
bool show_change_now() {
  if (monotonic_ms() - last_pass_ms.load() < screen_change_gap_ms || auto_display.load() == display_manual) return false;
  std::unique_lock<std::mutex> hold(paint_mutex, std::try_to_lock);
  return hold.owns_lock() && pass();
}

// Orderly shutdown, as the frame thread leads it with a window: the program and event
// timer threads stop, then the terminal is given back and the process ends.
[[noreturn]] void lead_shutdown() {
  stop_program_threads(terminal_box_wake);
  terminal_exit(exit_status_orderly);
}

bool shutdown_asked() {
  return close_requested.load() || (exit_request_bits.load() != 0 && exit_trapped.load() == 0);
}

// Whether a pass has something to draw.
bool pass_due() {
  int32_t mode = auto_display.load();
  return repaint_asked.load() || look_asked.load() || terminal_box_changes() != box_changes_drawn ||
         mode == display_one_frame ||
         (mode != display_manual && screen_change_pending.load() != 0);
}

}  // namespace

void terminal_painter_wake() {
  // The painter sleeps on the screen's change signal.
  look_asked = 1;
  wake_all(screen_change_signal);
}

void terminal_repaint() {
  repaint_asked = 1;
  terminal_painter_wake();
}

bool on_terminal_painter() { return painter_known.load() && pthread_equal(pthread_self(), painter_thread); }

void terminal_painter_prepare() {
  prepare_glyphs();
  show_screen_change_now = show_change_now;
}

void* terminal_painter_main(void*) {
  painter_thread = pthread_self();
  painter_known = true;
  for (;;) {
    uint32_t ticket = wake_ticket(screen_change_signal);
    if (shutdown_asked()) lead_shutdown();
    // A screen statement rebuilding the pages: hold still (paint reads no page until it is
    // done; its screen_changed then wakes the painter).
    if (handshake_answer(frame_build_pause)) sched_yield();
    int32_t wait_ms = -1;  // every change of the display mode wakes it too
    if (pass_due()) {
      int64_t now = monotonic_ms();
      if (now - last_pass_ms.load() >= screen_change_gap_ms) {
        std::lock_guard<std::mutex> hold(paint_mutex);
        pass();
        continue;
      }
      wait_ms = static_cast<int32_t>(last_pass_ms + screen_change_gap_ms - now);
    }
    wake_wait(screen_change_signal, ticket, wait_ms);
  }
}
