// The window thread's wake-up: an eventfd other threads write to end its wait early (a new frame, a request, a paste).
#pragma once

// Makes the descriptor (window thread, before the window is made; safe to call again).
void window_wake_startup();
// Ends the window thread's wait between passes now (any thread; nothing before start-up).
void window_wake();
// The descriptor the window thread polls beside the X connection; -1 before start-up.
int window_wake_descriptor();
// Window thread, after its poll saw the descriptor readable: takes the wake-ups back to zero.
void window_wake_consume();
