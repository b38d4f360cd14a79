// The screen reader's side of the window: the accessibility thread, and what other threads hand it (the page, the window, the focus, message boxes).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/window/accessible_tree.h"

// Opens the mailbox below (window thread, once the window exists): from now on what the
// calls below hand over is kept for the accessibility thread. False when NO_AT_BRIDGE=1
// asks for no screen reader; then, and once the thread finds no accessibility bus, the
// calls below do nothing.
bool accessibility_open();
// Starts the accessibility thread, which owns GLib's default main context and every ATK
// object: it takes the mail handed over so far, then serves the accessible tree on the
// desktop's accessibility bus.
void accessibility_start();
// True while the thread takes what the calls below hand it (any thread).
bool accessibility_running();

// The cells (character, attribute) and the cursor cell of the frame just built, from the
// builder's own snapshot, and the frame pixels of one cell (the builder, on any thread).
void accessibility_publish_page(const uint8_t* cells, int32_t columns, int32_t rows, int32_t cursor_x,
                                int32_t cursor_y, int32_t cell_width, int32_t cell_height);
// Where the window is and its title as the program set it (window thread).
void accessibility_publish_window(const window_geometry& geometry, const char* title);
// The window got or lost the keyboard focus (window thread).
void accessibility_publish_focus(bool focused);

// A message box is on the screen (any thread): its title, its lines as drawn (code page
// 437), its buttons, the focused one, and its place. Returns the id the calls below take.
int32_t accessibility_alert_opened(const char* title, const std::vector<std::string>& lines,
                                   const std::vector<const char*>& buttons, int32_t focused_button, int32_t x,
                                   int32_t y, int32_t width, int32_t height);
void accessibility_alert_focus(int32_t id, int32_t button);
void accessibility_alert_closed(int32_t id);
