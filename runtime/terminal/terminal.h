// The terminal front-end: the text screen in the terminal the program was started from, fed by that terminal's keys.
#pragma once

// Start-up on the main thread, before any other thread starts: takes the terminal (raw
// input, the alternate screen) and routes the signals that end, stop or resize it to the
// main thread. False when the terminal's modes cannot be set.
bool prepare_terminal();
// The main thread from then on: starts the painter, then reads keys and signals for good.
[[noreturn]] void run_terminal_loop();
// The error box drawn in the terminal (terminal_message_box); on the key thread or the
// painter, which the box needs, the title and message go to stderr and the answer is 0.
int terminal_error_box(const char* message, const char* title, const char* dialog_type);
