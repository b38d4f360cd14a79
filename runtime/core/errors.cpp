// Run-time errors: pending error state and raise_error (minimal form; the dialog comes later).
#include "runtime/core/errors.h"

#include <cstdio>
#include <cstdlib>

uint32_t pending_error = 0;
std::atomic<int32_t> event_pending{0};

void raise_error(int32_t number) {
  if (number == 11 || (number >= 502 && number <= 518)) {
    std::fprintf(stderr, "Critical Error %d\n", number);
    std::exit(0);
  }
  if (pending_error) return;
  if (number <= 0) number = 5;
  pending_error = static_cast<uint32_t>(number);
  event_pending = 1;
}
