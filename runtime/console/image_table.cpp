// Image table (keeps every screen_image record, the stack of freed slots and the three current images).
#include <cstdlib>
#include <cstring>
#include <new>

#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/arrays.h"

namespace {

// Records live in blocks of image_table_step that are never moved or freed, so the
// frame builder's pointer to the visual page stays valid while the table grows.
constexpr int32_t image_block_limit = 16384;
screen_image** const image_blocks = new screen_image*[image_block_limit]();
int32_t image_block_count = 0;

int32_t* free_slot_stack = nullptr;  // freed indices, reused first
int32_t free_slot_capacity = 0;      // entries free_slot_stack has room for

screen_image* record_at(int32_t index) {
  return &image_blocks[index / image_table_step][index % image_table_step];
}

// Adds one zero-filled block of records; false when memory runs out.
bool image_table_grow() {
  if (image_block_count >= image_block_limit) return false;
  screen_image* block = new (std::nothrow) screen_image[image_table_step]();
  if (!block) return false;
  image_blocks[image_block_count++] = block;
  image_table_size += image_table_step;
  return true;
}

}  // namespace

int32_t image_table_size = 0;
int32_t next_unused_slot = 0;
int32_t free_slot_top = -1;

int32_t write_target_index = 0;
screen_image* write_target = nullptr;
int32_t read_source_index = 0;
screen_image* read_source = nullptr;
int32_t visual_page_index = 0;
int32_t active_page_number = 0;

screen_image* image_at(int32_t index) {
  if (index < 0 || index >= next_unused_slot) return nullptr;
  screen_image* image = record_at(index);
  return image->in_use ? image : nullptr;
}

void current_images_set(int32_t write_index, int32_t read_index, int32_t visual_index) {
  write_target_index = write_index;
  write_target = record_at(write_index);
  read_source_index = read_index;
  read_source = record_at(read_index);
  visual_page_index = visual_index;
  visual_page.store(record_at(visual_index), std::memory_order_release);
}

int32_t image_slot_new() {
  int32_t index;
  if (free_slot_top >= 0) {
    index = free_slot_stack[free_slot_top--];
  } else {
    if (next_unused_slot >= image_table_size && !image_table_grow()) raise_fatal_error(error_image_table_memory);
    index = next_unused_slot++;
  }
  screen_image* image = record_at(index);
  std::memset(static_cast<void*>(image), 0, sizeof *image);
  image->in_use = 1;
  return index;
}

int32_t image_slot_release(int32_t index) {
  screen_image* image = image_at(index);
  if (!image) return 0;
  if (free_slot_top + 1 >= free_slot_capacity) {
    int32_t capacity = free_slot_capacity + image_table_step;
    void* grown = std::realloc(free_slot_stack, sizeof(int32_t) * static_cast<size_t>(capacity));
    if (!grown) raise_fatal_error(error_image_slots_memory);
    free_slot_stack = static_cast<int32_t*>(grown);
    free_slot_capacity = capacity;
  }
  if (image->lock_id != 0 && image->lock_handle) mem_lock_free(image->lock_handle);
  std::memset(static_cast<void*>(image), 0, sizeof *image);
  free_slot_stack[++free_slot_top] = index;
  return 1;
}

void image_release(int32_t index) {
  screen_image* image = image_at(index);
  if (!image) return;
  if (image->owner_flags & owns_buffer) delete[] image->buffer;
  if (image->owner_flags & owns_palette) delete[] image->palette;
  image->buffer = nullptr;
  image->palette = nullptr;
  image_slot_release(index);
}

void image_table_clear() {
  // Release what a previous start-up made, then reuse the blocks already there.
  for (int32_t i = 0; i < next_unused_slot; ++i) {
    screen_image* image = record_at(i);
    if (!image->in_use) continue;
    if (image->owner_flags & owns_buffer) delete[] image->buffer;
    if (image->owner_flags & owns_palette) delete[] image->palette;
  }
  for (int32_t b = 0; b < image_block_count; ++b)
    std::memset(static_cast<void*>(image_blocks[b]), 0, sizeof(screen_image) * image_table_step);
  next_unused_slot = 0;
  free_slot_top = -1;
  if (!free_slot_stack) {
    free_slot_stack = static_cast<int32_t*>(std::malloc(sizeof(int32_t) * image_table_step));
    if (!free_slot_stack) raise_fatal_error(error_image_slots_memory);
    free_slot_capacity = image_table_step;
  }
  // Indices 0 and 1 are taken but never live, so handles 0 and -1 name no image.
  image_slot_new();
  image_slot_new();
  record_at(0)->in_use = 0;
  record_at(1)->in_use = 0;
  write_target_index = read_source_index = visual_page_index = 0;
  write_target = read_source = record_at(0);
  visual_page.store(record_at(0), std::memory_order_release);
}
