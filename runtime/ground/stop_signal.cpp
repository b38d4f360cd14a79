// Stopping at shutdown (keeps the descriptor polling waits watch for stop_all and the signal the frame thread waits for the done bits on).
#include "runtime/ground/stop_signal.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include "runtime/ground/shared_words.h"
#include "runtime/ground/wake_signal.h"

namespace {

// Bumped when a thread sets its done bit (the frame thread sleeps on it); never freed.
wake_signal& thread_done_signal = *new wake_signal;

// Made on first use by whichever thread comes first; never closed.
int stop_descriptor() {
  static const int descriptor = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  return descriptor;
}

}  // namespace

void stop_all_threads() {
  stop_all = 1;
  int descriptor = stop_descriptor();
  if (descriptor < 0) return;
  uint64_t one = 1;
  ssize_t written = write(descriptor, &one, sizeof one);
  (void)written;  // a counter that is not zero already reads as readable
}

int stop_all_descriptor() { return stop_descriptor(); }

void mark_thread_done(uint32_t bit) {
  threads_done.fetch_or(bit);
  wake_all(thread_done_signal);
}

void wait_for_threads_done() {
  for (;;) {
    uint32_t ticket = wake_ticket(thread_done_signal);
    if (threads_done.load() == all_threads_done) return;
    wake_wait(thread_done_signal, ticket, -1);
  }
}
