// Error handling of the running program (keeps the line event check, the error dialog, ON ERROR's jump and the ERR functions).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/ground/event_traps.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/threads.h"
#include "runtime/top/error_handling.h"
#include "runtime/top/front_end.h"
#include "runtime/values/strings.h"

// Bits of `passed`: which optional arguments the program gave.
constexpr int32_t errormessage_passed_number = 1;  // _ERRORMESSAGE$'s error number
constexpr int32_t assert_passed_message = 1;       // _ASSERT's message

namespace {

// A temporary string copied from C text (null gives the empty string).
rt_string* temporary_text(const char* text) {
  int32_t length = text ? static_cast<int32_t>(std::strlen(text)) : 0;
  rt_string* s = string_new(length, true);  // may move heap strings
  if (length > 0) std::memcpy(s->chars, text, static_cast<size_t>(length));
  return s;
}

// Sets program_title to the base name of argument 0, followed by one NUL byte so
// that the bytes can be formatted as C text.
const char* refresh_program_title() {
  const char* path = (argument_vector && argument_count > 0 && argument_vector[0]) ? argument_vector[0] : "";
  const char* base = program_base_name(path);
  int32_t length = static_cast<int32_t>(std::strlen(base));
  if (!program_title) program_title = string_new(0, false);
  rt_string* text = string_new(length + 1, true);  // may move heap strings: old chars pointers die
  std::memcpy(text->chars, base, static_cast<size_t>(length));
  text->chars[length] = 0;
  string_assign(program_title, text);  // may move heap strings
  return reinterpret_cast<const char*>(program_title->chars);
}

}  // namespace

void line_event_check(int32_t line, int32_t include_line, const char* include_file) {
  if (checks_suspended) return;
  event_pending = 0;
  retry_statement = 0;
  while (program_suspended || stop_all) {
    if (stop_all) park_program_thread();
    sleep_ms(10);
  }
  if (pending_error) {
    error_line = line;
    error_include_line = include_line;
    error_include_file = include_file;
    report_pending_error();
    return;
  }
  if (!program_ended) dispatch_event_traps();
}

void report_fatal_error(const char* message, const char* title) {
  front_end_error_box(message, title, "ok");
  end_process(exit_status_orderly);
}

void report_pending_error() {
  uint32_t number = pending_error;
  bool critical = error_is_critical(number);
  if (error_handler_armed && !in_error_handler && !critical) {
    err_value = static_cast<int32_t>(number);
    pending_error = 0;
    erl_value = last_line_number;
    error_handler_jump = 1;
    // The routine's prologue continues at its handler; one without a handler ends
    // the process with 99 itself. Returning here means it had nowhere to go.
    if (main_routine) main_routine();
    end_process(exit_status_no_handler);
  }
  const char* name = refresh_program_title();
  uint32_t line = error_include_line ? static_cast<uint32_t>(error_include_line) : static_cast<uint32_t>(error_line);
  const char* location = error_include_line ? (error_include_file ? error_include_file : "") : "main module";
  char* message = nullptr;
  char* title = nullptr;
  if (!compose_error_dialog(number, line, location, name, &message, &title)) end_process(exit_status_orderly);
  if (critical) {
    front_end_error_box(message, title, "ok");
    end_process(exit_status_orderly);
  }
  int answer = front_end_error_box(message, title, "yesno");
  std::free(message);
  std::free(title);
  if (answer == 1) {
    pending_error = 0;  // go on with the statement after the failed one
    return;
  }
  close_requested = 1;
  front_end_program_closing();
  park_program_thread();
}

int32_t func_err() { return err_value; }
double func_erl() { return erl_value; }
int32_t func_errorline() { return error_line; }
int32_t func_inclerrorline() { return error_include_line; }
rt_string* func_inclerrorfile() { return temporary_text(error_include_file); }

rt_string* func_errormessage(int32_t number, int32_t passed) {
  return temporary_text(error_message((passed & errormessage_passed_number) ? number : err_value));
}

void assert_statement(int32_t condition, rt_string* message, int32_t passed) {
  if (!assertions_enabled || condition) return;
  if (has_console && (passed & assert_passed_message) && message) {
    std::fwrite(message->chars, 1, static_cast<size_t>(message->len), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    raise_error(error_assert_failed_console);
    return;
  }
  raise_error(error_assert_failed);
}
