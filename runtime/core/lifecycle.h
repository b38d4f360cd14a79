// Process lifecycle: start-up, the threads, END, the shutdown handshake and the words the threads share.
#pragma once
#include <atomic>
#include <cstdint>

struct rt_string;

// The translated program's main routine; it runs on the program thread from its
// prologue to END and never returns normally.
using program_routine = void (*)();

// Lifecycle words shared between threads. Each is written by the threads named and
// polled by the others with sleeps; atomics keep the polling free of data races.
extern std::atomic<uint8_t> close_requested;     // the program or the user asked to end (END, dialog No, break)
extern std::atomic<uint8_t> stop_all;            // shutdown has begun: waiting loops of the program thread park
extern std::atomic<uint32_t> threads_done;       // bit 0: program thread parked; bit 1: event timer thread ended
extern std::atomic<int32_t> threads_started;     // 1 once the program and event timer threads run
extern std::atomic<int32_t> program_ended;       // END has run: no more event traps, the frame thread stops

// Translation-time settings of the program, fixed before runtime_main runs.
extern int32_t start_hidden;  // 1: the window is created only when the program first shows its screen
extern int32_t has_console;   // 1: the program also has a console page on standard output

extern rt_string* command_line;     // COMMAND$ (permanent)
extern rt_string* start_directory;  // the working directory when the process started (permanent)
extern int32_t argument_count;      // the process's argc
extern char** argument_vector;      // the process's argv

// The whole start-up sequence of the window thread, then the GLUT loop; returns only
// if the loop ever does. `main` of a translated program calls it with its routine.
int runtime_main(int argc, char** argv, program_routine routine);

// The routine given to runtime_main (the error-handler jump calls it again).
extern program_routine main_routine;

void start_thread(uint64_t* handle_cell, void* (*function)(void*), void* argument);
void sleep_ms(uint32_t milliseconds);
void set_fpu_mode();
void on_arithmetic_signal(int signal_number);
void install_arithmetic_signal_handler();
void chain_handover();
rt_string* get_current_directory();
[[noreturn]] void end_program();
void close_all();
