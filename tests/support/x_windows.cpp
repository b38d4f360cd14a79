// The tests' X connection and the windows on it: found by title, their properties and size, focus and the close message.
#include <gtest/gtest.h>

#include "support/x_windows.h"

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include "support/child_process.h"
#include "support/wait_clock.h"

namespace {

std::atomic<int> swallowed_errors{0};  // counted by lenient_x_error, read by x_error_count

// Windows come and go while tests query them; an X error must not end the test process.
int lenient_x_error(Display*, XErrorEvent*) {
  swallowed_errors.fetch_add(1, std::memory_order_relaxed);
  return 0;
}

}  // namespace

// The X server resets when its last client disconnects, and refuses connections while it
// does. One connection kept open for the life of the test process keeps it from resetting
// between tests; opening is retried for a moment in case a reset is under way.
static Display* open_with_retry() {
  for (int attempt = 0; attempt < 100; ++attempt) {
    if (Display* display = XOpenDisplay(nullptr)) return display;
    pause_ms(50);
  }
  return nullptr;
}

Display* x_open() {
  static Display* keeper = open_with_retry();  // never closed
  Display* display = keeper ? open_with_retry() : nullptr;
  if (!display) {
    ADD_FAILURE() << "no X display (DISPLAY=" << (std::getenv("DISPLAY") ? std::getenv("DISPLAY") : "")
                  << "); window tests run under xvfb-run";
    return nullptr;
  }
  XSetErrorHandler(lenient_x_error);
  return display;
}

int x_error_count() { return swallowed_errors.load(); }

namespace {

// Raw bytes of a text property of any type ("" when it is not set).
bool read_text_property(Display* display, Window window, Atom property, std::string* out) {
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (XGetWindowProperty(display, window, property, 0, 1 << 16, False, AnyPropertyType, &type, &format, &count,
                         &after, &data) != Success)
    return false;
  bool found = type != None && data && format == 8;
  if (found) out->assign(reinterpret_cast<char*>(data), count);
  if (data) XFree(data);
  return found;
}

bool is_viewable(Display* display, Window window) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return false;
  return attributes.map_state == IsViewable;
}

void collect_children(Display* display, Window parent, std::vector<Window>* out) {
  Window root_return = 0, parent_return = 0;
  Window* children = nullptr;
  unsigned int count = 0;
  if (!XQueryTree(display, parent, &root_return, &parent_return, &children, &count)) return;
  // Topmost first.
  for (unsigned int i = count; i-- > 0;) out->push_back(children[i]);
  if (children) XFree(children);
}

bool title_matches(Display* display, Window window, const std::string& prefix) {
  std::string title = x_window_title(display, window);
  return !title.empty() && title.compare(0, prefix.size(), prefix) == 0 && is_viewable(display, window);
}

Window find_once(Display* display, const std::string& prefix) {
  std::vector<Window> level;
  collect_children(display, DefaultRootWindow(display), &level);
  while (!level.empty()) {
    for (Window w : level)
      if (title_matches(display, w, prefix)) return w;
    std::vector<Window> next;
    for (Window w : level) collect_children(display, w, &next);
    level.swap(next);
  }
  return 0;
}

}  // namespace

unsigned long x_find_window(Display* display, const std::string& title_prefix, int timeout_ms) {
  if (!display) return 0;
  int64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    Window found = find_once(display, title_prefix);
    if (found) return found;
    if (now_ms() >= deadline) return 0;
    pause_ms(20);
  }
}

bool x_wait_window_gone(Display* display, unsigned long window, int timeout_ms) {
  int64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    if (!is_viewable(display, window)) return true;
    if (now_ms() >= deadline) return false;
    pause_ms(20);
  }
}

std::string x_window_title(Display* display, unsigned long window) {
  std::string title;
  if (read_text_property(display, window, XInternAtom(display, "_NET_WM_NAME", False), &title)) return title;
  if (read_text_property(display, window, XA_WM_NAME, &title)) return title;
  return "";
}

bool x_window_size(Display* display, unsigned long window, int* width, int* height) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes)) return false;
  *width = attributes.width;
  *height = attributes.height;
  return true;
}

void x_set_root_resources(Display* display, const std::string& resources) {
  Window root = DefaultRootWindow(display);
  Atom property = XInternAtom(display, "RESOURCE_MANAGER", False);
  if (resources.empty())
    XDeleteProperty(display, root, property);
  else
    XChangeProperty(display, root, property, XA_STRING, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(resources.data()), static_cast<int>(resources.size()));
  XSync(display, False);
}

unsigned long x_transient_for(Display* display, unsigned long window) {
  Window owner = 0;
  if (!XGetTransientForHint(display, window, &owner)) return 0;
  return owner;
}

unsigned long x_focused_window(Display* display) {
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(display, &focus, &revert);
  return focus == PointerRoot ? 0 : focus;
}

void x_focus(Display* display, unsigned long window) {
  // Focusing an unmapped window is an error: give a fresh window a moment to appear.
  int64_t deadline = now_ms() + 5000;
  while (!is_viewable(display, window) && now_ms() < deadline) pause_ms(10);
  XRaiseWindow(display, window);
  XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
  XSync(display, False);
}

namespace {

// Sends a 32-bit client message of `type` about `window` to `to`, with `mask`, and waits
// until the server has it.
void send_client_message(Display* display, unsigned long to, unsigned long window, const char* type,
                         std::initializer_list<long> data, long mask) {
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, type, False);
  event.xclient.format = 32;
  int i = 0;
  for (long value : data) event.xclient.data.l[i++] = value;
  XSendEvent(display, to, False, mask, &event);
  XSync(display, False);
}

}  // namespace

void x_send_close(Display* display, unsigned long window) {
  send_client_message(display, window, window, "WM_PROTOCOLS",
                      {static_cast<long>(XInternAtom(display, "WM_DELETE_WINDOW", False)), CurrentTime}, NoEventMask);
}

pid_t x_start_window_manager(Display* display) {
  program_io quiet;
  quiet.stdout_path = quiet.stderr_path = "/dev/null";
  pid_t manager = start_program("/usr/bin/openbox", {}, quiet);
  Atom check = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False), type = None;
  for (int64_t deadline = now_ms() + 30000; manager > 0 && now_ms() < deadline; pause_ms(20)) {
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* data = nullptr;
    XGetWindowProperty(display, DefaultRootWindow(display), check, 0, 1, False, AnyPropertyType, &type, &format,
                       &count, &after, &data);
    if (data) XFree(data);
    if (count == 1) return manager;  // it names its check window: it manages windows now
  }
  x_end_window_manager(display, manager);
  return -1;
}

void x_end_window_manager(Display* display, pid_t manager) {
  if (manager > 0) wait_exit_status(manager, 1);  // ends it
  for (const char* name : {"_NET_SUPPORTING_WM_CHECK", "_NET_SUPPORTED"})
    XDeleteProperty(display, DefaultRootWindow(display), XInternAtom(display, name, False));
  XSync(display, False);
}

void x_set_maximized(Display* display, unsigned long window, bool on) {
  // _NET_WM_STATE_ADD or _REMOVE, both maximized states, asked for by an application.
  send_client_message(display, DefaultRootWindow(display), window, "_NET_WM_STATE",
                      {on ? 1L : 0L, static_cast<long>(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_VERT", False)),
                       static_cast<long>(XInternAtom(display, "_NET_WM_STATE_MAXIMIZED_HORZ", False)), 1L},
                      SubstructureRedirectMask | SubstructureNotifyMask);
}
