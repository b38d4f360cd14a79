// Hardware images and the drawing surface: textures, the frame's place in the window, quads in window pixels (window thread only).
#pragma once
#include <cstdint>

// Where black bars go beside a frame drawn at its aspect in a window of another shape.
enum border_bars : int32_t {
  border_none = 0,
  border_left_right = 1,
  border_top_bottom = 2,
};

// Destination rectangle of the frame in window pixels (inclusive) and how it is drawn.
struct destination_rect {
  int32_t x0, y0, x1, y1;
  float scale_x, scale_y;
  int32_t smooth;       // linear filtering
  int32_t border_mode;  // a border_bars value
};

// The drawing surface: the presenter writes the first two, window creation the third.
extern int32_t window_width, window_height;  // size from the last reshape
extern destination_rect destination;         // where the frame is drawn now
extern int32_t framebuffer_objects;          // GL_EXT_framebuffer_object is supported

// A frame rectangle mapped to inclusive window pixels through `destination`.
struct window_rect {
  int32_t x0, y0, x1, y1;
};
window_rect map_frame_rect(const destination_rect& dest, int32_t x, int32_t y, int32_t width, int32_t height);
// The frame pixel under window pixel (x, y) when the frame is drawn into `dest`: false
// when the point lies outside the frame's rectangle (a bar or the cleared part).
bool window_to_frame_point(const destination_rect& dest, int32_t x, int32_t y, int32_t* frame_x, int32_t* frame_y);

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
void fill_window_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);    // black, window pixels
void invert_window_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1);  // colours inverted, window pixels
void reset_2d_state();  // projection and viewport are set again on the next draw
