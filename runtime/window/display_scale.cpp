// Display scale (works out, once at start-up, the scale the desktop asks for that fits the screen).
#include "runtime/window/display_scale.h"
#include "runtime/ground/shared_words.h"

#include <X11/Xlib.h>
#include <X11/Xresource.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Far above any screen's need; keeps scale x frame size well inside int32_t.
constexpr long largest_scale = 64;

// GDK_SCALE's value: a whole number of at least 1 (capped at largest_scale) with nothing
// after it but blanks, else 0.
long whole_number(const char* text) {
  if (!text) return 0;
  char* end = nullptr;
  long value = std::strtol(text, &end, 10);  // too large reads as LONG_MAX
  if (end == text) return 0;
  while (*end == ' ' || *end == '\t') ++end;
  if (*end || value < 1) return 0;
  return value < largest_scale ? value : largest_scale;
}

// Xft.dpi as Xft itself looks it up (wildcards included); 0 when absent or not a number.
double resource_dpi(const char* resources) {
  if (!resources || !*resources) return 0;
  XrmInitialize();
  XrmDatabase database = XrmGetStringDatabase(resources);
  if (!database) return 0;
  double dpi = 0;
  char* type = nullptr;
  XrmValue value;
  if (XrmGetResource(database, "Xft.dpi", "Xft.Dpi", &type, &value) && value.addr) {
    // The runtime never changes the C locale, so the decimal point is '.'.
    char* end = nullptr;
    double parsed = std::strtod(value.addr, &end);
    if (end != value.addr && std::isfinite(parsed)) dpi = parsed;
  }
  XrmDestroyDatabase(database);
  return dpi;
}

}  // namespace

int32_t requested_scale(const char* gdk_scale, const char* resources) {
  long scale = whole_number(gdk_scale);
  if (scale >= 1) return int32_t(scale);
  double steps = std::floor(resource_dpi(resources) / 96);
  if (!(steps > 1)) return 1;
  return steps < double(largest_scale) ? int32_t(steps) : int32_t(largest_scale);
}

int32_t fitting_scale(int32_t scale, int32_t frame_w, int32_t frame_h, int32_t screen_w, int32_t screen_h) {
  if (frame_w <= 0 || frame_h <= 0 || screen_w <= 0 || screen_h <= 0) return scale < 1 ? 1 : scale;
  int32_t fits = std::min(screen_w / frame_w, screen_h / frame_h);
  if (scale > fits) scale = fits;
  return scale < 1 ? 1 : scale;
}

void display_scale_startup(Display* display, int32_t frame_w, int32_t frame_h) {
  const char* resources = display ? XResourceManagerString(display) : nullptr;
  int32_t scale = requested_scale(std::getenv("GDK_SCALE"), resources);
  if (display && scale > 1) {
    int screen = DefaultScreen(display);
    scale = fitting_scale(scale, frame_w, frame_h, DisplayWidth(display, screen), DisplayHeight(display, screen));
  }
  display_scale.store(scale);
}
