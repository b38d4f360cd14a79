// PRINT fuzz target: a random text screen set-up (WIDTH, LOCATE, VIEW PRINT, COLOR), then PRINT operations.
#include <string>

#include "fuzz/fuzz_targets.h"
#include "runtime/ground/conventional_memory.h"
#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/strings.h"

namespace {

// Grid sizes: mostly small (narrow pages are where wrapping goes wrong), a few at and
// beyond the largest frame, a few that WIDTH refuses.
int32_t grid_size(uint8_t b) {
  static const int32_t large[] = {1024, 1025, 3000, 32767, 0, -1};
  if (b >= 250) return large[b - 250];
  return 1 + b % 132;
}

// The cursor and the region always stay on the page, and the wrap state is one of three.
void check_page() {
  const screen_image* page = write_target;
  FUZZ_CHECK(page->cursor_col >= 1 && page->cursor_col <= page->width);
  FUZZ_CHECK(page->cursor_row >= 1 && page->cursor_row <= page->height);
  FUZZ_CHECK(page->wrap_pending <= 2);
  FUZZ_CHECK(page->view_top >= 1 && page->view_top <= page->view_bottom && page->view_bottom <= page->height);
}

void print_bytes(fuzz_bytes& in, bool fit_first) {
  uint8_t head = in.next();
  size_t length = head % 64;
  std::string bytes;
  for (size_t i = 0; i < length && !in.done(); ++i) {
    uint8_t c = in.next();
    bytes += static_cast<char>(c == 7 ? 8 : c);  // the bell would pause for 250 ms
  }
  rt_string text{};
  text.chars = reinterpret_cast<uint8_t*>(bytes.data());
  text.len = static_cast<int32_t>(bytes.size());
  text.readonly = 1;
  if (fit_first) print_fit_check(&text);
  print_text(&text, (head & 64) ? 1 : 0);
}

// The start-up screen again. Rebuilding it costs more than most inputs, so while its grid
// is still the start-up one only what the statements change is put back.
void fresh_screen() {
  screen_image* first = page_table_size == 8 ? image_at(page_table[0]) : nullptr;
  bool start_up_grid = first && first->width == 80 && first->height == 25 && first->font_id == 16 &&
                       write_target == first && visual_page.load() == first;
  if (!start_up_grid) {
    screen_startup();
    return;
  }
  for (int32_t page = 0; page < page_table_size; ++page) {
    screen_image* image = image_at(page_table[page]);
    if (!image) continue;
    image->cursor_row = image->cursor_col = 1;
    image->view_top = 1;
    image->view_bottom = 24;
    image->wrap_pending = 0;
    image->fg_color = image->pen_color = 7;
    image->bg_color = 0;
    image->cursor_visible = 0;
    image->cursor_start_line = image->cursor_end_line = 4;
  }
  for (size_t i = 0; i < 65536; i += 2) {
    conventional_memory[video_memory_offset + i] = 32;
    conventional_memory[video_memory_offset + i + 1] = 7;
  }
  auto_extend_rows = 1;
}

}  // namespace

void fuzz_print(const uint8_t* data, size_t size) {
  fuzz_bytes in{data, size};
  pending_error = 0;
  controls_off = 0;
  fresh_screen();

  uint8_t cols = in.next();
  uint8_t rows = in.next();
  if (cols || rows) screen_width(0, grid_size(cols), grid_size(rows), 0, 0, (cols ? 1 : 0) | (rows ? 2 : 0));
  pending_error = 0;
  int steps = 0;
  while (!in.done() && steps++ < 4096) {
    uint8_t op = in.next();
    switch (op % 12) {
      case 0: case 1: case 2: case 3: print_bytes(in, false); break;
      case 4: print_bytes(in, true); break;
      case 5: print_next_zone(); break;
      case 6: print_newline(); break;
      case 7: {
        // One read per statement keeps the order of the bytes the same under every compiler.
        int32_t row = in.next();
        int32_t col = in.next();
        int32_t cursor = in.next() & 1;
        int32_t start = in.next() % 40;
        int32_t end = in.next() % 40;
        cursor_locate(row, col, cursor, start, end, in.next() & 31);
        break;
      }
      case 8: {
        int32_t top = in.next();
        int32_t bottom = in.next();
        view_print_set(top, bottom, op & 16 ? 0 : 1);
        break;
      }
      case 9: {
        uint32_t fg = in.next();
        uint32_t bg = in.next();
        color_set(fg % 40, bg % 20, 0, in.next() & 7);
        break;
      }
      case 10: controls_set(in.next() % 3); break;
      default: {
        int32_t method = in.next() % 4;
        screen_clear(method, in.next(), (op >> 4) & 3);
        break;
      }
    }
    pending_error = 0;  // a refused statement changes nothing; the next one runs
    check_page();
  }
  controls_off = 0;
}
