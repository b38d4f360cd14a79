// The runtime's message box read back from a window's text cells: its message, its buttons and the focused one.
#pragma once
#include <string>

#include "support/x_windows.h"

// These wait (up to 5 s) until a freshly mapped box has been drawn.
// The message as the box shows it: its lines (after wrapping) joined with '\n', trailing
// blanks removed; "" when the window shows no box.
std::string x_read_box_text(Display* display, unsigned long window);
// Centre of the button whose label ("Yes", "No", "OK") shows in the box, in window
// pixels; false when it is not found.
bool x_find_box_button(Display* display, unsigned long window, const std::string& label, int* x, int* y);
// Label of the highlighted (focused) button, "" when none is found.
std::string x_box_focused_button(Display* display, unsigned long window);
