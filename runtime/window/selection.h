// Mouse selection, copy and paste: the highlight over the frame, the text offered to other programs and handed to a clipboard manager at exit, pasted keys and the paste keys.
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

// Window thread, at exit: when the program owns CLIPBOARD and a clipboard manager runs,
// hands the text over to it (waiting a fifth of a second at most), so it outlives the program.
void selection_hand_over();

// GLUT key callbacks in front of the keyboard's (keyboard.h): Shift+Insert pastes PRIMARY,
// Ctrl+Shift+V pastes CLIPBOARD; every other key goes on to the keyboard.
void selection_key(unsigned char key, int x, int y);
void selection_key_up(unsigned char key, int x, int y);
void selection_special(int key, int x, int y);
void selection_special_up(int key, int x, int y);

// GLUT mouse callbacks: the left button selects, the middle button pastes PRIMARY, the
// right button pastes CLIPBOARD.
void selection_mouse(int button, int state, int x, int y);
void selection_drag(int x, int y);

// The presenter shows `frame`: its cells become what a selection reads, and a highlight
// over cells that changed goes away.
void selection_frame_shown(const software_frame& frame);
// The presenter draws the highlight over the frame it just drew.
void selection_draw_highlight();
