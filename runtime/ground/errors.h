// Run-time errors: the pending error, the error numbers and texts, the fatal error reporter and the dialog texts.
#pragma once
#include <atomic>
#include <cstdint>

struct rt_string;

// Error state, the program thread's own (event_pending and program_suspended are shared words).
extern uint32_t pending_error;                 // pending error number, 0 = none
extern int32_t retry_statement;                // the line check clears it; nonzero afterwards, the translated program runs the statement again
extern int32_t error_line;                     // line of the failed statement, as given to the line check (main module)
extern int32_t error_include_line;             // line inside an included file, 0 = main module
extern const char* error_include_file;         // name of that included file
extern int32_t err_value;                      // ERR
extern double erl_value;                       // ERL
extern double last_line_number;                // the last numbered line the program passed
extern int32_t error_handler_armed;            // an ON ERROR handler is active
extern int32_t in_error_handler;               // the error handler is running
extern int32_t error_handler_jump;             // set before ON ERROR calls main_routine again: its prologue clears it and continues at the handler
extern int32_t checks_suspended;               // a runtime-internal BASIC routine runs: the check returns at once
extern int32_t assertions_enabled;             // _ASSERT is active
extern rt_string* program_title;               // file name of the program, for dialog titles

// Error numbers (ERR), the keys of the message table and of the fatal boxes.
enum error_code : int32_t {
  error_none = 0,
  error_next_without_for = 1,
  error_syntax = 2,
  error_return_without_gosub = 3,
  error_out_of_data = 4,
  error_illegal_function_call = 5,
  error_overflow = 6,
  error_out_of_memory = 7,
  error_label_not_defined = 8,
  error_subscript_out_of_range = 9,
  error_duplicate_definition = 10,
  error_division_by_zero = 11,  // fatal
  error_illegal_in_direct_mode = 12,
  error_type_mismatch = 13,
  error_out_of_string_space = 14,
  error_string_formula_too_complex = 16,
  error_cannot_continue = 17,
  error_function_not_defined = 18,
  error_no_resume = 19,
  error_resume_without_error = 20,
  error_device_timeout = 24,
  error_device_fault = 25,
  error_for_without_next = 26,
  error_out_of_paper = 27,
  error_while_without_wend = 29,
  error_wend_without_while = 30,
  error_duplicate_label = 33,
  error_subprogram_not_defined = 35,
  error_argument_count_mismatch = 37,
  error_array_not_defined = 38,
  error_variable_required = 40,
  error_field_overflow = 50,
  error_internal = 51,
  error_bad_file_name_or_number = 52,
  error_file_not_found = 53,
  error_bad_file_mode = 54,
  error_file_already_open = 55,
  error_field_statement_active = 56,
  error_device_io = 57,
  error_file_already_exists = 58,
  error_bad_record_length = 59,
  error_disk_full = 61,
  error_input_past_end = 62,
  error_bad_record_number = 63,
  error_bad_file_name = 64,
  error_too_many_files = 67,
  error_device_unavailable = 68,
  error_communication_buffer_overflow = 69,
  error_permission_denied = 70,
  error_disk_not_ready = 71,
  error_disk_media = 72,
  error_feature_unavailable = 73,
  error_rename_across_disks = 74,
  error_path_file_access = 75,
  error_path_not_found = 76,
  error_out_of_stack_space = 256,  // fatal
  error_timer_table_memory = 257,  // fatal "Out of memory" #1: the timer table cannot grow
  error_invalid_handle = 258,
  error_library_not_found = 259,     // fatal
  error_library_sub_missing = 260,   // fatal
  error_library_function_missing = 261,  // fatal
  error_gl_outside_scope = 270,      // fatal
  error_gl_end = 271,                // fatal
  // Critical: the dialog offers no way to continue.
  error_memory_region_out_of_range = 300,
  error_invalid_size = 301,
  error_source_region_out_of_range = 302,
  error_destination_region_out_of_range = 303,
  error_both_regions_out_of_range = 304,
  error_source_freed = 305,
  error_destination_freed = 306,
  error_memory_already_freed = 307,
  error_memory_freed = 308,
  error_memory_not_initialized = 309,
  error_source_not_initialized = 310,
  error_destination_not_initialized = 311,
  error_both_not_initialized = 312,
  error_both_freed = 313,
  error_assert_failed = 314,
  error_assert_failed_console = 315,
  // Fatal "Out of memory" boxes: 500 + n is the box titled "Critical Error #n", n 2 to 18;
  // each n names the storage that could not grow.
  error_memory_box_base = 500,
  error_memory_box_first = 502,
  error_image_table_memory = 502,
  error_image_slots_memory = 503,
  error_static_arena_memory = 504,
  error_string_records_memory = 508,
  error_cmem_list_memory = 509,
  error_heap_list_memory = 510,
  error_temp_list_memory = 511,
  error_string_heap_memory = 512,
  error_cmem_area_memory = 513,
  error_cmem_descriptor_memory = 514,
  error_fixed_descriptor_memory = 515,
  error_input_snapshot_memory = 516,
  error_input_canvas_memory = 517,
  error_memory_box_last = 518,
};

// Fatal numbers go to the fatal error reporter, which ends the process; others become
// pending (first wins).
void raise_error(int32_t number);
// For numbers that are fatal: never returns, so storage that could not grow is never used.
[[noreturn]] void raise_fatal_error(int32_t number);
const char* error_message(int32_t number);

// What a fatal error does with its box text: shows it and ends the process. Every layer
// raises errors but only a layer above can show a box, so that layer installs its reporter
// at start-up, before other threads run (a hook: the one way up). The reporter should not
// return; the process exits with exit_status_orderly if it does. Until one is installed the
// text goes to standard error as "title: message", then the process exits the same way.
using fatal_error_reporter = void (*)(const char* message, const char* title);
void set_fatal_error_reporter(fatal_error_reporter reporter);

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
