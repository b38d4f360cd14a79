// The painter: the thread that draws the visual page into the terminal (the program thread draws its own changes when it can), and leads the shutdown in terminal mode.
#pragma once
#include <cstdint>

// Start-up, before the program thread runs: the glyphs, and the program thread's way of
// showing its own changes at once (show_screen_change_now).
void terminal_painter_prepare();
void* terminal_painter_main(void* unused);
// Any thread: the painter looks again at once (a box opened, answered or moved its focus;
// a break; the program asked to end).
void terminal_painter_wake();
// Any thread: the next pass draws every cell again, at the terminal's size read anew (a
// resize, a return from a stop).
void terminal_repaint();
bool on_terminal_painter();

