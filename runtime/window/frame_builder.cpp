// Frame builder (keeps the three software frame slots and paints the visual text page into them).
#include <sched.h>

#include <cstring>
#include <mutex>
#include <new>

#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/accessibility_thread.h"
#include "runtime/window/message_box.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/window.h"
#include "runtime/window/window_wake.h"

int32_t layer_order[4] = {1, 2, 3, 4};

// All free, nothing painted yet.
software_frame software_frames[3] = {
    {{1}, {0}, nullptr, 0, 0, 0, 0, 0, -1, nullptr, 0, 0, 0, 0, 0},
    {{1}, {0}, nullptr, 0, 0, 0, 0, 0, -1, nullptr, 0, 0, 0, 0, 0},
    {{1}, {0}, nullptr, 0, 0, 0, 0, 0, -1, nullptr, 0, 0, 0, 0, 0},
};

namespace {

// Comparison memory of the builder: what the last painted frame showed.
uint8_t* previous_cells = nullptr;        // cell bytes as last painted (character, attribute)
size_t previous_cells_size = 0;           // bytes in previous_cells (columns x rows x 2)
uint8_t* current_cells = nullptr;         // this frame's snapshot of the page, same size
uint32_t previous_palette[256];           // palette used for the last frame
int32_t previous_blink_phase = 0;         // blink phase of the last frame
int32_t previous_cursor_phase = 0;        // cursor phase of the last frame
int32_t previous_cursor_x = -1;           // cursor cell of the last frame (0-based)
int32_t previous_cursor_y = -1;
int32_t previous_cursor_look = -1;        // visibility and shape of the last frame's cursor
int32_t previous_blink_enabled = 1;       // blink_enabled when the last frame was painted

// The frame thread builds automatically and the program thread on demand; the two never
// build at the same time.
std::mutex& builder_mutex = *new std::mutex;

// A screen statement asked the builder to hold still: say so and let it run.
void acknowledge_pause() {
  if (handshake_answer(frame_build_pause)) sched_yield();
}

// Claims a slot for building: the oldest ready one, unless a free one exists (the last
// free one wins). Returns -1 when every slot is busy.
int claim_slot() {
  for (int attempt = 0; attempt < 8; ++attempt) {
    int chosen = -1;
    int32_t seen = 0;
    int64_t lowest = next_frame_order.load();
    for (int i = 0; i < 3; ++i) {
      int64_t order = software_frames[i].order.load();
      if (software_frames[i].state.load() == frame_ready && order < lowest) {
        chosen = i;
        seen = frame_ready;
        lowest = order;
      }
    }
    for (int i = 0; i < 3; ++i) {
      if (software_frames[i].state.load() == frame_free) {
        chosen = i;
        seen = frame_free;
      }
    }
    if (chosen < 0) return -1;
    // The presenter may take a ready slot at the same moment; then look again.
    if (software_frames[chosen].state.compare_exchange_strong(seen, frame_building)) return chosen;
  }
  return -1;
}

// The newest finished frame other than `self`, or -1.
int newest_finished_slot(int self) {
  int found = -1;
  int64_t highest = -1;
  for (int i = 0; i < 3; ++i) {
    if (i == self) continue;
    int32_t state = software_frames[i].state.load();
    int64_t order = software_frames[i].order.load();
    if ((state == frame_ready || state == frame_shown) && order > highest) {
      found = i;
      highest = order;
    }
  }
  return found;
}

bool ensure_comparison_buffers(size_t size) {
  if (size == previous_cells_size && previous_cells) return true;
  uint8_t* cells = new (std::nothrow) uint8_t[size];
  uint8_t* snapshot = new (std::nothrow) uint8_t[size];
  if (!cells || !snapshot) {
    delete[] cells;
    delete[] snapshot;
    return false;
  }
  delete[] previous_cells;
  delete[] current_cells;
  previous_cells = cells;
  current_cells = snapshot;
  previous_cells_size = size;
  return true;
}

bool ensure_pixels(software_frame& slot, int32_t width, int32_t height) {
  int64_t bytes = int64_t(width) * height * 4;
  if (bytes > INT32_MAX) return false;
  if (!slot.pixels || slot.capacity < bytes) {
    uint32_t* pixels = new (std::nothrow) uint32_t[size_t(width) * height];
    if (!pixels) return false;
    delete[] slot.pixels;
    slot.pixels = pixels;
    slot.capacity = int32_t(bytes);
  }
  slot.width = width;
  slot.height = height;
  return true;
}

// Keeps the cells a frame was painted from with the frame (the mouse selection reads them).
void keep_cells(software_frame& slot, const uint8_t* cells, int32_t columns, int32_t rows,
                const glyph_geometry& glyph) {
  int32_t bytes = columns * rows * 2;
  if (!slot.cells || slot.cells_capacity < bytes) {
    uint8_t* fresh = new (std::nothrow) uint8_t[size_t(bytes)];
    delete[] slot.cells;
    slot.cells = fresh;
    slot.cells_capacity = fresh ? bytes : 0;
  }
  if (!slot.cells) {
    slot.columns = slot.rows = 0;
    return;
  }
  std::memcpy(slot.cells, cells, size_t(bytes));
  slot.columns = columns;
  slot.rows = rows;
  slot.cell_width = glyph.width;
  slot.cell_height = glyph.height;
}

// What the cursor looks like, so that a change of visibility or shape repaints its cell.
int32_t cursor_look(const screen_image* page) {
  return (page->cursor_visible ? 1 : 0) | (page->cursor_start_line << 1) | (page->cursor_end_line << 9);
}

// What the cells of one frame are painted with.
struct cell_painter {
  uint32_t* pixels;        // the frame being painted
  int32_t frame_width;     // its width in pixels
  glyph_geometry glyph;    // the font's glyphs and cell size
  const uint32_t* palette; // the palette as this build read it
  int32_t blink;           // 1: attribute bit 7 means blink
  int32_t blink_phase;     // 1: blinking characters are hidden now
  int32_t cursor_first;    // the cursor's first line in the cell
  int32_t cursor_count;    // its lines; 0 when it does not show
};

// Paints one cell: the glyph in its colours, then the cursor lines when they show.
void paint_cell(const cell_painter& painter, int32_t column, int32_t row, uint8_t character, uint8_t attribute,
                bool draw_cursor) {
  int32_t foreground = attribute & 15;
  int32_t background;
  bool blinking = false;
  if (painter.blink) {
    background = (attribute >> 4) & 7;
    blinking = (attribute & 0x80) != 0;
  } else {
    background = attribute >> 4;
  }
  const glyph_geometry& glyph = painter.glyph;
  const uint32_t* palette = painter.palette;
  int32_t frame_width = painter.frame_width;
  uint32_t background_colour = palette[background];
  uint32_t foreground_colour = palette[blinking && painter.blink_phase ? background : foreground];
  uint32_t* origin = painter.pixels + size_t(row) * glyph.height * frame_width + size_t(column) * glyph.width;
  const uint8_t* rows = glyph.source + size_t(character) * glyph.stride;
  // A glyph row is 8 bytes, each lit when not 0. They are folded into one byte (bit x for
  // pixel x) that selects 8 all-ones or all-zero words from a table, so a row is painted
  // with whole-word masks instead of a choice per pixel. The glyph copies may change at
  // run time, so the rows are folded as they are painted, not ahead.
  struct row_mask_table {
    uint32_t words[256][8];
  };
  static const row_mask_table& masks = *[] {
    auto* table = new row_mask_table;
    for (int bits = 0; bits < 256; ++bits)
      for (int x = 0; x < 8; ++x) table->words[bits][x] = (bits >> x) & 1 ? 0xFFFFFFFFu : 0u;
    return table;
  }();
  const uint32_t difference = foreground_colour ^ background_colour;
  for (int32_t y = 0; y < glyph.height; ++y) {
    uint64_t bytes;
    std::memcpy(&bytes, rows + y * 8, 8);
    // Top bit of each byte set when the byte is not 0, then those 8 bits gathered into
    // the top byte of the product (byte x, the x-th pixel in memory order, to bit x).
    static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "glyph rows are read as little-endian words");
    uint64_t lit = (((bytes & 0x7F7F7F7F7F7F7F7Full) + 0x7F7F7F7F7F7F7F7Full) | bytes) & 0x8080808080808080ull;
    const uint32_t* mask = masks.words[(lit * 0x0002040810204081ull) >> 56];
    uint32_t* line = origin + size_t(y) * frame_width;
    // Built in a local row first: with no aliasing to fear the compiler paints it in
    // vector registers.
    uint32_t painted[8];
    for (int32_t x = 0; x < 8; ++x) painted[x] = background_colour ^ (difference & mask[x]);
    if (glyph.doubled) {
      for (int32_t x = 0; x < 8; ++x) line[2 * x] = line[2 * x + 1] = painted[x];
    } else {
      std::memcpy(line, painted, sizeof painted);
    }
  }
  if (!draw_cursor) return;
  uint32_t cursor_colour = palette[foreground];
  int32_t cursor_first = painter.cursor_first, cursor_end = painter.cursor_first + painter.cursor_count;
  for (int32_t y = cursor_first; y < cursor_end; ++y) {
    uint32_t* line = origin + size_t(y) * frame_width;
    for (int32_t x = 0; x < glyph.width; ++x) line[x] = cursor_colour;
  }
}

// Gives an unneeded slot back; the presenter still sees that a frame was offered.
void give_back(int slot, int64_t order) {
  software_frames[slot].state.store(frame_free);
  last_frame_order.store(order);
}

// What one build saw of the visual page. Taken once, so that the decision and the paint
// agree on it while the program thread may be printing meanwhile.
struct text_snapshot {
  screen_image* page;
  glyph_geometry glyph;
  int32_t columns, rows;        // page size in cells
  int32_t width, height;        // frame size in pixels
  int32_t blink;                // 1: attribute bit 7 means blink
  int32_t valid_at_start;       // previous_frame_valid when the build began
  bool compare;                 // paint only what differs from the previous frame
  bool cells_changed;           // the cells differ from the last painted ones
  int32_t phase;                // blink and cursor phase
  int32_t cursor_x, cursor_y;   // cursor cell (0-based)
  int32_t look;                 // cursor visibility and shape
  bool cursor_moved, cursor_changed;
};

// Snapshot: the page, its palette (kept in previous_palette) and its cells (in
// current_cells). False when the page cannot be drawn as text now.
bool take_snapshot(text_snapshot* now) {
  screen_image* page = visual_page.load();
  now->page = page;
  glyph_geometry& glyph = now->glyph;
  if (!page || !page->is_text || !page->palette || !glyph_geometry_for(page->font_id, &glyph)) return false;
  int32_t columns = page->width, rows = page->height;
  const uint8_t* first_cell = text_cell(page, 1, 1);
  if (columns <= 0 || rows <= 0 || !first_cell || !text_cell(page, rows, columns)) return false;
  int32_t width = columns * glyph.width, height = rows * glyph.height;
  if (width > frame_side_limit || height > frame_side_limit) return false;  // WIDTH never makes such a page
  now->columns = columns;
  now->rows = rows;
  now->width = width;
  now->height = height;

  int32_t blink = blink_enabled.load() ? 1 : 0;
  now->blink = blink;
  now->valid_at_start = previous_frame_valid.load();
  bool compare = now->valid_at_start != 0 && blink == previous_blink_enabled;
  size_t cells_size = size_t(columns) * rows * 2;
  if (cells_size != previous_cells_size || !previous_cells) {
    if (!ensure_comparison_buffers(cells_size)) return false;
    compare = false;
  }
  int32_t software_layer = layer_order[0];
  if ((software_layer < 1 || software_layer > 4) && compare) return false;

  // The program thread may be writing the page meanwhile: take one copy, then use only it.
  uint32_t palette_now[256];
  shared_read(reinterpret_cast<uint8_t*>(palette_now), reinterpret_cast<const uint8_t*>(page->palette),
              sizeof palette_now);
  if (!compare) {
    std::memcpy(previous_palette, palette_now, sizeof previous_palette);
  } else if (std::memcmp(previous_palette, palette_now, sizeof previous_palette) != 0) {
    std::memcpy(previous_palette, palette_now, sizeof previous_palette);
    compare = false;
  }

  now->cells_changed = shared_read(current_cells, first_cell, cells_size, compare ? previous_cells : nullptr);
  now->compare = compare;
  int32_t phase = (frame_counter.load() >> 3) & 1;
  now->phase = phase;
  int32_t cursor_x = page->cursor_col - 1, cursor_y = page->cursor_row - 1;
  if (page->wrap_pending == wrap_cursor_next_row && cursor_y < rows - 1) {
    cursor_x = 0;
    cursor_y += 1;
  }
  now->cursor_x = cursor_x;
  now->cursor_y = cursor_y;
  now->look = cursor_look(page);
  now->cursor_moved = cursor_x != previous_cursor_x || cursor_y != previous_cursor_y;
  now->cursor_changed = phase != previous_cursor_phase || now->look != previous_cursor_look;
  return true;
}

// Decide: whether anything differs from the last frame painted.
bool frame_needed(const text_snapshot& now) {
  return !now.compare || now.cells_changed || now.phase != previous_blink_phase || now.cursor_changed ||
         now.cursor_moved;
}

// Sizes the slot's pixels and, when only changes are painted, starts from a copy of the
// newest finished frame (or paints everything when there is none of this size). False
// when the pixels cannot be had.
bool start_frame(software_frame& slot, int slot_index, text_snapshot* now) {
  int32_t width = now->width, height = now->height;
  if (!ensure_pixels(slot, width, height)) return false;
  slot.base_order = 0;
  if (now->compare) {
    int source = newest_finished_slot(slot_index);
    if (source < 0) {
      alert("Text Screen Update: Failed to locate previous frame's data for comparison");
      now->compare = false;
    } else if (software_frames[source].width != width || software_frames[source].height != height ||
               !software_frames[source].pixels) {
      now->compare = false;  // a frame of another size holds nothing to reuse
    } else {
      std::memcpy(slot.pixels, software_frames[source].pixels, size_t(width) * height * 4);
      slot.base_order = software_frames[source].order.load();
    }
  }
  return true;
}

// Paint: every cell that differs from the last frame (all of them without comparison),
// remembered in previous_cells. Sets the slot's changed rows.
void paint_changes(software_frame& slot, const text_snapshot& now) {
  const screen_image* page = now.page;
  int32_t rows = now.rows, columns = now.columns, phase = now.phase;
  cell_painter painter{slot.pixels, now.width, now.glyph, previous_palette, now.blink, phase, 0, 0};
  if (page->cursor_visible && phase)
    cursor_lines(page->cursor_start_line, page->cursor_end_line, now.glyph.height, &painter.cursor_first,
                 &painter.cursor_count);
  int32_t first_painted_row = rows, last_painted_row = -1;
  for (int32_t row = 0; row < rows; ++row) {
    for (int32_t column = 0; column < columns; ++column) {
      size_t at = (size_t(row) * columns + column) * 2;
      uint8_t character = current_cells[at], attribute = current_cells[at + 1];
      bool is_cursor = column == now.cursor_x && row == now.cursor_y;
      if (now.compare) {
        // A moved cursor repaints both its old cell and its new one.
        bool was_cursor = column == previous_cursor_x && row == previous_cursor_y;
        if (character == previous_cells[at] && attribute == previous_cells[at + 1] &&
            (!(attribute & 0x80) || phase == previous_blink_phase) &&
            (!is_cursor || (!now.cursor_changed && !now.cursor_moved)) && (!was_cursor || !now.cursor_moved))
          continue;
      }
      previous_cells[at] = character;
      previous_cells[at + 1] = attribute;
      if (row < first_painted_row) first_painted_row = row;
      last_painted_row = row;
      paint_cell(painter, column, row, character, attribute, is_cursor && painter.cursor_count > 0);
    }
  }
  slot.first_changed_row = first_painted_row * now.glyph.height;
  slot.last_changed_row = last_painted_row < 0 ? -1 : (last_painted_row + 1) * now.glyph.height - 1;
}

// One build of the text page: claim a slot, take a snapshot, decide whether anything
// changed, paint what did and publish the frame; otherwise give the slot back.
void build_text_frame() {
  int slot_index = claim_slot();
  if (slot_index < 0) {
    alert("Software frame buffer: Failed to find available frame");
    return;
  }
  software_frame& slot = software_frames[slot_index];
  int64_t order = next_frame_order.fetch_add(1);
  slot.order.store(order);

  text_snapshot now;
  if (!take_snapshot(&now) || !frame_needed(now) || !start_frame(slot, slot_index, &now)) {
    give_back(slot_index, order);
    return;
  }
  paint_changes(slot, now);

  keep_cells(slot, current_cells, now.columns, now.rows, now.glyph);
  accessibility_publish_page(current_cells, now.columns, now.rows, now.cursor_x, now.cursor_y, now.glyph.width,
                             now.glyph.height);
  previous_blink_phase = now.phase;
  previous_cursor_phase = now.phase;
  previous_cursor_x = now.cursor_x;
  previous_cursor_y = now.cursor_y;
  previous_cursor_look = now.look;
  previous_blink_enabled = now.blink;
  // A full repaint asked for while this frame was painted is kept for the next one.
  previous_frame_valid.compare_exchange_strong(now.valid_at_start, 1);
  slot.state.store(frame_ready);
  last_frame_order.store(order);
  window_wake();  // the presenter shows it on its next pass, which starts now
}

}  // namespace

bool glyph_geometry_for(uint32_t font_id, glyph_geometry* out) {
  switch (font_id) {
    case 8: *out = {8, 8, glyphs_8x8, 64, 0}; return true;
    case 9: *out = {16, 8, glyphs_8x8, 64, 1}; return true;
    case 14: *out = {8, 14, glyphs_8x16 + 8, 128, 0}; return true;
    case 15: *out = {16, 14, glyphs_8x16 + 8, 128, 1}; return true;
    case 16: *out = {8, 16, glyphs_8x16, 128, 0}; return true;
    case 17: *out = {16, 16, glyphs_8x16, 128, 1}; return true;
    default: return false;
  }
}

void cursor_lines(int32_t start, int32_t end, int32_t height, int32_t* first, int32_t* count) {
  // Bottom-anchored shapes sit on line 14 of a 16-line cell, like the hardware cursor.
  int32_t bottom = height == 16 ? 14 : height - 1;
  int32_t from = 0, lines = 0;
  auto at_bottom = [&](int32_t n) { from = bottom - n + 1; lines = n; };
  auto to_bottom = [&](int32_t x) { from = x; lines = x < height ? height - x : 0; };
  if (end == 0) {
    if (start == 0) lines = 1;  // line 0 only
  } else if (end < start) {
    to_bottom(end);
  } else if (start == end) {
    if (start <= 3) {
      from = start;
      lines = 1;
    } else {
      at_bottom(1);
    }
  } else if (start <= 1) {
    if (end <= 3) {
      from = start;
      lines = end - start + 1;
    } else {
      to_bottom(start);
    }
  } else if (start == 2) {
    if (end == 3) {
      from = 2;
      lines = 2;
    } else if (end == 4) {
      at_bottom(3);
    } else {
      to_bottom(2);
    }
  } else if (end == start + 1) {
    at_bottom(2);
  } else if (end == start + 2) {
    at_bottom(3);
  } else {
    from = height - height / 2;  // the lower half, ending on the last line
    lines = height / 2;
  }
  // Never outside the cell, whatever the font height.
  if (from < 0) {
    lines += from;
    from = 0;
  }
  if (from + lines > height) lines = height - from;
  if (lines < 0) lines = 0;
  *first = from;
  *count = lines;
}

void build_frame() {
  // Whatever changed until now is in the snapshot below.
  screen_change_pending.store(0);
  acknowledge_pause();
  {
    std::lock_guard<std::mutex> hold(builder_mutex);
    // A hidden screen gets no frames, but a frame asked for must still be answered below.
    if (screen_hidden.load() != 1 && frame_build_pause.state.load() == handshake_idle) build_text_frame();
  }
  acknowledge_pause();
  int32_t asked = display_one_frame;
  auto_display.compare_exchange_strong(asked, display_manual);
}

void frame_builder_reset() {
  std::lock_guard<std::mutex> hold(builder_mutex);
  for (software_frame& slot : software_frames) {
    slot.state.store(frame_free);
    slot.order.store(0);
    delete[] slot.pixels;
    slot.pixels = nullptr;
    slot.width = slot.height = slot.capacity = 0;
    slot.base_order = 0;
    slot.first_changed_row = 0;
    slot.last_changed_row = -1;
    delete[] slot.cells;
    slot.cells = nullptr;
    slot.columns = slot.rows = slot.cells_capacity = 0;
  }
  next_frame_order.store(1);
  last_frame_order.store(0);
  previous_frame_valid.store(0);
  previous_cursor_x = previous_cursor_y = -1;
  previous_cursor_look = -1;
}
