// Process lifecycle: the program's settings and command line, threads and sleeping, the process's exit, and the timer table.
#pragma once
#include <atomic>
#include <cstdint>

struct rt_string;

// The translated program's main routine; it runs on the program thread from its
// prologue to END and never returns normally.
using program_routine = void (*)();

// Translation-time settings of the program: its `main` sets them before it calls runtime_main.
extern int32_t start_hidden;  // 1: the window is created only when the program first shows its screen
extern int32_t has_console;   // 1: the program also has a console page on standard output

extern rt_string* command_line;     // COMMAND$ (permanent)
extern rt_string* start_directory;  // the working directory when the process started (permanent)
extern int32_t argument_count;      // the process's argc
extern char** argument_vector;      // the process's argv

// The translated main program, as given to runtime_main (the error-handler jump calls it again).
extern program_routine main_routine;

void start_thread(uint64_t* handle_cell, void* (*function)(void*), void* argument);
void sleep_ms(uint32_t milliseconds);
void set_fpu_mode();
void on_arithmetic_signal(int signal_number);
void install_arithmetic_signal_handler();
// Ends the process from any thread (the window side defines it). With a window, a thread
// other than the window thread hands the exit to the window thread (exit while it is
// inside OpenGL crashes the driver).
[[noreturn]] void exit_process(int32_t status);
// Closes the program's open handles; none exist in this runtime (files and devices have no
// handles here), so it only keeps a pending error in place.
void close_all();

// Exit statuses of the ways the process ends.
constexpr int exit_status_orderly = 0;          // END, close button, dialog No, critical error
constexpr int exit_status_no_display_mode = 1;  // no usable display or visual
constexpr int exit_status_no_handler = 99;      // error-handler jump with no handler

// BASIC timers. Slot 0 is the plain ON TIMER; more slots come with further timers.
// The event timer thread reads every field while the program thread sets them up.
struct timer_slot {
  std::atomic<uint8_t> in_use;    // the slot belongs to a timer
  std::atomic<int32_t> armed;     // handler number; nonzero once a handler and interval are set
  std::atomic<uint8_t> active;    // TIMER ON
  std::atomic<uint8_t> pending;   // 0 idle, 1 an event waits for its handler, 2 the handler runs
  std::atomic<double> interval;   // seconds between events
  std::atomic<double> last;       // time of the last event in seconds, 0 = not started
};
// Grows the table to `count` slots (program thread); raises fatal 257 when it cannot.
void timer_table_grow(int32_t count);
// One scan of the timers at time `now` in seconds (the event timer thread's pass).
void timer_scan(double now);
// Milliseconds from `now` until the next timer is due; 0 to scan now, -1 when none is armed.
int32_t timer_wait_ms(double now);
// Wakes the event timer thread to look at the table again: call after arming, starting or
// stopping a timer, after its handler ran, and when shutdown begins.
void timers_changed();
// The event timer thread: sleeps until a timer is due, the table changes or shutdown
// begins; it does not look at the table while nothing is armed.
void* event_timer_thread_main(void* unused);

// Start-up pieces (each safe to call again).
void event_traps_startup();  // ON KEY codes of the key trap table; timer slot 0

// Input devices the program can query (keyboard and mouse; their events are the keyboard's and unused).
struct input_device {
  const char* name;         // "Keyboard", "Mouse"
  const char* description;  // capability tags
  int32_t buttons;          // button count
  int32_t axes;             // axis count
  int32_t wheels;           // wheel count
};
extern input_device input_devices[3];  // entry 0 unused, 1 the keyboard, 2 the mouse
extern int32_t input_device_count;     // devices registered
void input_devices_startup();
