// The frame builder: software frames painted from the visual page into three slots the presenter takes them from.
#pragma once
#include <atomic>
#include <cstdint>

// States of a software frame slot.
constexpr int32_t frame_free = 1;
constexpr int32_t frame_building = 2;
constexpr int32_t frame_ready = 3;
constexpr int32_t frame_shown = 4;  // on display

// One of the three software frames between the builder and the presenter. The builder
// claims a slot by moving it to frame_building and publishes it as frame_ready; the
// presenter (window thread) moves a ready slot to frame_shown and gives old ones back as
// frame_free. Every move is a compare-exchange, so a slot is never owned by both threads
// at once, and the fields below belong to whoever owns the slot.
struct software_frame {
  std::atomic<int32_t> state;  // frame_free, frame_building, frame_ready or frame_shown
  std::atomic<int64_t> order;  // sequence number; higher is newer
  uint32_t* pixels;            // 0xAARRGGBB, row-major, top row first
  int32_t width, height;       // pixel size
  int32_t capacity;            // bytes allocated for pixels
  // What changed: the frame equals the frame of order base_order (0: any other frame)
  // except in pixel rows first_changed_row to last_changed_row (none when last < first).
  int64_t base_order;
  int32_t first_changed_row, last_changed_row;
  // The text cells the frame shows (character, attribute per cell, row by row), so the
  // window thread can tell what lies under the mouse without touching the live page.
  uint8_t* cells;                    // columns x rows x 2 bytes, or null
  int32_t columns, rows;             // 0 when the frame shows no text page
  int32_t cell_width, cell_height;   // frame pixels per cell
  int32_t cells_capacity;            // bytes allocated for cells
};
extern software_frame software_frames[3];

// Pass (1-4) in which each layer is drawn: software frame, hardware images, program GL,
// hardware 2. The program's statements set it; the builder and the presenter read it.
extern int32_t layer_order[4];

// Builds a frame from the visual page (frame thread, or the program thread in manual display mode).
void build_frame();
// Whether the page as the last build saw it shows something that changes with the blink
// phase (a visible cursor, or blinking text): the frame thread wakes for the phase only then.
bool last_frame_blinks();
// Start-up: the three slots free and empty, the frame orders from the start, the next frame painted in full.
void frame_builder_reset();

// ---- Helpers of the builder (pure; the builder and its tests use them) ----

// Pixel size of one glyph cell and where its pixel rows come from.
struct glyph_geometry {
  int32_t width, height;   // cell size in frame pixels
  const uint8_t* source;   // glyph 0's first drawn row, one byte per pixel
  int32_t stride;          // bytes from one glyph to the next
  int32_t doubled;         // 1: each glyph pixel fills two frame pixels
};
// False for fonts the text path does not draw (loaded fonts, unknown numbers).
bool glyph_geometry_for(uint32_t font_id, glyph_geometry* out);

// Cursor scan lines for first line `start`, last line `end` and glyph height `height`:
// `*first` and `*count` (count 0: no cursor).
void cursor_lines(int32_t start, int32_t end, int32_t height, int32_t* first, int32_t* count);
