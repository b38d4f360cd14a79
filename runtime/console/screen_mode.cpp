// Screen building (keeps the page table, the text grid requests and the frame-builder pause; SCREEN and WIDTH).
#include <sched.h>

#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/ground/conventional_memory.h"
#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"

int32_t* page_table = nullptr;
int32_t page_table_size = 0;

int32_t requested_cols = -1;
int32_t requested_rows = -1;
int32_t requested_font = -1;
int32_t auto_extend_rows = 0;

namespace {

constexpr size_t video_memory_bytes = 65536;
constexpr int32_t text_page_count = 8;

// SCREEN's optional arguments.
constexpr int32_t passed_mode = 1;
constexpr int32_t passed_active = 4;
constexpr int32_t passed_visual = 8;

// WIDTH's optional arguments.
constexpr int32_t passed_columns = 1;
constexpr int32_t passed_rows = 2;

// Grows the page table to at least `count` entries, new entries 0; false when memory runs out.
bool page_table_reserve(int32_t count) {
  if (count <= page_table_size) return true;
  // calloc leaves untouched pages to the kernel, so an absurd page number fails here
  // (error 7) instead of committing gigabytes of zeros.
  int32_t* grown = static_cast<int32_t*>(std::calloc(static_cast<size_t>(count), sizeof(int32_t)));
  if (!grown) return false;
  if (page_table) std::memcpy(grown, page_table, sizeof(int32_t) * static_cast<size_t>(page_table_size));
  std::free(page_table);
  page_table = grown;
  page_table_size = count;
  return true;
}

bool frames_must_pause() { return auto_display.load() != display_manual && threads_started.load() != 0; }

// Asks the frame builder to stand still while the pages are rebuilt under it.
void frame_builder_pause() {
  if (!frames_must_pause()) return;
  handshake_ask(frame_build_pause);
  wake_all(screen_change_signal);  // a builder asleep until the screen changes answers now
  // While the screen is hidden the frame thread builds nothing and never answers, nor
  // after shutdown began; the pause word still keeps a build from starting.
  handshake_wait_held(frame_build_pause, 0, [] { return screen_hidden.load() != 0 || stop_all.load() != 0; });
}

void frame_builder_release() {
  if (frames_must_pause()) handshake_release(frame_build_pause);
}

// Font for a grid: 8 for 50 rows or more, 14 for 43 to 49, else 16; one more for 40 columns or fewer.
int32_t font_for_grid(int32_t columns, int32_t rows) {
  int32_t font = rows >= 50 ? 8 : rows >= 43 ? 14 : 16;
  return columns <= 40 ? font + 1 : font;
}

screen_image* page_zero() { return page_table && page_table_size > 0 ? image_at(page_table[0]) : nullptr; }

// Chooses the text grid from the pending requests and the previous grid, clearing the requests used.
void choose_grid(int32_t old_cols, int32_t old_rows, int32_t& cols, int32_t& rows, int32_t& font) {
  if (requested_cols >= 0 && requested_rows >= 0 && requested_font >= 0) {
    cols = requested_cols;
    rows = requested_rows;
    font = requested_font;
    requested_cols = requested_rows = requested_font = -1;
    return;
  }
  if (requested_cols >= 0) {
    cols = requested_cols;
    rows = 25;
    font = 16;
    if (old_rows == 43) rows = 43, font = 14;
    if (old_rows == 50) rows = 50, font = 8;
    if (cols == 40) font += 1;
    requested_cols = requested_rows = requested_font = -1;
    return;
  }
  if (requested_rows >= 0) {
    rows = requested_rows;
    font = rows == 43 ? 14 : rows == 50 ? 8 : 16;
    cols = 80;
    if (old_cols == 40) cols = 40, font += 1;
    requested_cols = requested_rows = requested_font = -1;
    return;
  }
  cols = 80;
  rows = 25;
  font = 16;
  if (old_rows == 50) rows = 50, font = old_cols == 40 ? 9 : 8, cols = old_cols == 40 ? 40 : 80;
  else if (old_rows == 43) rows = 43, font = old_cols == 40 ? 9 : 8, cols = old_cols == 40 ? 40 : 80;
  else if (old_rows == 25 && old_cols == 40) cols = 40, font = 17;
}

// Builds the eight text pages of a new mode-0 screen, replacing the old pages.
void build_text_screen() {
  screen_image* old = page_zero();
  int32_t old_cols = old ? old->width : 0;
  int32_t old_rows = old ? text_rows(old) : 0;
  int32_t cols, rows, font;
  choose_grid(old_cols, old_rows, cols, rows, font);

  size_t stride = static_cast<size_t>(rows) * static_cast<size_t>(cols) * 2;
  if (cols == 40 && rows == 25) stride = 2048, font = 17;
  if (cols == 80 && rows == 25) stride = 4096, font = 16;
  size_t in_video_memory = video_memory_bytes / stride;
  if (in_video_memory > text_page_count) in_video_memory = text_page_count;

  frame_builder_pause();
  for (int32_t page = 0; page < page_table_size; ++page) {
    image_release(page_table[page]);
    page_table[page] = 0;
  }
  if (!page_table_reserve(text_page_count)) {
    raise_error(error_out_of_memory);
    return;
  }
  for (int32_t page = 0; page < text_page_count; ++page) {
    int32_t index;
    if (static_cast<size_t>(page) < in_video_memory)
      index = image_over_buffer(conventional_memory + video_memory_offset + stride * static_cast<size_t>(page), cols,
                                rows, 0);
    else
      index = image_new(cols, rows, 0);
    screen_image* image = image_at(index);
    if (!image) {
      raise_error(error_out_of_memory);
      continue;
    }
    font_select(font, image);
    image->owner_flags |= is_screen_page;
    page_table[page] = index;
  }
  for (size_t i = 0; i < video_memory_bytes; i += 2) {
    conventional_memory[video_memory_offset + i] = 32;
    conventional_memory[video_memory_offset + i + 1] = 7;
  }
  if (page_table[0] == 0) return;  // out of memory, raised above
  current_images_set(page_table[0], page_table[0], page_table[0]);
  previous_frame_valid = 0;  // new geometry: the next frame is painted in full
  write_target->draw_angle = 0;
  write_target->draw_scale = 1.0;
  active_page_number = 0;
}

// The colour and region reset of a page newly selected for output.
void page_output_reset() {
  page_colors_reset();
  screen_image* image = write_target;
  int32_t rows = text_rows(image);
  image->view_top = 1;
  if (image->cursor_row > rows) image->cursor_row = 1;
  image->view_bottom = static_cast<int16_t>(rows - 1 < 1 ? 1 : rows - 1);
}

}  // namespace

int32_t ensure_page(int32_t page) {
  if (page < 0) return 0;
  if (page >= page_table_size && !page_table_reserve(page + 1)) {
    raise_error(error_out_of_memory);
    return 0;
  }
  if (page_table[page] != 0) return page_table[page];
  screen_image* first = page_zero();
  if (!first) return 0;
  int32_t index = image_new(first->width, first->height, first->screen_mode);
  screen_image* image = image_at(index);
  if (!image) {
    raise_error(error_out_of_memory);
    return 0;
  }
  // All pages of a screen show the same colours: share page 0's palette.
  delete[] image->palette;
  image->palette = first->palette;
  image->owner_flags &= ~owns_palette;
  image->owner_flags |= is_screen_page;
  font_select(static_cast<int32_t>(first->font_id), image);
  page_table[page] = index;
  return index;
}

void screen_set(int32_t mode, int32_t color_switch, int32_t active_page, int32_t visual_page_number,
                int32_t refresh, int32_t passed) {
  (void)color_switch;
  (void)refresh;
  if (pending_error) return;
  // Only the text mode is built; graphics modes are refused like unknown ones.
  if ((passed & passed_mode) && mode != 0) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (((passed & passed_active) && active_page < 0) || ((passed & passed_visual) && visual_page_number < 0)) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (passed != passed_mode) auto_extend_rows = 0;

  screen_image* first = page_zero();
  bool rebuild = !first || first->screen_mode != 0 || requested_cols >= 0 || requested_rows >= 0 ||
                 requested_font >= 0;
  if (rebuild) build_text_screen();

  if (!pending_error && (passed & passed_active)) {
    int32_t index = ensure_page(active_page);
    if (index) {
      if (write_target_index != index || read_source_index != index) {
        current_images_set(index, index, visual_page_index);
        page_output_reset();
      }
      active_page_number = active_page;
    }
  }
  if (!pending_error && (passed & passed_visual)) {
    int32_t index = ensure_page(visual_page_number);
    if (index && visual_page_index != index) {
      current_images_set(write_target_index, read_source_index, index);
      page_output_reset();
    }
  }
  if (rebuild) frame_builder_release();
  screen_changed(nullptr);
}

void screen_width(int32_t file, int32_t columns, int32_t rows, int32_t extra1, int32_t extra2, int32_t passed) {
  (void)extra1;
  (void)extra2;
  if (pending_error) return;
  if (file != 0) {
    raise_error(error_bad_file_name_or_number);  // no files are open
    return;
  }
  bool has_cols = passed & passed_columns;
  bool has_rows = passed & passed_rows;
  auto_extend_rows = 0;
  if (!has_cols && !has_rows) {
    raise_error(error_illegal_function_call);
    return;
  }
  screen_image* current = page_zero();
  if (!current) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (!text_grid_allowed(has_cols ? columns : current->width, has_rows ? rows : text_rows(current))) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (!has_rows) {
    if (columns != 40 && columns != 80) {
      raise_error(error_illegal_function_call);
      return;
    }
    requested_cols = columns;
    requested_rows = requested_font = -1;
    screen_set(0, 0, 0, 0, 0, passed_mode);
    return;
  }
  if (!has_cols) columns = current->width;
  int32_t font = font_for_grid(columns, rows);
  if (static_cast<uint32_t>(font) == current->font_id && columns == current->width && rows == text_rows(current))
    return;
  requested_cols = columns;
  requested_rows = rows;
  requested_font = font;
  screen_set(0, 0, 0, 0, 0, passed_mode);
}

bool text_grid_allowed(int32_t columns, int32_t rows) {
  if (columns <= 0 || rows <= 0 || columns > frame_side_limit || rows > frame_side_limit) return false;
  return text_frame_fits(columns, rows, font_for_grid(columns, rows));
}

bool text_frame_fits(int32_t columns, int32_t rows, int32_t font) {
  if (font < 0 || font >= 49) return true;  // a font the frame builder does not draw makes no frame
  return int64_t{columns} * font_width[font] <= frame_side_limit &&
         int64_t{rows} * font_height[font] <= frame_side_limit;
}

void screen_startup() {
  fonts_startup();
  image_table_clear();
  palettes_startup();
  std::free(page_table);
  page_table = nullptr;
  page_table_size = 0;
  page_table_reserve(1);
  requested_cols = requested_rows = requested_font = -1;
  screen_set(0, 0, 0, 0, 0, passed_mode);
  auto_extend_rows = 1;
}
