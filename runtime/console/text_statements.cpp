// Text screen statements (COLOR, CLS, LOCATE with the one-time switch to 50 rows, VIEW PRINT, CSRLIN, POS).
#include <cstring>

#include "runtime/ground/conventional_memory.h"
#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"

namespace {

constexpr int32_t passed_first = 1;
constexpr int32_t passed_second = 2;
constexpr int32_t passed_third = 4;
constexpr int32_t passed_fourth = 8;
constexpr int32_t passed_fifth = 16;

// The bytes of rows 1 to 25 of an 80-column page: what the switch to 50 rows keeps.
constexpr size_t kept_screen_bytes = 4000;

// LOCATE below the start-up screen's region switches once to 80x50 and keeps the text shown.
bool extend_rows(int32_t row, int32_t column, int32_t passed) {
  bool allowed = auto_extend_rows == 1;
  auto_extend_rows = 0;
  if (!allowed || row > 50 || ((passed & passed_second) && (column < 1 || column > write_target->width))) {
    raise_error(error_illegal_function_call);
    return false;
  }
  static uint8_t kept[kept_screen_bytes];
  std::memcpy(kept, conventional_memory + video_memory_offset, kept_screen_bytes);
  uint32_t fg = write_target->fg_color;
  uint32_t bg = write_target->bg_color;
  screen_width(0, 80, 50, 0, 0, passed_first | passed_second);
  if (pending_error) return false;
  shared_move(conventional_memory + video_memory_offset, kept, kept_screen_bytes);  // on display again
  write_target->fg_color = fg;
  write_target->bg_color = bg;
  return true;
}

}  // namespace

void color_set(uint32_t foreground, uint32_t background, uint32_t border, int32_t passed) {
  (void)border;
  if (pending_error || passed == 0) return;
  screen_image* image = write_target;
  if (image->is_console) {
    console_color(foreground, background, passed);
    return;
  }
  if (((passed & passed_first) && foreground > 31) || ((passed & passed_second) && background > 15)) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (passed & passed_first) image->fg_color = foreground;
  if (passed & passed_second) image->bg_color = background & 7;
}

void screen_clear(int32_t method, uint32_t color, int32_t passed) {
  if (pending_error) return;
  screen_image* image = write_target;
  bool has_method = passed & passed_first;
  bool has_color = passed & passed_second;
  if (has_method && (method < 0 || method > 2)) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (image->is_console) {
    console_clear(color, has_color);
    return;
  }
  if (has_color && image->bytes_per_pixel != 4 && color > image->color_mask) {
    raise_error(error_illegal_function_call);
    return;
  }
  uint8_t attribute = blank_attribute(image, has_color ? color : image->bg_color);
  image->cursor_row = image->view_top;
  image->cursor_col = 1;
  if (!has_method) {
    text_fill_rows(image, image->view_top, image->view_bottom, attribute);
    text_fill_rows(image, image->height, image->height, attribute);
  } else if (method == 0) {
    text_fill_rows(image, 1, image->height, attribute);
  } else if (method == 2) {
    text_fill_rows(image, image->view_top, image->view_bottom, attribute);
  }
  screen_changed(image);
}

void cursor_locate(int32_t row, int32_t column, int32_t cursor, int32_t start_line, int32_t end_line,
                   int32_t passed) {
  if (pending_error) return;
  screen_image* image = write_target;
  if (image->is_console) {
    console_locate(row, column, passed);
    return;
  }
  bool has_row = passed & passed_first;
  bool has_col = passed & passed_second;
  // The shape arguments are checked before a possible switch to 50 rows, so a refused
  // LOCATE never changes the screen.
  if (((passed & passed_third) && (cursor < 0 || cursor > 1)) ||
      ((passed & passed_fourth) && (start_line < 0 || start_line > 31)) ||
      ((passed & passed_fifth) && (end_line < 0 || end_line > 31))) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (has_row) {
    if (row < image->view_top) {
      raise_error(error_illegal_function_call);
      return;
    }
    if (row != text_rows(image) && row > image->view_bottom) {
      if (!extend_rows(row, column, passed)) return;
      image = write_target;
      if (row != text_rows(image) && row > image->view_bottom) {
        raise_error(error_illegal_function_call);
        return;
      }
    }
  }
  if (has_col && (column < 1 || column > image->width)) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (has_row) image->cursor_row = static_cast<int16_t>(row), image->wrap_pending = wrap_none;
  if (has_col) image->cursor_col = static_cast<int16_t>(column), image->wrap_pending = wrap_none;
  if (!has_row && !has_col && image->wrap_pending) image->wrap_pending = wrap_cursor_next_row;
  bool has_cursor = passed & passed_third;
  bool has_shape = passed & (passed_fourth | passed_fifth);
  if (has_cursor) image->cursor_visible = cursor ? 1 : 0;
  if (passed & passed_fourth) image->cursor_start_line = static_cast<uint8_t>(start_line);
  if (passed & passed_fifth) image->cursor_end_line = static_cast<uint8_t>(end_line);
  // Every page of the screen shows the same cursor.
  if ((image->owner_flags & is_screen_page) && (has_cursor || has_shape)) {
    for (int32_t page = 0; page < page_table_size; ++page) {
      screen_image* other = image_at(page_table[page]);
      if (!other) continue;
      other->cursor_visible = image->cursor_visible;
      if (has_shape) {
        other->cursor_start_line = image->cursor_start_line;
        other->cursor_end_line = image->cursor_end_line;
      }
    }
  }
  screen_changed(image);
}

void view_print_set(int32_t top, int32_t bottom, int32_t passed) {
  if (pending_error) return;
  screen_image* image = write_target;
  int32_t rows = text_rows(image);
  if (passed) {
    if (top < 1 || bottom < top || top > rows || bottom > rows) {
      raise_error(error_illegal_function_call);
      return;
    }
    image->view_top = static_cast<int16_t>(top);
    image->view_bottom = static_cast<int16_t>(bottom);
    image->cursor_row = static_cast<int16_t>(top);
  } else {
    image->view_top = 1;
    image->view_bottom = static_cast<int16_t>(rows);
    image->cursor_row = 1;
  }
  image->cursor_col = 1;
  image->wrap_pending = wrap_none;
  screen_changed(image);
}

int32_t cursor_row_get() {
  screen_image* image = write_target;
  if (!image->wrap_pending) return image->cursor_row;
  return image->cursor_row >= image->view_bottom ? image->view_bottom : image->cursor_row + 1;
}

int32_t cursor_col_get(int32_t n) {
  (void)n;
  screen_image* image = write_target;
  return image->wrap_pending ? 1 : image->cursor_col;
}
