// The accessible tree: the application, its frame with the terminal, and an alert for each open message box (accessibility thread only).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "runtime/window/accessible_text_model.h"

// The program's window as the window thread last saw it.
struct window_geometry {
  int32_t x = 0, y = 0;                // top-left corner on the screen
  int32_t width = 0, height = 0;       // size in pixels
  int32_t frame_x = 0, frame_y = 0;    // where the text screen is drawn in it
  double scale_x = 1, scale_y = 1;     // window pixels per frame pixel
  bool operator==(const window_geometry& other) const {
    return x == other.x && y == other.y && width == other.width && height == other.height &&
           frame_x == other.frame_x && frame_y == other.frame_y && scale_x == other.scale_x &&
           scale_y == other.scale_y;
  }
};

// An open message box as a screen reader reads it (texts in UTF-8).
struct alert_contents {
  std::string title;
  std::string message;               // its lines joined by '\n'
  std::vector<std::string> buttons;  // labels, left to right
  int32_t focused_button = 0;
  int32_t x = 0, y = 0, width = 0, height = 0;  // the box on the screen
};

// Makes the application with its frame and terminal and hands the tree to ATK as its
// root; before the bridge starts. `name` is the application's name on the desktop.
void accessible_tree_make(const char* name);

// The page shown now, with the frame pixels of one cell: the terminal's text, then the
// edits and the caret move that lead there.
void accessible_tree_show_page(const accessible_page& page, int32_t cell_width, int32_t cell_height);
// Where the window is and its title (UTF-8).
void accessible_tree_place_window(const window_geometry& geometry, const std::string& title);
// The window got or lost the keyboard focus: the frame is activated or deactivated and
// the terminal focused or not.
void accessible_tree_focus(bool focused);

// A message box opened (a new top-level alert, activated), moved its focus to another
// button, or closed (the alert deactivated and gone). `id` tells the boxes apart.
void accessible_tree_open_alert(int32_t id, const alert_contents& alert);
void accessible_tree_focus_alert_button(int32_t id, int32_t button);
void accessible_tree_close_alert(int32_t id);
