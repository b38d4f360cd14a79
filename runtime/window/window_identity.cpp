// Window identity (keeps the title waiting for the window thread's next map, and the program's own XMapWindow).
#include "runtime/window/window_identity.h"

#include <X11/Xlib.h>
#include <dlfcn.h>

#include <atomic>

#include "runtime/window/desktop_identity.h"
#include "runtime/window/window.h"

namespace {

std::atomic<const char*> pending_title{nullptr};  // title for the window being made; null when none

}  // namespace

void identify_next_window(const char* title) { pending_title = title; }

void finish_window_identity(Display* display, unsigned long window) {
  const char* title = pending_title.exchange(nullptr);
  if (!title) return;  // the map carried it
  set_window_identity(display, window);
  set_window_utf8_title(display, window, title);
}

// freeglut maps its window inside glutCreateWindow, before the caller learns its id. This
// definition in the program takes the place of Xlib's, for the toolkit too: it gives the
// window being made its identity, then hands the map to Xlib's own XMapWindow.
extern "C" int XMapWindow(Display* dpy, Window window) {
  using map_function = int (*)(Display*, Window);
  static const map_function xlib_map = reinterpret_cast<map_function>(dlsym(RTLD_NEXT, "XMapWindow"));
  if (pending_title.load() && on_window_thread()) finish_window_identity(dpy, window);
  return xlib_map ? xlib_map(dpy, window) : 0;
}
