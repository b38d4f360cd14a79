// Sleeping and the clock (keeps the timed pause and the monotonic clock reading).
#include "runtime/ground/sleeping.h"

#include <sched.h>
#include <time.h>

void sleep_ms(uint32_t milliseconds) {
  if (milliseconds == 0) {
    sched_yield();
    return;
  }
  timespec span;
  span.tv_sec = milliseconds / 1000;
  span.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
  nanosleep(&span, nullptr);
}

int64_t monotonic_ms() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}
