// The spectral brightness calculator: the translated BASIC main program and its entry point.
//
// Every statement line runs the same protocol: run the statement, release its temporary
// strings, and when something is pending run the line event check with the BASIC line
// number, repeating the statement while the check asks for a retry.
#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/segment_data.h"
#include "app/spectral_curve.h"
#include "app/version_text.h"
#include "runtime/console/input.h"
#include "runtime/console/print.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/fpu.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/threads.h"
#include "runtime/top/chain.h"
#include "runtime/top/error_handling.h"
#include "runtime/top/front_end.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "runtime/values/arrays.h"
#include "runtime/values/data_reader.h"
#include "runtime/values/number_text.h"
#include "runtime/values/static_arena.h"
#include "runtime/values/strings.h"

namespace {

constexpr int64_t segment_count = spectral_segment_count;
constexpr int64_t array_elements = segment_count + 1;  // indices 0 to 87; element 0 is never used

// The program's static variables, allocated once from the static arena.
struct program_variables {
  rt_string* wavelength_text;  // the INPUT answer
  double* wavelength;          // VAL of the answer, nm
  array_descriptor* seg_from;  // lower wavelength bound of segment i
  array_descriptor* seg_to;    // upper wavelength bound of segment i
  array_descriptor* coef0;     // cubic coefficients of segment i
  array_descriptor* coef1;
  array_descriptor* coef2;
  array_descriptor* coef3;
  float* i;                    // loop counter of both FOR loops (SINGLE)
  double* brightness;          // the result
};
program_variables vars;
bool vars_allocated = false;
mem_lock* scope_lock = nullptr;  // the main program's scope (kind 3)
uint32_t temp_mark = 0;          // temporary-list count at routine entry

double* zeroed_double() {
  auto* value = static_cast<double*>(static_alloc(sizeof(double)));
  *value = 0.0;
  return value;
}

void allocate_variables() {
  if (vars_allocated) return;
  vars.wavelength_text = string_new(0, false);
  vars.wavelength = zeroed_double();
  vars.seg_from = static_array_new(0, array_elements, sizeof(double));
  vars.seg_to = static_array_new(0, array_elements, sizeof(double));
  vars.coef0 = static_array_new(0, array_elements, sizeof(double));
  vars.coef1 = static_array_new(0, array_elements, sizeof(double));
  vars.coef2 = static_array_new(0, array_elements, sizeof(double));
  vars.coef3 = static_array_new(0, array_elements, sizeof(double));
  vars.i = static_cast<float*>(static_alloc(sizeof(float)));
  *vars.i = 0.0f;
  vars.brightness = zeroed_double();
  vars_allocated = true;
}

// Element i of one of the DOUBLE arrays (bound-checked; a bad index yields element 0).
double& element(array_descriptor* array) {
  return *static_cast<double*>(array_element(array, *vars.i, sizeof(double)));
}

// Ends the statement: releases its temporaries and, when something is pending, runs the
// line event check. Returns true when the check asks for the statement to run again.
bool statement_end(int32_t line) {
  string_release_temporaries(temp_mark, 0);
  if (!event_pending.load()) return false;
  line_event_check(line, 0, nullptr);
  return retry_statement != 0;
}

template <typename Statement>
void run_line(int32_t line, Statement statement) {
  do {
    statement();
  } while (statement_end(line));
}

// PRINT of one text item followed by a line end (a printed string is a permanent scratch
// record: assigned, printed and freed).
void print_line(const char* text) {
  rt_string* scratch = string_new(0, false);
  string_assign(scratch, string_from_text_len(text, static_cast<int32_t>(std::strlen(text))));
  if (!pending_error) {
    print_fit_check(scratch);
    print_text(scratch, 0);
  }
  string_free(scratch);
  print_text(null_string, 1);
}

// READ into element i of `array` as a DOUBLE; a failed index check skips the read.
void read_element(array_descriptor* array) {
  double& target = element(array);
  if (pending_error) return;
  long double value = read_numeric(segment_data, &data_position, segment_data_length, type_double);
  if (!pending_error) target = static_cast<double>(value);
}

// FOR i = 1 TO 87 with DOUBLE loop values and the SINGLE counter `i`. `body` returns
// false to leave the loop (EXIT FOR).
template <typename Body>
void for_loop(int32_t for_line, int32_t next_line, Body body) {
  const double start = 1.0;
  const double limit = 87.0;
  const double step = 1.0;
  const bool step_negative = step < 0;
  double value = start;
  for (;;) {
    *vars.i = static_cast<float>(value);
    if (step_negative ? value < limit : value > limit) return;
    if (statement_end(for_line)) {  // a retry at the FOR line restarts the loop
      value = start;
      continue;
    }
    if (!body()) return;
    // NEXT
    value = static_cast<double>(*vars.i) + step;
    statement_end(next_line);
  }
}

void load_segment_table() {
  run_line(31, [] { restore_data(); });
  for_loop(33, 40, [] {
    run_line(34, [] { read_element(vars.seg_from); });
    run_line(35, [] { read_element(vars.seg_to); });
    run_line(36, [] { read_element(vars.coef0); });
    run_line(37, [] { read_element(vars.coef1); });
    run_line(38, [] { read_element(vars.coef2); });
    run_line(39, [] { read_element(vars.coef3); });
    return true;
  });
}

// The cubic of segment i at L (the curve's own evaluation, which brightness-curve shares).
double evaluate_cubic(double l) {
  return cubic_value(element(vars.coef0), element(vars.coef1), element(vars.coef2), element(vars.coef3), l);
}

void search_segment() {
  for_loop(42, 47, [] {
    const double l = *vars.wavelength;
    int32_t c1 = l >= element(vars.seg_from) ? -1 : 0;  // a comparison with NaN is false
    int32_t c2 = element(vars.seg_to) >= l ? -1 : 0;
    // A pending error makes the condition unknown: enter the branch so the check reports it.
    if ((c1 & c2) == 0 && !pending_error) {
      statement_end(43);
      return true;
    }
    statement_end(43);
    run_line(44, [] { *vars.brightness = evaluate_cubic(*vars.wavelength); });
    statement_end(45);  // EXIT FOR
    return false;
  });
}

void print_result() {
  // Line 49 carries the numeric label 100, which ERL reports from here on.
  last_line_number = 100;
  if (event_pending.load()) line_event_check(49, 0, nullptr);
  run_line(49, [] {
    rt_string* label = string_new(0, false);
    string_assign(label, string_from_text("   Helligkeit Vollstfarbe: "));
    if (!pending_error) {
      print_fit_check(label);
      print_text(label, 0);
    }
    string_free(label);
    rt_string* number = format_double(std::floor(*vars.brightness * 1000.0) / 1000.0);
    if (!pending_error) {
      print_fit_check(number);
      print_text(number, 0);
    }
    print_text(null_string, 1);
  });
}

void ask_wavelength() {
  run_line(15, [] {
    print_text(string_from_text("   Eingabe der Spektralwellenlaenge: [nm] mit Dezimalpunkt:   "), 0);
    print_text(string_from_text("? "), 0);
    input_dest_ptrs[1] = vars.wavelength_text;
    input_dest_types[1] = input_type_string;
    input_statement(1, 1);
    if (stop_all.load()) park_program_thread();
  });
}

void brightness_program() {
  set_fpu_mode();
  install_arithmetic_signal_handler();
  temp_mark = temp_count;
  if (!scope_lock) {
    scope_lock = mem_lock_new();
    scope_lock->kind = 3;
  }
  allocate_variables();
  if (error_handler_jump) {  // the program has no error handler to continue at
    error_handler_jump = 0;
    end_process(exit_status_no_handler);
  }
  chain_handover();

  run_line(9, [] { print_line(""); });
  run_line(10, [] { print_line(" ******* Interpolation Vollstfarbenhelligkeit nach Korlu *******"); });
  run_line(11, [] { print_line(""); });
  run_line(12, [] { print_line("               Berechnungsbereich 380 nm bis 700 nm"); });
  run_line(13, [] { print_text(null_string, 1); });
  ask_wavelength();
  run_line(16, [] { print_line(""); });
  run_line(21, [] { *vars.wavelength = static_cast<double>(string_val(vars.wavelength_text)); });
  for (int32_t line = 24; line <= 29; ++line) run_line(line, [] {});  // DIM: the arrays exist already
  load_segment_table();
  search_segment();
  print_result();
  run_line(53, [] { print_line(""); });
  run_line(54, [] { print_line("   Druecke eine Taste um das Programm zu beenden."); });
  end_program();
}

// What --help prints.
const char* const help_text =
    "Usage: brightness [OPTION]\n"
    "Open a window that asks for a light wavelength in nanometres and shows the relative\n"
    "brightness of the full colour of that wavelength (380 to 780 nm), rounded down to three\n"
    "decimals. The window's texts are in German. For tables and plots of the same curve, see\n"
    "brightness-curve(1). Without an X display, started from a terminal, it shows the same\n"
    "screen in that terminal.\n"
    "\n"
    "      --tty      show the screen in this terminal, whatever the display\n"
    "      --window   show the screen in a window, never in the terminal\n"
    "      --help     display this help and exit\n"
    "      --version  output version information and exit\n"
    "\n"
    "Exit status: 0 when the program ends; 1 when neither an X display with OpenGL nor a\n"
    "terminal could be used.\n";

}  // namespace

int main(int argc, char** argv) {
  // Asked about itself, the program answers on standard output before anything opens a display.
  for (int k = 1; k < argc; ++k) {
    if (std::strcmp(argv[k], "--help") == 0) {
      std::fputs(help_text, stdout);
      return 0;
    }
    if (std::strcmp(argv[k], "--version") == 0) {
      print_version(stdout, "brightness");
      return 0;
    }
  }
  start_hidden = 0;
  has_console = 0;
  return runtime_main(argc, argv, brightness_program);
}
