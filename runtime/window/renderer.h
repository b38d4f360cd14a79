// The screen renderer: software frames built from the visual page, presented as a texture.
#pragma once
#include <atomic>
#include <cstdint>
#include "runtime/console/screen.h"

// The screen statements and the frame builder share one pause handshake word.
inline std::atomic<int32_t>& frame_builder_lock = frame_build_pause;

// One of the three software frames between the builder and the presenter.
struct software_frame {
  std::atomic<int32_t> state;  // 1 free, 2 being built, 3 ready, 4 on display
  int64_t order;               // sequence number; higher is newer
  uint32_t* pixels;            // 0xAARRGGBB, row-major, top row first
  int32_t width, height;       // pixel size
  int32_t capacity;            // bytes allocated for pixels
};
extern software_frame software_frames[3];

extern std::atomic<int64_t> next_frame_order;
extern std::atomic<int64_t> last_frame_order;
extern int32_t previous_frame_valid;      // 0: the next frame is painted in full
extern int32_t blink_enabled;             // 1: attribute bit 7 means blink
extern std::atomic<int32_t> fullscreen_mode;     // 0 windowed, 1 stretched, 2 square pixels
extern std::atomic<int32_t> fullscreen_request;  // -1 none, else the mode to switch to
extern std::atomic<int32_t> fullscreen_smooth;   // linear filtering in full screen
extern int32_t allowed_fullscreen_mode;   // 0 any, -1 Alt+Enter off, 1 or 2 only that mode
extern int32_t allowed_fullscreen_smooth; // 0 either, 1 only smooth, -1 only not smooth
extern int32_t resize_mode;               // 0 off, 1 stretch, 2 stretch smoothed
extern int32_t snap_window_to_frame;      // 1: a window of another size is resized to the frame
extern int32_t framebuffer_objects;       // GL_EXT_framebuffer_object is supported

void renderer_reset();  // start-up: drawing state unknown, the three slots free
void build_frame();
void present_frame();
void window_reshaped(int width, int height);
