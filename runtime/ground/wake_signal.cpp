// Wake signals (keeps the futex-based sleep and wake-up that the waiting threads share).
#include "runtime/ground/wake_signal.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <climits>

static_assert(sizeof(std::atomic<uint32_t>) == sizeof(uint32_t), "the futex word is the atomic itself");

namespace {

long futex(std::atomic<uint32_t>* word, int operation, uint32_t value, const timespec* timeout) {
  return syscall(SYS_futex, reinterpret_cast<uint32_t*>(word), operation, value, timeout, nullptr, 0);
}

}  // namespace

void wake_all(wake_signal& signal) {
  // Both sides use sequentially consistent order: either the waiter's count is seen here,
  // or the waiter's futex sees the new sequence and does not sleep.
  signal.sequence.fetch_add(1);
  if (signal.sleepers.load() > 0) futex(&signal.sequence, FUTEX_WAKE_PRIVATE, INT_MAX, nullptr);
}

bool wake_wait(wake_signal& signal, uint32_t ticket, int32_t timeout_ms) {
  if (signal.sequence.load() != ticket) return true;
  if (timeout_ms == 0) return false;
  timespec span{timeout_ms / 1000, static_cast<long>(timeout_ms % 1000) * 1000000L};
  signal.sleepers.fetch_add(1);
  futex(&signal.sequence, FUTEX_WAIT_PRIVATE, ticket, timeout_ms > 0 ? &span : nullptr);
  signal.sleepers.fetch_sub(1);
  return signal.sequence.load() != ticket;
}
