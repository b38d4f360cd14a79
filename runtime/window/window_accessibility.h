// The program's window as screen readers learn of it: its keyboard focus, its place and its title, handed to the accessibility thread (window thread only).
#pragma once

typedef struct _XDisplay Display;

// Once the window exists: unless NO_AT_BRIDGE=1, watches the window's keyboard focus on
// the toolkit's connection and keeps what screen readers will be told.
void window_accessibility_open(Display* toolkit_display, unsigned long window);
// Each pass: hands over where the window is and its title (only changes go further), and
// starts the accessibility thread once the first frame is on the screen (or a second
// after the window opened), so that it does not slow the program's start.
void window_accessibility_pass();
