// Desktop identity: the class, owner process, host, UTF-8 title and icon the program's windows show a desktop.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

typedef struct _XDisplay Display;

// The icon in the layout of _NET_WM_ICON: width, height, then that many 0xAARRGGBB pixels,
// for each size in turn (generated at build time from the same shapes as the installed icon).
extern const uint32_t window_icon_cardinals[];
extern const size_t window_icon_cardinal_count;

// Marks a top-level window as the program's: WM_CLASS "brightness" / "Brightness" (the
// desktop entry's StartupWMClass), _NET_WM_PID with WM_CLIENT_MACHINE, and _NET_WM_ICON.
// Call before the window is first mapped: window managers read these when it appears.
void set_window_identity(Display* display, unsigned long window);

// The program's name on the desktop: its window class instance, and its name to screen readers.
const char* desktop_program_name();

// A title as UTF-8: titles that are not valid UTF-8 are read as Latin-1, the way WM_NAME's
// STRING type reads them.
std::string desktop_title_text(const char* title);

// Sets _NET_WM_NAME to the title as UTF-8 (desktop_title_text), so that window managers
// that prefer it over WM_NAME show the same text.
void set_window_utf8_title(Display* display, unsigned long window, const char* title);
