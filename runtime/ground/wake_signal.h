// Wake-ups between threads: a sequence word that one thread sleeps on and others bump.
#pragma once
#include <atomic>
#include <cstdint>

// A waiter takes a ticket, looks for work, and sleeps only while the sequence still equals
// its ticket; so a signal that comes between the look and the sleep is never lost. Signals
// cost one atomic add, and a system call only while somebody sleeps.
struct wake_signal {
  std::atomic<uint32_t> sequence{0};  // bumped by every signal; the futex word
  std::atomic<int32_t> sleepers{0};   // threads inside wake_wait now
};

inline uint32_t wake_ticket(const wake_signal& signal) { return signal.sequence.load(); }
// Wakes every thread sleeping on `signal`.
void wake_all(wake_signal& signal);
// Sleeps until `signal` moves past `ticket` or `timeout_ms` passes (negative: no limit).
// True when it moved. Spurious returns are possible: callers look for their work again.
bool wake_wait(wake_signal& signal, uint32_t ticket, int32_t timeout_ms);
