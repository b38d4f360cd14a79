// The program's window as screen readers learn of it: its keyboard focus, its place and its title, handed to the accessibility thread (window thread only).
#pragma once

typedef struct _XDisplay Display;

// Once the window exists: unless NO_AT_BRIDGE=1, watches the window's keyboard focus on
// the toolkit's connection and starts the accessibility thread with the window's title.
void window_accessibility_start(Display* toolkit_display, unsigned long window);
// Hands over where the window is and its title (each pass; only changes go further).
void window_accessibility_publish();
