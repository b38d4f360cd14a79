// Mouse selection, copy and paste: the highlight over the frame, the text offered to other programs, pasted keys.
#pragma once
#include <cstdint>

struct software_frame;
typedef struct _XDisplay Display;

// Window thread, once the window exists: takes the selection traffic of `display` for the
// program's X window `window` (see the event hook in selection.cpp).
void selection_install(Display* display, unsigned long window);
// Window thread, every pass: answers what other programs asked of the selections and
// feeds pasted text that arrived.
void selection_serve();

// GLUT mouse callbacks: the left button selects, the middle button pastes PRIMARY, the
// right button pastes CLIPBOARD.
void selection_mouse(int button, int state, int x, int y);
void selection_drag(int x, int y);

// The presenter shows `frame`: its cells become what a selection reads, and a highlight
// over cells that changed goes away.
void selection_frame_shown(const software_frame& frame);
// The presenter draws the highlight over the frame it just drew.
void selection_draw_highlight();
