// Frame presenter (keeps the window's size policy and draws the newest software frame as a texture).
#include <GL/glew.h>
#include <GL/freeglut.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/message_box.h"
#include "runtime/window/display_scale.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/frame_presenter.h"
#include "runtime/window/selection.h"

int32_t resize_mode = 0;
int32_t snap_window_to_frame = 1;
int32_t previous_window_width = 0, previous_window_height = 0;
int32_t size_changed = 0;
int32_t reshape_pending = 0;

namespace {

int64_t shown_order = -1;       // order of the frame the texture holds, -1 when none
int32_t shown_texture = 0;      // the one hardware image frames are uploaded into, 0 when none
int32_t last_frame_width = 0;   // frame size the size policy saw last
int32_t last_frame_height = 0;
float applied_aspect = 0.0f;    // window aspect the policy set last
int32_t snap_asked_width = 0;   // window size the last snap back was asked from; 0 none since
int32_t snap_asked_height = 0;  // the window or the frame changed size
int32_t presenting = 0;         // re-entrancy guard of the display callback

// The slot on display (frame_shown), -1 when none.
int held_slot() {
  int held = -1;
  for (int i = 0; i < 3; ++i)
    if (software_frames[i].state.load() == frame_shown) held = i;
  return held;
}

// The newest ready slot newer than the one on display, -1 when none.
int newest_ready_slot(int held) {
  int64_t best = held >= 0 ? software_frames[held].order.load() : 0;
  int picked = -1;
  for (int i = 0; i < 3; ++i) {
    int64_t order = software_frames[i].order.load();
    if (software_frames[i].state.load() == frame_ready && order > best) {
      picked = i;
      best = order;
    }
  }
  return picked;
}

// Picks the frame to show: the newest ready one above the held one, else the held one.
// Returns -1 when there is nothing to show; `*fresh` says a new frame was taken.
int pick_slot(bool* fresh) {
  int held = held_slot();
  int picked = newest_ready_slot(held);
  int64_t best = picked >= 0 ? software_frames[picked].order.load() : 0;
  if (picked >= 0) {
    int32_t ready = frame_ready;
    // The builder may reuse a ready slot at this moment; then keep what is held.
    if (!software_frames[picked].state.compare_exchange_strong(ready, frame_shown)) picked = -1;
  }
  *fresh = picked >= 0;
  if (picked < 0) return held;
  for (int i = 0; i < 3; ++i) {
    if (i == picked) continue;
    int32_t state = software_frames[i].state.load();
    if ((state == frame_ready || state == frame_shown) && software_frames[i].order.load() < best)
      software_frames[i].state.compare_exchange_strong(state, frame_free);
  }
  return picked;
}

void ask_window_size(int32_t width, int32_t height) {
  reshape_pending = 1;
  glutReshapeWindow(width, height);
  glutPostRedisplay();
}

void apply_size_policy(int32_t frame_w, int32_t frame_h) {
  int32_t frame_changed = frame_w != last_frame_width || frame_h != last_frame_height;
  last_frame_width = frame_w;
  last_frame_height = frame_h;
  if (frame_changed || window_width != snap_asked_width || window_height != snap_asked_height)
    snap_asked_width = snap_asked_height = 0;
  // On a high-density screen the window the policy aims at is the frame at the display scale.
  int32_t scale = display_scale.load();
  size_decision decision = window_size_policy(frame_w * scale, frame_h * scale, frame_changed, window_width,
                                              window_height, previous_window_width, previous_window_height,
                                              applied_aspect, resize_mode, snap_window_to_frame);
  if (decision.action == size_keep_aspect) applied_aspect = decision.applied_aspect;
  if (decision.action == size_snap_back) {
    // A window manager that keeps the window at its size (maximized, tiled) would be asked
    // again on every frame: ask once for each size it gives. No reshape is coming then, so
    // a full-screen request need not wait for one.
    if (snap_asked_width == window_width && snap_asked_height == window_height) {
      reshape_pending = 0;
      return;
    }
    snap_asked_width = window_width;
    snap_asked_height = window_height;
  }
  if (decision.action != size_unchanged) ask_window_size(decision.width, decision.height);
}

void apply_fullscreen_request(int32_t frame_w, int32_t frame_h) {
  int32_t request = fullscreen_request.load();
  if (reshape_pending || request == fullscreen_none_asked) return;
  if (request != fullscreen_windowed) {
    if (fullscreen_mode.load() == fullscreen_windowed) glutFullScreen();
    fullscreen_mode.store(request);
  } else {
    if (fullscreen_mode.load() != fullscreen_windowed)
      ask_window_size(frame_w * display_scale.load(), frame_h * display_scale.load());
    fullscreen_mode.store(fullscreen_windowed);
  }
  // A newer request that arrived meanwhile is kept for the next draw.
  fullscreen_request.compare_exchange_strong(request, fullscreen_none_asked);
}

// Brings the texture up to the picked frame: only the rows that changed when the texture
// holds the frame this one was built from, the whole frame otherwise, and a new texture
// only when the size changed or the driver cannot update it in place. A failed upload is
// not retried for the same frame, so the alert shows once per frame, not once per draw.
void ensure_frame_texture(int slot) {
  const software_frame& frame = software_frames[slot];
  int64_t order = frame.order.load();
  if (order == shown_order) return;
  bool rows_only = frame.base_order != 0 && frame.base_order == shown_order;
  int32_t first = rows_only ? frame.first_changed_row : 0;
  int32_t last = rows_only ? frame.last_changed_row : frame.height - 1;
  shown_order = order;
  if (update_texture(shown_texture, frame.width, frame.height, frame.pixels, first, last)) return;
  free_texture(shown_texture);
  shown_texture = make_texture(frame.width, frame.height, frame.pixels);
  if (shown_texture <= 0) {
    shown_texture = 0;
    alert("Invalid software_screen_hardware_frame!!");
  } else if (!texture_exists(shown_texture)) {
    alert("Invalid software_screen_hardware_frame!");
  }
}

void draw_software_layer(int slot, int32_t pass) {
  ensure_frame_texture(slot);
  if (!texture_exists(shown_texture)) return;
  // Blend only when another layer lies below this one.
  int32_t blend = 0;
  for (int i = 1; i < 4; ++i)
    if (layer_order[i] < pass) blend = 1;
  const software_frame& frame = software_frames[slot];
  bool unscaled = destination.x0 == 0 && destination.y0 == 0 && destination.scale_x == 1.0f &&
                  destination.scale_y == 1.0f;
  if (!blend && unscaled && blit_image(shown_texture, 0, 0)) return;
  draw_image_rect(0, 0, frame.width - 1, frame.height - 1, shown_texture, 0, 0, frame.width - 1,
                  frame.height - 1, blend, destination.smooth);
  flush_triangles();
}

void draw_border_bars() {
  const destination_rect& d = destination;
  if (d.border_mode == border_left_right) {
    if (d.x0 > 0) fill_window_rect(0, 0, d.x0 - 1, window_height - 1);
    if (d.x1 < window_width - 1) fill_window_rect(d.x1 + 1, 0, window_width - 1, window_height - 1);
  } else if (d.border_mode == border_top_bottom) {
    if (d.y0 > 0) fill_window_rect(0, 0, window_width - 1, d.y0 - 1);
    if (d.y1 < window_height - 1) fill_window_rect(0, d.y1 + 1, window_width - 1, window_height - 1);
  }
}

// Clearing is skipped when the opaque frame, drawn first, covers every window pixel anyway:
// on a software renderer the clear costs as much as drawing the frame.
void select_window_target() {
  if (framebuffer_objects && glBindFramebufferEXT) glBindFramebufferEXT(GL_FRAMEBUFFER_EXT, 0);
  bool covered = layer_order[0] == 1 && destination.x0 <= 0 && destination.y0 <= 0 &&
                 destination.x1 >= window_width - 1 && destination.y1 >= window_height - 1;
  if (covered) return;
  glClearColor(0.0f, 0.0f, 0.0f, 1.0f);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

}  // namespace

destination_rect compute_destination(int32_t frame_w, int32_t frame_h, int32_t window_w, int32_t window_h,
                                     int32_t fullscreen, int32_t resize, int32_t smooth_in_fullscreen,
                                     int32_t scale) {
  if (scale < 1) scale = 1;
  // The frame at the display scale: every frame pixel a scale x scale block, never smoothed.
  destination_rect d = {0, 0, frame_w * scale - 1, frame_h * scale - 1, float(scale), float(scale), 0, 0};
  if (frame_w <= 0 || frame_h <= 0 || window_w <= 0 || window_h <= 0) return d;
  if (window_w == frame_w * scale && window_h == frame_h * scale) return d;
  bool scaling = fullscreen != fullscreen_windowed || resize != 0;
  if (!scaling) {
    // A window the window manager keeps at another size (maximized, tiled, or not yet
    // snapped back): the frame centred at the largest whole scale that fits, black around
    // it; a window smaller than the frame shows its top-left part.
    int32_t fit = std::max(1, std::min(window_w / frame_w, window_h / frame_h));
    d.x0 = std::max(0, (window_w - frame_w * fit) / 2);
    d.y0 = std::max(0, (window_h - frame_h * fit) / 2);
    d.x1 = d.x0 + frame_w * fit - 1;
    d.y1 = d.y0 + frame_h * fit - 1;
    d.scale_x = d.scale_y = float(fit);
    return d;
  }
  d.smooth = fullscreen ? smooth_in_fullscreen : (resize == 2 ? 1 : 0);
  int64_t frame_cross = int64_t(frame_w) * window_h, window_cross = int64_t(window_w) * frame_h;
  if (fullscreen == fullscreen_square_pixels && frame_cross != window_cross) {
    if (window_cross > frame_cross) {  // the window is relatively wider: bars left and right
      int32_t width = int32_t(frame_cross / frame_h);
      d.x0 = window_w / 2 - width / 2;
      d.x1 = d.x0 + width - 1;
      d.y0 = 0;
      d.y1 = window_h - 1;
      d.border_mode = border_left_right;
    } else {  // bars above and below
      int32_t height = int32_t(window_cross / frame_w);
      d.x0 = 0;
      d.x1 = window_w - 1;
      d.y0 = window_h / 2 - height / 2;
      d.y1 = d.y0 + height - 1;
      d.border_mode = border_top_bottom;
    }
  } else {
    d.x0 = 0;
    d.y0 = 0;
    d.x1 = window_w - 1;
    d.y1 = window_h - 1;
  }
  d.scale_x = float(d.x1 - d.x0 + 1) / float(frame_w);
  d.scale_y = float(d.y1 - d.y0 + 1) / float(frame_h);
  return d;
}

size_decision window_size_policy(int32_t frame_w, int32_t frame_h, int32_t frame_size_changed,
                                 int32_t window_w, int32_t window_h, int32_t previous_w, int32_t previous_h,
                                 float applied, int32_t resize, int32_t snap) {
  size_decision d = {0, window_w, window_h, applied};
  if (frame_w <= 0 || frame_h <= 0 || window_w <= 0 || window_h <= 0) return d;
  float frame_aspect = float(frame_w) / float(frame_h);
  float window_aspect = float(window_w) / float(window_h);
  if (resize != 0 && window_aspect != applied && window_aspect != frame_aspect) {
    int32_t width_change = std::abs(window_w - previous_w), height_change = std::abs(window_h - previous_h);
    bool follow_width;
    if (width_change == 0 && height_change != 0)
      follow_width = false;
    else if (height_change == 0 && width_change != 0)
      follow_width = true;
    else
      follow_width = width_change > height_change;
    if (follow_width) {
      d.width = window_w;
      d.height = int32_t(std::lround(double(window_w) / frame_aspect));
    } else {
      d.height = window_h;
      d.width = int32_t(std::lround(double(frame_aspect) * window_h));
    }
    if (d.width < 1) d.width = 1;
    if (d.height < 1) d.height = 1;
    d.action = size_keep_aspect;
    d.applied_aspect = float(d.width) / float(d.height);
  } else if ((window_w != frame_w || window_h != frame_h) && (snap || frame_size_changed)) {
    d.action = size_snap_back;
    d.width = frame_w;
    d.height = frame_h;
  }
  return d;
}

bool presentation_due() {
  int held = held_slot();
  if (newest_ready_slot(held) >= 0) return true;
  // With no frame yet there is nothing to draw; the first frame brings the rest along.
  if (held < 0) return false;
  return size_changed || (fullscreen_request.load() != fullscreen_none_asked && !reshape_pending);
}

void present_frame() {
  if (presenting) return;
  presenting = 1;
  bool fresh = false;
  int slot = pick_slot(&fresh);
  if (slot < 0) {
    presenting = 0;
    return;
  }
  size_changed = 0;
  if (window_width <= 0 || window_height <= 0) {
    // No reshape seen yet: ask the toolkit what the window is.
    window_width = glutGet(GLUT_WINDOW_WIDTH);
    window_height = glutGet(GLUT_WINDOW_HEIGHT);
  }
  const software_frame& frame = software_frames[slot];
  selection_frame_shown(frame);
  int32_t frame_w = frame.width, frame_h = frame.height;
  if (fullscreen_mode.load() == fullscreen_windowed && fullscreen_request.load() == fullscreen_none_asked) apply_size_policy(frame_w, frame_h);
  apply_fullscreen_request(frame_w, frame_h);
  destination = compute_destination(frame_w, frame_h, window_width, window_height, fullscreen_mode.load(),
                                    resize_mode, fullscreen_smooth.load(), display_scale.load());

  for (int32_t pass = 0; pass <= 5; ++pass) {
    if (pass == 0) {
      select_window_target();
    } else if (pass == 5) {
      draw_border_bars();
    } else if (pass == layer_order[0]) {
      draw_software_layer(slot, pass);
      selection_draw_highlight();
    }
    // Hardware images and the program's own drawing have no commands in text mode.
  }
  flush_triangles();
  if (!program_suspended.load()) glutSwapBuffers();
  presenting = 0;
}

void window_reshaped(int width, int height) {
  previous_window_width = window_width;
  previous_window_height = window_height;
  window_width = width;
  window_height = height;
  reshape_pending = 0;
  size_changed = 1;
  reset_2d_state();
}

void renderer_reset() {
  frame_builder_reset();
  // No GL context may exist yet: forget the texture without touching GL.
  shown_order = -1;
  shown_texture = 0;
  last_frame_width = last_frame_height = 0;
  applied_aspect = 0.0f;
  snap_asked_width = snap_asked_height = 0;
  presenting = 0;
  size_changed = 0;
  reshape_pending = 0;
  destination = {0, 0, -1, -1, 1.0f, 1.0f, 0, 0};
  reset_2d_state();
}
