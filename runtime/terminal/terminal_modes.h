// The terminal the program runs in: its saved modes, raw input and the alternate screen, the one way out to it, and every way back.
#pragma once
#include <cstdint>
#include <string>

// True when standard input and standard output are both terminals.
bool terminal_present();
// True when the locale's characters are UTF-8 (LC_ALL, else LC_CTYPE, else LANG says so).
bool locale_is_utf8();

// Saves the terminal's modes (the first time), then sets raw input (no echo, no line
// editing, no signals from keys, no flow control) and switches to the alternate screen
// with bracketed paste. Called again after the process was stopped and continued, it sets
// them once more. False when the modes cannot be read or set.
bool terminal_enter();
// Back to the saved modes and the main screen; nothing more is written to the terminal
// afterwards. Safe from any thread and more than once; waits a moment for a write under way.
void terminal_leave();
// The same inside a handler of a fault signal: async-signal-safe calls only, no waiting.
void terminal_leave_now();
// True between terminal_enter and terminal_leave.
bool terminal_entered();

// Writes all of `bytes` to the terminal, unless it has been left meanwhile; a terminal
// that went away (a hang-up) takes nothing more.
void terminal_write(const std::string& bytes);

// The size of the terminal in cells; false when it cannot be read.
bool terminal_size(int32_t* columns, int32_t* rows);

// Leaves the terminal and ends the process with `status`.
[[noreturn]] void terminal_exit(int32_t status);
