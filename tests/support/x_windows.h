// The tests' X connection and the windows on it: found by title, their properties and size, focus and the close message.
#pragma once
#include <sys/types.h>

#include <string>

// Only the display's name comes in here: Xlib's macros (None, Bool, Status) clash with
// GoogleTest, so a test that needs Xlib itself includes it after gtest.
typedef struct _XDisplay Display;

// XOpenDisplay(nullptr). Adds a test failure and returns null when no display opens.
// Installs a lenient X error handler (windows vanish while tests look at them).
Display* x_open();
int x_error_count();  // X errors swallowed by that handler so far

// Viewable window (top-level first, then any descendant) whose _NET_WM_NAME or WM_NAME
// starts with title_prefix; 0 when none appears within timeout_ms.
unsigned long x_find_window(Display* display, const std::string& title_prefix, int timeout_ms);
// Waits until the window is gone or unmapped; true when it went within timeout_ms.
bool x_wait_window_gone(Display* display, unsigned long window, int timeout_ms);
// _NET_WM_NAME (UTF-8) when set, else WM_NAME; "" when neither.
std::string x_window_title(Display* display, unsigned long window);
// Window size in pixels (false when the window does not exist).
bool x_window_size(Display* display, unsigned long window, int* width, int* height);
// Replaces the root window's resource text (RESOURCE_MANAGER, as xrdb sets it) that
// programs started from now on read; "" removes it.
void x_set_root_resources(Display* display, const std::string& resources);
// The WM_TRANSIENT_FOR hint (0 = none).
unsigned long x_transient_for(Display* display, unsigned long window);
// The window that holds the keyboard focus (0 = none / PointerRoot).
unsigned long x_focused_window(Display* display);

// XSetInputFocus + XRaiseWindow + XSync. There is no window manager under xvfb-run, so
// XTest keys go to the focused window: call this before typing.
void x_focus(Display* display, unsigned long window);
// WM_DELETE_WINDOW as a window manager sends it when the close button is pressed.
void x_send_close(Display* display, unsigned long window);
// Starts openbox on the display and waits until it manages windows: its pid, or -1.
pid_t x_start_window_manager(Display* display);
// Ends it, and takes what it leaves on the root window away: a toolkit started later
// would ask the window named there, which is gone, and die of the error.
void x_end_window_manager(Display* display, pid_t manager);
// Asks the window manager to maximize the window, or to give it its own size back.
void x_set_maximized(Display* display, unsigned long window, bool on);
