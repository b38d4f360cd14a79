// The presenter: the newest finished frame shown in the window, and the window's size and full-screen policy (window thread).
#pragma once
#include <cstdint>

#include "runtime/window/textures.h"

// Start-up: the frame slots free, nothing shown, no texture (no GL context may exist yet).
void renderer_reset();
// The GLUT display callback: shows the newest ready frame. It runs whenever the toolkit
// asks: after the window thread posts a redisplay (presentation_due, a size it asked for,
// a change of the selection highlight) and on expose.
void present_frame();
// True when the window should be drawn again (a newer frame is ready, or the size or
// full-screen mode changes); the idle pass then posts a redisplay.
bool presentation_due();
// The GLUT reshape callback.
void window_reshaped(int width, int height);

// Full-screen and resize settings; the program's statements set them.
extern int32_t resize_mode;                // 0 off, 1 stretch, 2 stretch smoothed
extern int32_t snap_window_to_frame;       // 1: a window of another size is resized to the frame

// The presenter's own state.
extern int32_t previous_window_width, previous_window_height;  // the size before the last reshape
extern int32_t size_changed;     // set by the reshape callback, cleared by the next draw
extern int32_t reshape_pending;  // the presenter asked the toolkit to resize the window

// Where a frame of frame_w x frame_h goes in a window of window_w x window_h; `scale` is
// the display scale a window that is not stretched draws the frame at.
destination_rect compute_destination(int32_t frame_w, int32_t frame_h, int32_t window_w, int32_t window_h,
                                     int32_t fullscreen, int32_t resize, int32_t smooth_in_fullscreen,
                                     int32_t scale = 1);

// What the windowed size policy asks of the toolkit.
enum size_action : int32_t {
  size_unchanged = 0,    // nothing to do
  size_keep_aspect = 1,  // resize to keep the aspect
  size_snap_back = 2,    // back to the frame size
};
struct size_decision {
  int32_t action;         // a size_action
  int32_t width, height;  // the size to ask for
  float applied_aspect;   // new applied aspect (size_keep_aspect)
};
size_decision window_size_policy(int32_t frame_w, int32_t frame_h, int32_t frame_size_changed,
                                 int32_t window_w, int32_t window_h, int32_t previous_w, int32_t previous_h,
                                 float applied_aspect, int32_t resize, int32_t snap);
