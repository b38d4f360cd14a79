// Text images (keeps the making of text images, the cell accessor, and per-image palette, font and colours).
#include <cstring>
#include <new>

#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"

namespace {

// Record fields above 32,767 would not fit the signed cursor and region rows.
constexpr int32_t text_size_limit = 32767;

constexpr uint8_t blank_char = 32;
constexpr uint8_t default_attribute = 7;

// Sets every field of a fresh text record except the buffer; false when the palette cannot be had.
bool text_record_init(screen_image* image, int32_t width, int32_t height) {
  image->width = static_cast<uint16_t>(width);
  image->height = static_cast<uint16_t>(height);
  image->bytes_per_pixel = 2;
  image->bits_per_pixel = 16;
  image->screen_mode = 0;
  image->is_text = 1;
  image->font_id = 16;
  image->fg_color = 7;
  image->bg_color = 0;
  image->pen_color = 7;
  image->glyph_mode = 3;
  image->draw_angle = 0;
  image->draw_scale = 1.0;
  image->cursor_visible = 0;
  image->cursor_start_line = 4;
  image->cursor_end_line = 4;
  image->transparent_index = -1;
  image->color_mask = 65535;
  image->cursor_row = 1;
  image->cursor_col = 1;
  image->view_top = 1;
  image->view_bottom = static_cast<int16_t>(height - 1 < 1 ? 1 : height - 1);
  image->palette = new (std::nothrow) uint32_t[256]();
  if (!image->palette) return false;
  image->owner_flags |= owns_palette;
  palette_restore(image);
  return true;
}

bool text_size_ok(int32_t width, int32_t height, int32_t mode) {
  return mode == 0 && width > 0 && height > 0 && width <= text_size_limit && height <= text_size_limit;
}

}  // namespace

uint8_t* text_cell(screen_image* image, int32_t row, int32_t col) {
  if (!image || !image->in_use || !image->is_text || !image->buffer) return nullptr;
  if (row < 1 || col < 1 || row > image->height || col > image->width) return nullptr;
  return image->buffer + (static_cast<size_t>(row - 1) * image->width + static_cast<size_t>(col - 1)) * 2;
}

uint8_t text_attribute(const screen_image* image) {
  return blank_attribute(image, image->bg_color);
}

uint8_t blank_attribute(const screen_image* image, uint32_t background) {
  uint32_t attribute = (background & 7) * 16 + (image->fg_color & 15) + ((image->fg_color & 16) ? 128 : 0);
  return static_cast<uint8_t>(attribute);
}

void text_fill_rows(screen_image* image, int32_t first_row, int32_t last_row, uint8_t attribute) {
  if (!image) return;
  if (first_row < 1) first_row = 1;
  if (last_row > image->height) last_row = image->height;
  if (first_row > last_row) return;
  uint8_t* start = text_cell(image, first_row, 1);
  uint8_t* end = text_cell(image, last_row, image->width);
  if (!start || !end) return;
  for (uint8_t* cell = start; cell <= end; cell += 2) {  // the frame thread may be reading them
    shared_store(&cell[0], blank_char);
    shared_store(&cell[1], attribute);
  }
}

int32_t text_rows(const screen_image* image) { return image ? image->height : 0; }

int32_t image_over_buffer(uint8_t* buffer, int32_t width, int32_t height, int32_t mode) {
  if (!buffer || !text_size_ok(width, height, mode)) return 0;
  int32_t index = image_slot_new();
  screen_image* image = image_at(index);
  if (!image) return 0;
  image->buffer = buffer;
  if (!text_record_init(image, width, height)) {
    image_release(index);
    return 0;
  }
  return index;
}

int32_t image_new(int32_t width, int32_t height, int32_t mode) {
  if (!text_size_ok(width, height, mode)) return 0;
  size_t cells = static_cast<size_t>(width) * static_cast<size_t>(height);
  uint8_t* buffer = new (std::nothrow) uint8_t[cells * 2];
  if (!buffer) return 0;
  for (size_t i = 0; i < cells; ++i) {
    buffer[i * 2] = blank_char;
    buffer[i * 2 + 1] = default_attribute;
  }
  int32_t index = image_slot_new();
  screen_image* image = image_at(index);
  if (!image) {
    delete[] buffer;
    return 0;
  }
  image->buffer = buffer;
  image->owner_flags |= owns_buffer;
  if (!text_record_init(image, width, height)) {
    image_release(index);
    return 0;
  }
  return index;
}

void palette_restore(screen_image* image) {
  if (!image || !image->palette) return;
  switch (image->screen_mode) {
    case 13:
    case 256:
      std::memcpy(image->palette, master_palette_256, sizeof master_palette_256);
      break;
    default:
      // Text and the 16-colour modes; the CGA/EGA subsets of the other graphics modes are
      // not built, so they take the same sixteen colours.
      std::memcpy(image->palette, master_palette_256, 16 * sizeof(uint32_t));
      break;
  }
}

void font_select(int32_t font, screen_image* image) {
  if (!image) return;
  image->font_id = static_cast<uint32_t>(font);
  image->cursor_row = 1;
  image->cursor_col = 1;
  image->view_top = 1;
  int32_t rows = text_rows(image);
  image->view_bottom = static_cast<int16_t>(rows - 1 < 1 ? 1 : rows - 1);
}

void page_colors_reset() {
  screen_image* image = write_target;
  if (!image) return;
  switch (image->screen_mode) {
    case 0: image->fg_color = 7; break;
    case 1:
    case 10: image->fg_color = 3; break;
    case 2:
    case 11: image->fg_color = 1; break;
    case 32: image->fg_color = 0xFFFFFFFFu; break;
    default: image->fg_color = 15; break;
  }
  image->bg_color = image->screen_mode == 32 ? 0xFF000000u : 0;
  image->pen_color = image->fg_color;
}

int32_t console_page_new() {
  int32_t index = image_new(80, 25, 0);
  if (screen_image* image = image_at(index)) image->is_console = 1;
  return index;
}
