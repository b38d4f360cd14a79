// Display scale: whole window pixels per frame pixel on high-density screens.
#pragma once
#include <cstdint>

typedef struct _XDisplay Display;

// The scale the desktop asks for: GDK_SCALE when it is a whole number of at least 1, else
// the Xft.dpi resource in `resources` (resource-manager text) divided by 96, rounded
// down; 1 when neither says more. Either argument may be null.
int32_t requested_scale(const char* gdk_scale, const char* resources);

// `scale` reduced until a window of scale x frame size fits the screen (never below 1).
int32_t fitting_scale(int32_t scale, int32_t frame_w, int32_t frame_h, int32_t screen_w, int32_t screen_h);

// Sets display_scale from the environment and the root window's resources of `display`,
// fitted for a frame of frame_w x frame_h to the display's default screen.
void display_scale_startup(Display* display, int32_t frame_w, int32_t frame_h);
