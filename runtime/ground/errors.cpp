// Run-time errors (keeps the error state, the error table, raising an error and the dialog texts).
#include "runtime/ground/errors.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/ground/process_exit.h"
#include "runtime/ground/shared_words.h"

// Error state.
uint32_t pending_error = 0;
int32_t retry_statement = 0;
int32_t error_line = 0;
int32_t error_include_line = 0;
const char* error_include_file = nullptr;
int32_t err_value = 0;
double erl_value = 0;
double last_line_number = 0;
int32_t error_handler_armed = 0;
int32_t in_error_handler = 0;
int32_t error_handler_jump = 0;
int32_t checks_suspended = 0;
int32_t assertions_enabled = 0;
rt_string* program_title = nullptr;

// Set at start-up before other threads run; read by whichever thread raises a fatal error.
static fatal_error_reporter installed_reporter = nullptr;

void set_fatal_error_reporter(fatal_error_reporter reporter) { installed_reporter = reporter; }

namespace {

struct error_entry {
  int32_t number;
  const char* text;
};

const error_entry error_table[] = {
    {error_none, "No error"},
    {error_next_without_for, "NEXT without FOR"},
    {error_syntax, "Syntax error"},
    {error_return_without_gosub, "RETURN without GOSUB"},
    {error_out_of_data, "Out of DATA"},
    {error_illegal_function_call, "Illegal function call"},
    {error_overflow, "Overflow"},
    {error_out_of_memory, "Out of memory"},
    {error_label_not_defined, "Label not defined"},
    {error_subscript_out_of_range, "Subscript out of range"},
    {error_duplicate_definition, "Duplicate definition"},
    {error_illegal_in_direct_mode, "Illegal in direct mode"},
    {error_type_mismatch, "Type mismatch"},
    {error_out_of_string_space, "Out of string space"},
    {error_string_formula_too_complex, "String formula too complex"},
    {error_cannot_continue, "Cannot continue"},
    {error_function_not_defined, "Function not defined"},
    {error_no_resume, "No RESUME"},
    {error_resume_without_error, "RESUME without error"},
    {error_device_timeout, "Device timeout"},
    {error_device_fault, "Device fault"},
    {error_for_without_next, "FOR without NEXT"},
    {error_out_of_paper, "Out of paper"},
    {error_while_without_wend, "WHILE without WEND"},
    {error_wend_without_while, "WEND without WHILE"},
    {error_duplicate_label, "Duplicate label"},
    {error_subprogram_not_defined, "Subprogram not defined"},
    {error_argument_count_mismatch, "Argument-count mismatch"},
    {error_array_not_defined, "Array not defined"},
    {error_variable_required, "Variable required"},
    {error_field_overflow, "FIELD overflow"},
    {error_internal, "Internal error"},
    {error_bad_file_name_or_number, "Bad file name or number"},
    {error_file_not_found, "File not found"},
    {error_bad_file_mode, "Bad file mode"},
    {error_file_already_open, "File already open"},
    {error_field_statement_active, "FIELD statement active"},
    {error_device_io, "Device I/O error"},
    {error_file_already_exists, "File already exists"},
    {error_bad_record_length, "Bad record length"},
    {error_disk_full, "Disk full"},
    {error_input_past_end, "Input past end of file"},
    {error_bad_record_number, "Bad record number"},
    {error_bad_file_name, "Bad file name"},
    {error_too_many_files, "Too many files"},
    {error_device_unavailable, "Device unavailable"},
    {error_communication_buffer_overflow, "Communication-buffer overflow"},
    {error_permission_denied, "Permission denied"},
    {error_disk_not_ready, "Disk not ready"},
    {error_disk_media, "Disk-media error"},
    {error_feature_unavailable, "Feature unavailable"},
    {error_rename_across_disks, "Rename across disks"},
    {error_path_file_access, "Path/File access error"},
    {error_path_not_found, "Path not found"},
    {error_invalid_handle, "Invalid handle"},
    {error_memory_region_out_of_range, "Memory region out of range"},
    {error_invalid_size, "Invalid size"},
    {error_source_region_out_of_range, "Source memory region out of range"},
    {error_destination_region_out_of_range, "Destination memory region out of range"},
    {error_both_regions_out_of_range, "Source and destination memory regions out of range"},
    {error_source_freed, "Source memory has been freed"},
    {error_destination_freed, "Destination memory has been freed"},
    {error_memory_already_freed, "Memory already freed"},
    {error_memory_freed, "Memory has been freed"},
    {error_memory_not_initialized, "Memory not initialized"},
    {error_source_not_initialized, "Source memory not initialized"},
    {error_destination_not_initialized, "Destination memory not initialized"},
    {error_both_not_initialized, "Source and destination memory not initialized"},
    {error_both_freed, "Source and destination memory have been freed"},
    {error_assert_failed, "_ASSERT failed"},
    {error_assert_failed_console, "_ASSERT failed (check console for description)"},
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

}  // namespace

bool fatal_error_lookup(int32_t number, fatal_error_text* out) {
  fatal_error_text text{nullptr, "Critical Error"};
  switch (number) {
    case error_division_by_zero: text.message = "Division by zero"; break;
    case error_out_of_stack_space: text.message = "Out of stack space"; break;
    case error_timer_table_memory: text = {"Out of memory", out_of_memory_titles[1]}; break;
    case error_library_not_found: text.message = "Cannot find dynamic library file"; break;
    case error_library_sub_missing:
    case error_library_function_missing: text.message = "Sub/Function does not exist in dynamic library"; break;
    case error_gl_outside_scope: text.message = "_GL command called outside of SUB _GL's scope"; break;
    case error_gl_end: text.message = "END/SYSTEM called within SUB _GL's scope"; break;
    default:
      if (number >= error_memory_box_first && number <= error_memory_box_last) {
        text = {"Out of memory", out_of_memory_titles[number - error_memory_box_base]};
        break;
      }
      return false;
  }
  if (out) *out = text;
  return true;
}

bool error_is_critical(uint32_t number) {
  return number >= error_memory_region_out_of_range && number <= error_assert_failed_console;
}

void raise_error(int32_t number) {
  fatal_error_text fatal;
  if (fatal_error_lookup(number, &fatal)) {
    if (installed_reporter) {
      installed_reporter(fatal.message, fatal.title);
    } else {
      std::fprintf(stderr, "%s: %s\n", fatal.title, fatal.message);
      std::fflush(stderr);
    }
    std::exit(exit_status_orderly);
  }
  if (pending_error) return;  // the first error of a statement is the one reported
  if (number <= 0) number = error_illegal_function_call;
  pending_error = static_cast<uint32_t>(number);
  event_pending = 1;
}

void raise_fatal_error(int32_t number) {
  raise_error(number);
  std::abort();  // only reached for a number that is not fatal
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
