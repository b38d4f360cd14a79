// Error handling of the running program: the line event check, the error dialog, and the BASIC functions over the error state.
#pragma once
#include <cstdint>

struct rt_string;

// Between the program's lines: parks the program thread at shutdown, waits while the
// program is paused, reports a pending error (noting where it happened) and runs event traps.
void line_event_check(int32_t line, int32_t include_line, const char* include_file);
// The pending error goes to the ON ERROR handler, or to the error dialog.
void report_pending_error();
// The fatal error reporter runtime_main installs: the error box with OK, then the exit.
[[noreturn]] void report_fatal_error(const char* message, const char* title);

int32_t func_err();
double func_erl();
int32_t func_errorline();
int32_t func_inclerrorline();
rt_string* func_inclerrorfile();
rt_string* func_errormessage(int32_t number, int32_t passed);
void assert_statement(int32_t condition, rt_string* message, int32_t passed);
