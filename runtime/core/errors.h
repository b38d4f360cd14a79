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
