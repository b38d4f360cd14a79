// Keyboard and mouse for the tests through XTest: typed text, single keys with modifiers, clicks and drags.
#pragma once
#include <string>
#include <vector>

// Only the keysym names (XK_Return ...) come in here, for the keys tests press; Xlib itself
// clashes with GoogleTest (see x_windows.h).
#include <X11/keysym.h>

#include "support/x_windows.h"

// Types text through XTest, with Shift where the character sits on the shifted level.
// '\n' is Return, '\t' Tab, '\b' BackSpace. Characters without a key in the current map
// are put on a spare keycode for the moment. pause_ms waits after each character (the
// emulated key ring holds only a few keys; a program that reads slowly can lose keys
// typed faster than it reads them).
void x_type_text(Display* display, const std::string& text, int pause_ms = 0);
// One key press and release, holding the modifier keys (XK_Shift_L, XK_Control_L, XK_Alt_L ...).
void x_key(Display* display, unsigned long keysym, const std::vector<unsigned long>& modifier_keysyms = {});
// Moves the pointer to (x, y) of the window and clicks `button` `count` times in a row
// (count 2: a double click).
void x_click(Display* display, unsigned long window, int x, int y, int button = 1, int count = 1);
// Presses button 1 at (x0, y0) of the window, moves to (x1, y1) and lets go there.
void x_drag(Display* display, unsigned long window, int x0, int y0, int x1, int y1);
// Gives every character of the UTF-8 text a key in the server's keyboard map. Programs
// read the map when they start: call this before starting one that is to get the keys.
void x_map_keys(Display* display, const std::string& text);
// Sets the server's keyboard layout with setxkbmap's arguments ("de", "de -option
// kpdl:commaoss"); keys given to spare key codes before are gone then. True on success.
bool x_set_keyboard_layout(Display* display, const std::string& setxkbmap_arguments);
// Locks or unlocks Num Lock.
void x_set_num_lock(Display* display, bool on);
