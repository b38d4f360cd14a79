// Program stop (keeps the order in which shutdown stops the program's threads).
#include "runtime/console/program_stop.h"

#include "runtime/console/key_ring.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/stop_signal.h"
#include "runtime/ground/timers.h"

void stop_program_threads(void (*also_wake)()) {
  stop_all_threads();
  event_pending = 1;
  timers_changed();
  key_waiters_wake();
  if (also_wake) also_wake();
  wait_for_threads_done();  // told by each thread's done bit, not by looking every 16 ms
  close_all();
}
