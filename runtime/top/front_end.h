// The front-end the text screen is shown on: the window, or the terminal the program was started from.
#pragma once
#include <cstdint>

enum front_end_kind : int32_t {
  front_end_window,
  front_end_terminal,
};
extern front_end_kind front_end;  // set once by choose_front_end, before any other thread starts

// Chooses the front-end and takes its options out of the arguments (the program never
// sees them): --tty the terminal, --window the window; without either, the terminal when
// there is no X display to ask for (DISPLAY unset or empty), standard input and output
// are a terminal (not a dumb one) and the program has no console of its own, else the
// window. --tty without a terminal ends the process with a message and status 1.
void choose_front_end(int* argc, char** argv);

// Start-up on the main thread: the window made, or the terminal taken.
void front_end_prepare(int argc, char** argv);
// The main thread from then on: the GLUT loop, or the terminal's keys.
[[noreturn]] void front_end_run(int argc, char** argv);
// The error box: the window's message box, or the box drawn in the terminal.
int front_end_error_box(const char* message, const char* title, const char* dialog_type);
// The program asked to end (close_requested is set): the thread that leads the shutdown
// looks at once.
void front_end_program_closing();
// Ends the process from any thread, the front-end's way.
[[noreturn]] void end_process(int32_t status);
