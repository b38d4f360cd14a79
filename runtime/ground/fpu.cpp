// Floating-point mode of the program thread (keeps the x87 set-up and the division-fault handler).
#include "runtime/ground/fpu.h"

#include <signal.h>

#include <cstdint>
#include <cstring>

#include "runtime/ground/errors.h"

void set_fpu_mode() {
#if defined(__x86_64__) || defined(__i386__)
  // All exceptions masked, 64-bit significand, round to nearest even: VAL, READ and
  // index rounding depend on extended precision.
  const uint16_t control_word = 0x037F;
  __asm__ __volatile__("fldcw %0" : : "m"(control_word));
#endif
}

void on_arithmetic_signal(int) { raise_error(error_division_by_zero); }

void install_arithmetic_signal_handler() {
  struct sigaction action;
  std::memset(&action, 0, sizeof action);
  action.sa_handler = on_arithmetic_signal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = 0;
  sigaction(SIGFPE, &action, nullptr);
}
