// PRINT output (keeps the control-character switches; writes text at the write target's cursor, or to standard output for a console page).
#include "runtime/console/print.h"

#include <cstdio>
#include <cstring>

#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/sleeping.h"
#include "runtime/values/strings.h"

// Bits of `passed`: which optional arguments the program gave.
constexpr int32_t color_passed_foreground = 1;  // COLOR on the console
constexpr int32_t color_passed_background = 2;
constexpr int32_t locate_passed_row = 1;        // LOCATE on the console
constexpr int32_t locate_passed_column = 2;

int32_t controls_off = 0;
int32_t label_controls_off = 0;

namespace {

constexpr int32_t zone_width = 14;
constexpr int32_t code_point_font = 32;  // font flag: strings hold 4-byte code points
constexpr uint32_t bell_pause_ms = 250;

// The comma separator prints one_space; this stands in before string storage exists.
uint8_t space_byte = ' ';
rt_string spare_space = {&space_byte, 1, 0, nullptr, 0, 0, 0, 0, 0, 1, nullptr};

rt_string* zone_space() { return one_space ? one_space : &spare_space; }

int32_t char_step(const screen_image* image) {
  uint32_t font = image->font_id;
  return font < 49 && (font_flags[font] & code_point_font) ? 4 : 1;
}

uint32_t char_at(const rt_string* text, int32_t offset, int32_t step) {
  if (step == 1) return text->chars[offset];
  uint32_t c = 0;
  for (int32_t i = 3; i >= 0; --i) c = (c << 8) | text->chars[offset + i];
  return c;
}

// Writes one glyph and advances; at the right edge either defers the wrap (last character
// without a line end) or moves to the next line. Returns true when it moved to the next line.
bool print_char(screen_image* image, uint32_t c, bool defer_wrap) {
  print_glyph(c);
  int32_t next_col = image->cursor_col + 1;  // may pass 32,767 on the widest pages
  if (next_col <= image->width) {
    image->cursor_col = static_cast<int16_t>(next_col);
    return false;
  }
  if (defer_wrap) {
    image->cursor_col = static_cast<int16_t>(image->width);
    image->wrap_pending = wrap_deferred;
    return false;
  }
  print_newline();
  return true;
}

// Spaces up to the next tab stop (columns 9, 17, 25, ...), at least one. A stop beyond the
// line end is never reached on a page narrower than it: the tab ends at the line end
// instead, and so never runs on. Returns true when it moved to the next line.
bool print_tab(screen_image* image, bool defer_wrap) {
  bool wrapped;
  int32_t before;
  do {
    before = image->cursor_col;
    wrapped = print_char(image, ' ', defer_wrap);
  } while ((before & 7) != 0 && !image->wrap_pending && !wrapped);
  return wrapped;
}

void cursor_home(screen_image* image) {
  image->cursor_row = image->view_top;
  image->cursor_col = 1;
}

// Clears the scrolling region and the last row; the cursor goes home.
void clear_region(screen_image* image) {
  uint8_t blank = blank_attribute(image, image->bg_color);
  text_fill_rows(image, image->view_top, image->view_bottom, blank);
  text_fill_rows(image, image->height, image->height, blank);
  cursor_home(image);
}

void cursor_right(screen_image* image) {
  if (image->cursor_row >= image->view_bottom && image->cursor_col == image->width) return;
  if (image->cursor_col + 1 > image->width) {
    image->cursor_col = 1;
    image->cursor_row = static_cast<int16_t>(image->cursor_row + 1);
  } else {
    image->cursor_col = static_cast<int16_t>(image->cursor_col + 1);
  }
}

void cursor_left(screen_image* image) {
  if (image->cursor_col == 1 &&
      (image->cursor_row == image->view_top || image->cursor_row < image->view_top ||
       image->cursor_row > image->view_bottom))
    return;
  image->cursor_col = static_cast<int16_t>(image->cursor_col - 1);
  if (image->cursor_col < 1) {
    image->cursor_col = static_cast<int16_t>(image->width);
    image->cursor_row = static_cast<int16_t>(image->cursor_row - 1);
  }
}

void cursor_up(screen_image* image) {
  if (image->view_top < image->cursor_row && image->cursor_row <= image->view_bottom)
    image->cursor_row = static_cast<int16_t>(image->cursor_row - 1);
}

void cursor_down(screen_image* image) {
  if (image->view_top <= image->cursor_row && image->cursor_row < image->view_bottom)
    image->cursor_row = static_cast<int16_t>(image->cursor_row + 1);
}

void console_write(const rt_string* text, int32_t line_end) {
  if (text && text->len > 0) std::fwrite(text->chars, 1, static_cast<size_t>(text->len), stdout);
  if (line_end) std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace

void print_glyph(uint32_t character) {
  if (pending_error) return;
  screen_image* image = write_target;
  uint8_t* cell = text_cell(image, image->cursor_row, image->cursor_col);
  if (!cell) return;
  // The frame thread may be reading this cell now (shared_cells.h).
  shared_store(&cell[0], static_cast<uint8_t>(character));
  shared_store(&cell[1], text_attribute(image));
}

void print_newline() {
  if (pending_error) return;
  screen_image* image = write_target;
  if (image->is_console) {
    console_write(nullptr, 1);
    return;
  }
  int32_t next_row = image->cursor_row + 1;  // may pass 32,767 on the tallest pages
  image->cursor_col = 1;
  if (next_row <= image->view_bottom) {
    image->cursor_row = static_cast<int16_t>(next_row);
    return;
  }
  // Scroll the region only; rows outside it never move.
  int32_t top = image->view_top;
  int32_t bottom = image->view_bottom;
  if (bottom > top) {
    uint8_t* to = text_cell(image, top, 1);
    uint8_t* from = text_cell(image, top + 1, 1);
    uint8_t* last = text_cell(image, bottom, image->width);
    // The frame thread may be reading these rows now (shared_cells.h).
    if (to && from && last) shared_move(to, from, static_cast<size_t>(last + 2 - from));
  }
  text_fill_rows(image, bottom, bottom, blank_attribute(image, image->bg_color));
  image->cursor_row = static_cast<int16_t>(bottom);
  screen_changed(image);
}

void print_text(rt_string* text, int32_t line_end) {
  if (pending_error) return;
  screen_image* image = write_target;
  if (image->is_console) {
    console_write(text, line_end);
    return;
  }
  int32_t len = text ? text->len : 0;
  if (image->wrap_pending) {
    if (len > 0) {
      image->wrap_pending = wrap_none;
      print_newline();
    } else if (line_end) {
      image->wrap_pending = wrap_none;
    }
  }
  bool wrapped = false;
  int32_t step = char_step(image);
  for (int32_t at = 0; at + step <= len; at += step) {
    uint32_t c = char_at(text, at, step);
    bool last = at + 2 * step > len;
    bool defer_wrap = last && !line_end;
    wrapped = false;
    if (controls_off || label_controls_off) {
      wrapped = print_char(image, c, defer_wrap);
      continue;
    }
    switch (c) {
      case ctrl_bell: sleep_ms(bell_pause_ms); break;
      case ctrl_tab: wrapped = print_tab(image, defer_wrap); break;
      case ctrl_line_feed:
      case ctrl_return: print_newline(); break;
      case ctrl_home: cursor_home(image); break;
      case ctrl_form_feed: clear_region(image); break;
      case ctrl_right: cursor_right(image); break;
      case ctrl_left: cursor_left(image); break;
      case ctrl_up: cursor_up(image); break;
      case ctrl_down: cursor_down(image); break;
      default: wrapped = print_char(image, c, defer_wrap); break;
    }
  }
  if (line_end && !wrapped) print_newline();
  screen_changed(image);
}

void print_fit_check(rt_string* item) {
  if (pending_error) return;
  screen_image* image = write_target;
  if (image->is_console || image->wrap_pending || image->cursor_col == 1) return;
  int32_t length = item ? item->len / char_step(image) : 0;
  if (image->cursor_col + length - 1 > image->width) print_newline();
}

void print_next_zone() {
  if (pending_error) return;
  screen_image* image = write_target;
  if (image->wrap_pending) {
    print_newline();
    image->wrap_pending = wrap_none;
    return;
  }
  print_text(zone_space(), 0);
  if (image->is_console) return;
  while (!pending_error && image->cursor_col != 1 &&
         ((image->cursor_col - 1) % zone_width != 0 || image->cursor_col >= image->width - 12) &&
         image->cursor_col < image->width)
    print_text(zone_space(), 0);
}

void controls_set(int32_t value) { controls_off = value == 2 ? 1 : 0; }

int32_t controls_get() { return -controls_off; }

void console_color(uint32_t foreground, uint32_t background, int32_t passed) {
  if (((passed & color_passed_foreground) && foreground > 255) ||
      ((passed & color_passed_background) && background > 255)) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (passed & color_passed_foreground) std::printf("\x1b[38;5;%um", foreground);
  if (passed & color_passed_background) std::printf("\x1b[48;5;%um", background);
  std::fflush(stdout);
}

void console_clear(uint32_t background, int32_t passed_background) {
  if (passed_background && background > 255) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (passed_background) std::printf("\x1b[48;5;%um", background);
  std::printf("\x1b[2J");
  console_locate(1, 1, locate_passed_row | locate_passed_column);
}

void console_locate(int32_t row, int32_t column, int32_t passed) {
  if ((passed & (locate_passed_row | locate_passed_column)) != (locate_passed_row | locate_passed_column)) return;
  std::printf("\x1b[%d;%dH", row, column);
  std::fflush(stdout);
}
