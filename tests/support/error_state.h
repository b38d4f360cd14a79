// The program thread's error state set back to "nothing pending, no handler" between test cases.
#pragma once

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"

inline void clear_error_state() {
  pending_error = 0;
  event_pending = 0;
  checks_suspended = 0;
  program_suspended = 0;
  error_handler_armed = 0;
  in_error_handler = 0;
}
