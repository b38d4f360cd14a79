// Image operations (_DEST, _SOURCE, _COPYIMAGE, _FREEIMAGE and PCOPY over pages and handles).
#include <cstdint>
#include <cstring>
#include <new>

#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"

namespace {

size_t image_bytes(const screen_image* image) {
  return static_cast<size_t>(image->width) * image->height * image->bytes_per_pixel;
}

}  // namespace

int32_t image_resolve(int32_t page_or_handle) {
  if (page_or_handle >= 0) {
    int32_t index = ensure_page(page_or_handle);
    return index ? index : -1;
  }
  // A handle is the negated index; the most negative number has no index.
  if (page_or_handle == INT32_MIN || !image_at(-page_or_handle)) {
    raise_error(error_invalid_handle);
    return -1;
  }
  return -page_or_handle;
}

void set_write_target(int32_t page_or_handle) {
  if (pending_error) return;
  int32_t index = image_resolve(page_or_handle);
  if (index < 0) return;
  current_images_set(index, read_source_index, visual_page_index);
}

int32_t get_write_target() { return -write_target_index; }

void set_read_source(int32_t page_or_handle) {
  if (pending_error) return;
  int32_t index = image_resolve(page_or_handle);
  if (index < 0) return;
  current_images_set(write_target_index, index, visual_page_index);
}

int32_t get_read_source() { return -read_source_index; }

int32_t image_copy(int32_t page_or_handle, int32_t mode, int32_t passed) {
  (void)mode;  // hardware images are not built: every copy is a software image
  (void)passed;
  if (pending_error) return 0;
  int32_t source_index = image_resolve(page_or_handle);
  if (source_index < 0) return 0;
  screen_image* source = image_at(source_index);
  size_t bytes = image_bytes(source);
  uint8_t* buffer = new (std::nothrow) uint8_t[bytes ? bytes : 1];
  uint32_t* palette = source->palette ? new (std::nothrow) uint32_t[256] : nullptr;
  if (!buffer || (source->palette && !palette)) {
    delete[] buffer;
    delete[] palette;
    return -1;
  }
  std::memcpy(buffer, source->buffer, bytes);
  if (palette) std::memcpy(palette, source->palette, 256 * sizeof(uint32_t));
  int32_t index = image_slot_new();
  screen_image* copy = image_at(index);
  source = image_at(source_index);  // the slot above may have added a block; records never move
  std::memcpy(static_cast<void*>(copy), source, sizeof *copy);
  copy->lock_handle = nullptr;
  copy->lock_id = 0;
  copy->in_use = 1;
  copy->buffer = buffer;
  copy->palette = palette;
  copy->owner_flags = owns_buffer | (palette ? owns_palette : 0);
  return -index;
}

void image_free(int32_t handle, int32_t passed) {
  if (pending_error) return;
  if (!passed) handle = -write_target_index;
  if (handle >= 0) {
    raise_error(error_illegal_function_call);  // a page number names a screen page
    return;
  }
  int32_t index = image_resolve(handle);
  if (index < 0) return;
  if (image_at(index)->owner_flags & is_screen_page) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (write_target_index == index) current_images_set(visual_page_index, read_source_index, visual_page_index);
  if (read_source_index == index) current_images_set(write_target_index, visual_page_index, visual_page_index);
  image_release(index);
}

void page_copy(int32_t source, int32_t destination) {
  if (pending_error) return;
  int32_t from_index = image_resolve(source);
  if (from_index < 0) return;
  int32_t to_index = image_resolve(destination);
  if (to_index < 0) return;
  screen_image* from = image_at(from_index);
  screen_image* to = image_at(to_index);
  if (from->bytes_per_pixel != to->bytes_per_pixel || from->width != to->width || from->height != to->height ||
      (from->bytes_per_pixel == 1 && to->color_mask < from->color_mask)) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (from == to) return;
  shared_move(to->buffer, from->buffer, image_bytes(from));  // the destination may be on display
  screen_changed(to);
}
