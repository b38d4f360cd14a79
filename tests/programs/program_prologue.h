// What a translated main routine does around its statements, for the small test programs.
#pragma once
#include <cstdlib>

#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/console/shared_cells.h"
#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/fpu.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/shared_words.h"
#include "runtime/top/chain.h"
#include "runtime/top/error_handling.h"
#include "runtime/values/strings.h"
#include "runtime/window/window.h"

// Prologue: floating-point mode, division fault handler, the error-handler jump of a
// program without handler, then the CHAIN hand-over.
inline uint32_t program_prologue() {
  set_fpu_mode();
  install_arithmetic_signal_handler();
  uint32_t mark = temp_count;
  if (error_handler_jump) {
    error_handler_jump = 0;
    exit_process(exit_status_no_handler);
  }
  chain_handover();
  return mark;
}

// After each statement line: free its temporaries and run the check when needed.
inline void statement_end(uint32_t mark, int32_t line) {
  string_release_temporaries(mark, 0);
  if (event_pending) line_event_check(line, 0, nullptr);
}

inline void print_line(const char* text) { print_text(string_from_text(text), 1); }

// True while keys wait in the emulated BIOS key ring (head and tail words differ).
// The window thread stores them while this runs, so each byte is read with shared_load.
inline bool key_ring_filled() {
  const uint8_t* memory = conventional_memory;
  auto byte = [memory](int at) { return shared_load(memory + at); };
  return (byte(0x41A) | byte(0x41B) << 8) != (byte(0x41C) | byte(0x41D) << 8);
}
