// The runtime's dialog box as a grid of text cells: its layout, buttons and keys, the same in a window and in a terminal.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One box: rows are a blank, the message lines, a blank, the buttons and a blank.
struct dialog_box {
  int cols = 0, rows = 0;           // cell grid
  std::vector<std::string> lines;   // message lines as drawn
  std::vector<const char*> labels;  // button labels, left to right
  std::vector<int> answers;         // what each button answers
  int focused = 0;                  // index into labels
  int button_row = 0, first_button_col = 0;
};

// Lays `message` out for a screen of screen_cols x screen_rows cells: split at '\n', tabs
// expanded, carriage returns dropped, long lines wrapped, lines beyond the screen left
// out. Yes and No (`yes_no`, Yes focused unless default_button is 0) or OK. The box is
// at least `least_cols` wide (a title drawn on it must fit), as far as the screen allows.
void dialog_box_layout(dialog_box* box, const char* message, bool yes_no, int default_button, int screen_cols,
                       int screen_rows, int least_cols = 0);

// What the user can do with the keyboard, whatever keys the front-end reads for it.
enum dialog_key : int32_t {
  dialog_key_choose,    // Enter or Space: the focused button
  dialog_key_yes,       // Y
  dialog_key_no,        // N or Escape
  dialog_key_next,      // Tab, Right, Down
  dialog_key_previous,  // Shift+Tab, Left, Up
};
// The answer a key gives, or -1 while the box stays open (the focus may have moved).
int dialog_box_key(dialog_box* box, dialog_key key);

// The button at a cell of the box, or -1.
int dialog_box_button_at(const dialog_box& box, int col, int row);

// What one cell of the box shows: a character and its part of the box.
enum dialog_cell_role : uint8_t {
  dialog_face,            // the box's face and the message text
  dialog_button,          // a button
  dialog_focused_button,  // the focused button
};
struct dialog_cell {
  uint8_t code;  // code page 437
  uint8_t role;  // a dialog_cell_role
};
// The cells of the whole box for the current focus, row by row.
std::vector<dialog_cell> dialog_box_cells(const dialog_box& box);
