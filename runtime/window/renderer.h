// The screen renderer: software frames built from the visual page, presented as a texture.
#pragma once
#include <atomic>
#include <cstdint>
#include "runtime/console/screen.h"

// States of a software frame slot.
constexpr int32_t frame_free = 1;
constexpr int32_t frame_building = 2;
constexpr int32_t frame_ready = 3;
constexpr int32_t frame_shown = 4;  // on display

// One of the three software frames between the builder and the presenter. The builder
// claims a slot by moving it to frame_building and publishes it as frame_ready; the
// presenter moves a ready slot to frame_shown and gives old ones back as frame_free. Every
// move is a compare-exchange, so a slot is never owned by both threads at once.
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

extern int32_t allowed_fullscreen_mode;   // 0 any, -1 Alt+Enter off, 1 or 2 only that mode
extern int32_t allowed_fullscreen_smooth; // 0 either, 1 only smooth, -1 only not smooth
extern int32_t resize_mode;               // 0 off, 1 stretch, 2 stretch smoothed
extern int32_t snap_window_to_frame;      // 1: a window of another size is resized to the frame
extern int32_t framebuffer_objects;       // GL_EXT_framebuffer_object is supported

void renderer_reset();  // start-up: drawing state unknown, the three slots free
void presenter_reset();  // the presenter's part of renderer_reset: nothing shown, no texture
void build_frame();
void present_frame();
// Window thread: true when the window should be drawn again (a newer frame is ready, or
// the size or full-screen mode changes); the idle pass then posts a redisplay.
bool presentation_due();
void window_reshaped(int width, int height);

// ---- Frame builder helpers (pure; the builder and its tests use them) ----

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

// ---- Presenter state (window thread only) ----

extern int32_t window_width, window_height;                    // size from the last reshape
extern int32_t previous_window_width, previous_window_height;  // the size before that
extern int32_t size_changed;       // set by the reshape callback, cleared by the next draw
extern int32_t reshape_pending;    // the presenter asked the toolkit to resize the window
extern int32_t layer_order[4];     // pass (1-4) of: software frame, hardware images, program GL, hardware 2

// Destination rectangle of the frame in window pixels (inclusive) and how it is drawn.
struct destination_rect {
  int32_t x0, y0, x1, y1;
  float scale_x, scale_y;
  int32_t smooth;       // linear filtering
  int32_t border_mode;  // 0 none, 1 bars left and right, 2 bars top and bottom
};
extern destination_rect destination;

// Where a frame of frame_w x frame_h goes in a window of window_w x window_h; `scale` is
// the display scale a window that is not stretched draws the frame at.
destination_rect compute_destination(int32_t frame_w, int32_t frame_h, int32_t window_w, int32_t window_h,
                                     int32_t fullscreen, int32_t resize, int32_t smooth_in_fullscreen,
                                     int32_t scale = 1);

// What the windowed size policy asks of the toolkit.
struct size_decision {
  int32_t action;         // 0 nothing, 1 resize to keep the aspect, 2 snap back to the frame size
  int32_t width, height;  // the size to ask for
  float applied_aspect;   // new applied aspect (action 1)
};
size_decision window_size_policy(int32_t frame_w, int32_t frame_h, int32_t frame_size_changed,
                                 int32_t window_w, int32_t window_h, int32_t previous_w, int32_t previous_h,
                                 float applied_aspect, int32_t resize, int32_t snap);

// A frame rectangle mapped to inclusive window pixels through `destination`.
struct window_rect {
  int32_t x0, y0, x1, y1;
};
window_rect map_frame_rect(const destination_rect& dest, int32_t x, int32_t y, int32_t width, int32_t height);

// ---- Hardware images (window thread only; textures.cpp) ----

int32_t make_texture(int32_t width, int32_t height, const uint32_t* pixels);  // handle > 0, or 0
// Replaces pixel rows first_row..last_row of an image made at exactly width x height, in
// place. False when that cannot be done (no such image, another size, or an image the
// driver took only padded or rescaled): make a new one then.
bool update_texture(int32_t handle, int32_t width, int32_t height, const uint32_t* pixels, int32_t first_row,
                    int32_t last_row);
void free_texture(int32_t handle);
bool texture_exists(int32_t handle);
// Frame rectangle (x0, y0)-(x1, y1) inclusive, drawn from the source texel rectangle.
void draw_image_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t handle, int32_t source_x0,
                     int32_t source_y0, int32_t source_x1, int32_t source_y1, int32_t blend, int32_t smooth);
// Copies the whole image unscaled to window pixel (x, y) (its top-left corner), opaque.
// Much cheaper than drawing it on software renderers; false when the driver cannot (then
// draw it with draw_image_rect).
bool blit_image(int32_t handle, int32_t x, int32_t y);
void flush_triangles();
void fill_window_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);  // black, window pixels
void invert_window_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);  // colours inverted, window pixels
void reset_2d_state();  // projection and viewport are set again on the next draw
