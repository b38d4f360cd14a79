// Run-time errors (keeps the pending error, the error table, the line event check and the error dialog).
#include "runtime/core/errors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/core/lifecycle.h"
#include "runtime/core/message_box.h"
#include "runtime/values/strings.h"
#include "runtime/window/window.h"

// Error state (program thread unless noted).
uint32_t pending_error = 0;                // pending error number, 0 = none
std::atomic<int32_t> event_pending{0};     // set by any thread; cleared by the check
int32_t retry_statement = 0;               // repeat the statement after the check
int32_t error_line = 0;                    // line of the failed statement (main module)
int32_t error_include_line = 0;            // line inside an included file, 0 = main module
const char* error_include_file = nullptr;  // name of that included file
int32_t err_value = 0;                     // ERR
double erl_value = 0;                      // ERL
double last_line_number = 0;               // last numbered line passed
int32_t error_handler_armed = 0;           // ON ERROR handler active
int32_t in_error_handler = 0;              // handler running
int32_t error_handler_jump = 0;            // prologue continues at the handler
int32_t checks_suspended = 0;              // runtime-internal BASIC routine runs
std::atomic<uint8_t> program_suspended{0}; // pause toggle, set by the keyboard
int32_t assertions_enabled = 0;            // _ASSERT active
rt_string* program_title = nullptr;        // program file name for dialog titles


namespace {

struct error_entry {
  int32_t number;
  const char* text;
};

const error_entry error_table[] = {
    {0, "No error"},
    {1, "NEXT without FOR"},
    {2, "Syntax error"},
    {3, "RETURN without GOSUB"},
    {4, "Out of DATA"},
    {5, "Illegal function call"},
    {6, "Overflow"},
    {7, "Out of memory"},
    {8, "Label not defined"},
    {9, "Subscript out of range"},
    {10, "Duplicate definition"},
    {12, "Illegal in direct mode"},
    {13, "Type mismatch"},
    {14, "Out of string space"},
    {16, "String formula too complex"},
    {17, "Cannot continue"},
    {18, "Function not defined"},
    {19, "No RESUME"},
    {20, "RESUME without error"},
    {24, "Device timeout"},
    {25, "Device fault"},
    {26, "FOR without NEXT"},
    {27, "Out of paper"},
    {29, "WHILE without WEND"},
    {30, "WEND without WHILE"},
    {33, "Duplicate label"},
    {35, "Subprogram not defined"},
    {37, "Argument-count mismatch"},
    {38, "Array not defined"},
    {40, "Variable required"},
    {50, "FIELD overflow"},
    {51, "Internal error"},
    {52, "Bad file name or number"},
    {53, "File not found"},
    {54, "Bad file mode"},
    {55, "File already open"},
    {56, "FIELD statement active"},
    {57, "Device I/O error"},
    {58, "File already exists"},
    {59, "Bad record length"},
    {61, "Disk full"},
    {62, "Input past end of file"},
    {63, "Bad record number"},
    {64, "Bad file name"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {69, "Communication-buffer overflow"},
    {70, "Permission denied"},
    {71, "Disk not ready"},
    {72, "Disk-media error"},
    {73, "Feature unavailable"},
    {74, "Rename across disks"},
    {75, "Path/File access error"},
    {76, "Path not found"},
    {258, "Invalid handle"},
    {300, "Memory region out of range"},
    {301, "Invalid size"},
    {302, "Source memory region out of range"},
    {303, "Destination memory region out of range"},
    {304, "Source and destination memory regions out of range"},
    {305, "Source memory has been freed"},
    {306, "Destination memory has been freed"},
    {307, "Memory already freed"},
    {308, "Memory has been freed"},
    {309, "Memory not initialized"},
    {310, "Source memory not initialized"},
    {311, "Destination memory not initialized"},
    {312, "Source and destination memory not initialized"},
    {313, "Source and destination memory have been freed"},
    {314, "_ASSERT failed"},
    {315, "_ASSERT failed (check console for description)"},
};

// Titles of the numbered "Out of memory" boxes, #1 to #18.
const char* const out_of_memory_titles[19] = {
    "",
    "Critical Error #1",  "Critical Error #2",  "Critical Error #3",  "Critical Error #4",
    "Critical Error #5",  "Critical Error #6",  "Critical Error #7",  "Critical Error #8",
    "Critical Error #9",  "Critical Error #10", "Critical Error #11", "Critical Error #12",
    "Critical Error #13", "Critical Error #14", "Critical Error #15", "Critical Error #16",
    "Critical Error #17", "Critical Error #18",
};

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

bool fatal_error_lookup(int32_t number, fatal_error_text* out) {
  fatal_error_text text{nullptr, "Critical Error"};
  switch (number) {
    case 11: text.message = "Division by zero"; break;
    case 256: text.message = "Out of stack space"; break;
    case 257: text = {"Out of memory", out_of_memory_titles[1]}; break;
    case 259: text.message = "Cannot find dynamic library file"; break;
    case 260:
    case 261: text.message = "Sub/Function does not exist in dynamic library"; break;
    case 270: text.message = "_GL command called outside of SUB _GL's scope"; break;
    case 271: text.message = "END/SYSTEM called within SUB _GL's scope"; break;
    default:
      if (number >= 502 && number <= 518) {
        text = {"Out of memory", out_of_memory_titles[number - 500]};
        break;
      }
      return false;
  }
  if (out) *out = text;
  return true;
}

bool error_is_critical(uint32_t number) { return number >= 300 && number <= 315; }

void raise_error(int32_t number) {
  fatal_error_text fatal;
  if (fatal_error_lookup(number, &fatal)) {
    show_error_box(fatal.message, fatal.title, "ok");
    exit_process(exit_status_orderly);
  }
  if (pending_error) return;  // the first error of a statement is the one reported
  if (number <= 0) number = 5;
  pending_error = static_cast<uint32_t>(number);
  event_pending = 1;
}

const char* error_message(int32_t number) {
  for (const error_entry& entry : error_table)
    if (entry.number == number) return entry.text;
  return "Unprintable error";
}

const char* program_base_name(const char* path) {
  if (!path) return "";
  const char* base = path;
  for (const char* p = path; *p; ++p)
    if (*p == '/' || *p == '\\') base = p + 1;
  return base;
}

bool compose_error_dialog(uint32_t number, uint32_t line, const char* location, const char* program_name,
                          char** message, char** title) {
  const char* text = error_message(static_cast<int32_t>(number));
  bool critical = error_is_critical(number);
  const char* question = critical ? "" : "\nContinue?";
  const char* prefix = critical ? "Critical Error #" : "Unhandled Error #";
  // Measure first, then write into buffers of exactly that size.
  int message_length = std::snprintf(nullptr, 0, "Line: %u (in %s)\n%s%s", line, location, text, question);
  int title_length = std::snprintf(nullptr, 0, "%s%u - %s", prefix, number, program_name);
  if (message_length < 0 || title_length < 0) return false;
  char* message_buffer = static_cast<char*>(std::malloc(static_cast<size_t>(message_length) + 1));
  char* title_buffer = static_cast<char*>(std::malloc(static_cast<size_t>(title_length) + 1));
  if (!message_buffer || !title_buffer) {
    std::free(message_buffer);
    std::free(title_buffer);
    return false;
  }
  std::snprintf(message_buffer, static_cast<size_t>(message_length) + 1, "Line: %u (in %s)\n%s%s", line, location,
                text, question);
  std::snprintf(title_buffer, static_cast<size_t>(title_length) + 1, "%s%u - %s", prefix, number, program_name);
  *message = message_buffer;
  *title = title_buffer;
  return true;
}

int show_error_box(const char* message, const char* title, const char* dialog_type) {
  return message_box(title, message, dialog_type, "error", 1);
}

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
    exit_process(exit_status_no_handler);
  }
  const char* name = refresh_program_title();
  uint32_t line = error_include_line ? static_cast<uint32_t>(error_include_line) : static_cast<uint32_t>(error_line);
  const char* location = error_include_line ? (error_include_file ? error_include_file : "") : "main module";
  char* message = nullptr;
  char* title = nullptr;
  if (!compose_error_dialog(number, line, location, name, &message, &title)) exit_process(exit_status_orderly);
  if (critical) {
    show_error_box(message, title, "ok");
    exit_process(exit_status_orderly);
  }
  int answer = show_error_box(message, title, "yesno");
  std::free(message);
  std::free(title);
  if (answer == 1) {
    pending_error = 0;  // go on with the statement after the failed one
    return;
  }
  close_requested = 1;
  park_program_thread();
}

void park_program_thread() {
  threads_done.fetch_or(1);
  while (!stop_all) sleep_ms(16);
  for (;;) sleep_ms(16);
}

int32_t func_err() { return err_value; }
double func_erl() { return erl_value; }
int32_t func_errorline() { return error_line; }
int32_t func_inclerrorline() { return error_include_line; }
rt_string* func_inclerrorfile() { return temporary_text(error_include_file); }

rt_string* func_errormessage(int32_t number, int32_t passed) {
  return temporary_text(error_message((passed & 1) ? number : err_value));
}

void assert_statement(int32_t condition, rt_string* message, int32_t passed) {
  if (!assertions_enabled || condition) return;
  if (has_console && (passed & 1) && message) {
    std::fwrite(message->chars, 1, static_cast<size_t>(message->len), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
    raise_error(315);
    return;
  }
  raise_error(314);
}
