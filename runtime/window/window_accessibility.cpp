// Window accessibility (keeps the window's keyboard focus as read from the toolkit's focus events, and hands focus, place and title to the accessibility thread).
#include "runtime/window/window_accessibility.h"

#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#undef min  // the internal header's macros would break the standard library's names
#undef max

#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/window/accessibility_thread.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/textures.h"
#include "runtime/window/window.h"

namespace {

// The focus as Xlib converts the focus events (window thread only).
Window watched_window = 0;
bool keyboard_focus = false;  // the window itself has the focus
bool pointer_focus = false;   // the focus is the pointer's root and the pointer is in the window
Bool (*previous_converters[2])(Display*, XEvent*, xEvent*) = {nullptr, nullptr};  // FocusIn, FocusOut

bool thread_started = false;  // the accessibility thread runs (window thread only)
int64_t opened_ms = 0;        // when the window was opened to screen readers
constexpr int64_t latest_start_ms = 1000;  // on the first pass after this, the thread starts even without a frame

// freeglut has no focus callback and does not ask for focus events: the window asks for
// them itself, and they are read as Xlib converts them, as the close button's message is.
// The toolkit gets them unchanged.
Bool convert_focus_event(Display* display, XEvent* event, xEvent* wire) {
  bool in = (wire->u.u.type & 0x7F) == FocusIn;
  Bool (*previous)(Display*, XEvent*, xEvent*) = previous_converters[in ? 0 : 1];
  Bool keep = previous ? previous(display, event, wire) : True;
  const XFocusChangeEvent& focus = event->xfocus;
  // Grabs (a window manager's window switcher) move no focus for good.
  if (!keep || focus.window != watched_window || focus.mode == NotifyGrab || focus.mode == NotifyUngrab)
    return keep;
  if (focus.detail == NotifyPointer)
    pointer_focus = in;
  else if (in || focus.detail != NotifyInferior)  // focus moving into a child window stays ours
    keyboard_focus = in;
  accessibility_publish_focus(keyboard_focus || pointer_focus);
  return keep;
}

void watch_focus(Display* display, Window window) {
  watched_window = window;
  XWindowAttributes attributes;
  if (XGetWindowAttributes(display, window, &attributes))
    XSelectInput(display, window, attributes.your_event_mask | FocusChangeMask);
  // XESetWireToEvent takes the display lock itself.
  previous_converters[0] = XESetWireToEvent(display, FocusIn, convert_focus_event);
  previous_converters[1] = XESetWireToEvent(display, FocusOut, convert_focus_event);
  Window focused = 0;
  int revert = 0;
  XGetInputFocus(display, &focused, &revert);
  keyboard_focus = focused == window;
  accessibility_publish_focus(keyboard_focus);
}

// True once the presenter shows a frame.
bool frame_on_screen() {
  for (const software_frame& slot : software_frames)
    if (slot.state.load() == frame_shown) return true;
  return false;
}

}  // namespace

void window_accessibility_open(Display* toolkit_display, unsigned long window) {
  if (!toolkit_display || !accessibility_open()) return;
  watch_focus(toolkit_display, window);
  opened_ms = monotonic_ms();
}

void window_accessibility_pass() {
  if (!accessibility_running()) return;
  window_metrics_record metrics = window_metrics_get();
  window_geometry geometry;
  geometry.x = metrics.x;
  geometry.y = metrics.y;
  geometry.width = window_width;
  geometry.height = window_height;
  geometry.frame_x = destination.x0;
  geometry.frame_y = destination.y0;
  geometry.scale_x = destination.scale_x;
  geometry.scale_y = destination.scale_y;
  const char* title = window_title.load();
  accessibility_publish_window(geometry, title ? title : "Untitled");
  if (!thread_started && (frame_on_screen() || monotonic_ms() - opened_ms >= latest_start_ms)) {
    thread_started = true;
    accessibility_start();
  }
}
