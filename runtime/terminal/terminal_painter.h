// The painter: the thread that draws the visual page into the terminal, and leads the orderly shutdown in terminal mode.
#pragma once
#include <cstdint>

void* terminal_painter_main(void* unused);
// Any thread: the painter looks again at once (a box opened, answered or moved its focus;
// a break; the program asked to end).
void terminal_painter_wake();
// Any thread: the next pass draws every cell again, at the terminal's size read anew (a
// resize, a return from a stop).
void terminal_repaint();
bool on_terminal_painter();
