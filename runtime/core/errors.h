// Run-time errors: the pending error, the line event check, the error dialog and the fatal boxes.
#pragma once
#include <atomic>
#include <cstdint>

struct rt_string;

// Error state. The program thread owns all of it except the words other threads set.
extern uint32_t pending_error;                 // pending error number, 0 = none
extern std::atomic<int32_t> event_pending;     // something needs the line event check (errors, timers, shutdown)
extern int32_t retry_statement;                // the translated program repeats the statement while set
extern int32_t error_line;                     // line number given to the check (main module)
extern int32_t error_include_line;             // line inside an included file, 0 = main module
extern const char* error_include_file;         // name of that included file
extern int32_t err_value;                      // ERR
extern double erl_value;                       // ERL
extern double last_line_number;                // the last numbered line the program passed
extern int32_t error_handler_armed;            // an ON ERROR handler is active
extern int32_t in_error_handler;               // the error handler is running
extern int32_t error_handler_jump;             // the main routine's prologue jumps to the handler
extern int32_t checks_suspended;               // a runtime-internal BASIC routine runs: the check returns at once
extern std::atomic<uint8_t> program_suspended; // the pause toggle (keyboard)
extern int32_t assertions_enabled;             // _ASSERT is active
extern rt_string* program_title;               // file name of the program, for dialog titles

// Fatal numbers show their box and end the process; others become pending (first wins).
void raise_error(int32_t number);
const char* error_message(int32_t number);
void line_event_check(int32_t line, int32_t include_line, const char* include_file);
void report_pending_error();
// Shows the error box; returns 1 for Yes or OK, 0 for No or a closed box.
int show_error_box(const char* message, const char* title, const char* dialog_type);
[[noreturn]] void park_program_thread();
void dispatch_event_traps();

// BASIC functions over the error state.
int32_t func_err();
double func_erl();
int32_t func_errorline();
int32_t func_inclerrorline();
rt_string* func_inclerrorfile();
rt_string* func_errormessage(int32_t number, int32_t passed);
void assert_statement(int32_t condition, rt_string* message, int32_t passed);

// Fatal errors: the box text and title of a number that ends the process at once,
// or null when the number only becomes pending.
struct fatal_error_text {
  const char* message;
  const char* title;
};
bool fatal_error_lookup(int32_t number, fatal_error_text* out);

// 300..315: the dialog offers no way to continue.
bool error_is_critical(uint32_t number);

// The program's file name as dialog titles show it: everything after the last '/' or '\'.
const char* program_base_name(const char* path);

// The unhandled-error dialog's two texts, each malloc'ed at exactly its measured size.
// `location` is "main module" or the include file. Returns false (and nothing allocated)
// when either buffer cannot be had.
bool compose_error_dialog(uint32_t number, uint32_t line, const char* location, const char* program_name,
                          char** message, char** title);

// Trapped events (ON KEY and similar device traps). The calculator defines none, so
// `trap_handler_switch` stays null and no entry ever has a handler.
struct event_trap {
  int32_t code;          // key code (or device code) that triggers the trap
  int32_t alt_code;      // second code that triggers it (arrow keys of the keypad), 0 = none
  int32_t handler;       // handler number in the program's switch, 0 = none
  uint8_t on;            // KEY(n) ON
  int32_t count;         // triggers not yet handled
  uint8_t running;       // its handler runs now
};
extern event_trap key_traps[32];     // slots 1..31 used
extern event_trap device_traps[31];  // other device traps
extern void (*trap_handler_switch)(int32_t handler);  // the program's handler switch, or null
