// The window thread's wake-up (keeps the eventfd other threads write to and the window thread polls).
#include "runtime/window/window_wake.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>

namespace {
// -1 until the window thread makes it, which may be after other threads run.
std::atomic<int> window_wake_fd{-1};
}  // namespace

void window_wake_startup() {
  if (window_wake_fd.load() < 0) window_wake_fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
}

void window_wake() {
  int fd = window_wake_fd.load();
  if (fd < 0) return;
  uint64_t one = 1;
  ssize_t written = write(fd, &one, sizeof one);
  (void)written;  // a full counter already wakes the thread
}

int window_wake_descriptor() { return window_wake_fd.load(); }

void window_wake_consume() {
  uint64_t count = 0;
  ssize_t got = read(window_wake_fd.load(), &count, sizeof count);
  (void)got;
}
