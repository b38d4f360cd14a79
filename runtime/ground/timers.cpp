// Timers (keeps the timer table and the event timer thread).
#include "runtime/ground/timers.h"

#include <cmath>
#include <cstdlib>
#include <new>
#include <vector>

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/stop_signal.h"
#include "runtime/ground/wake_signal.h"

// Timer state: the program thread owns the table, the event timer thread scans it.
// Replaced slot arrays, kept: the timer thread or a trap dispatch may still hold one.
static std::vector<timer_slot*>* const retired_timer_tables = new std::vector<timer_slot*>();
// The event timer thread sleeps on it until the next timer is due; never freed.
static wake_signal& timer_signal = *new wake_signal;

namespace {

double monotonic_seconds() { return 0.001 * static_cast<double>(monotonic_ms()); }

}  // namespace

void timer_scan(double now) {
  timer_slot* slots = timer_table.load();
  int32_t count = timer_slot_count.load();
  for (int32_t i = 0; i < count; ++i) {
    if (handshake_is_asked(timer_table_state)) return;  // the owner is resizing; the caller restarts
    timer_slot& slot = slots[i];
    if (!slot.in_use || !slot.armed || !slot.active || slot.pending) continue;
    double last = slot.last;
    double interval = slot.interval;
    if (last == 0) {
      slot.last = now;  // first start
      continue;
    }
    if (now - last > interval) {
      last += interval;
      if (std::fabs(now - last) >= interval) last = now;  // skip missed periods
      slot.last = last;
      slot.pending = timer_event_due;
      event_pending = 1;
    }
  }
}

void timer_table_grow(int32_t count) {
  int32_t old_count = timer_slot_count.load();
  if (count <= old_count) return;
  timer_slot* grown = new (std::nothrow) timer_slot[count]();
  if (!grown) raise_fatal_error(error_timer_table_memory);
  // Stop the event timer thread's scans while the table changes hands.
  handshake_ask(timer_table_state);
  timers_changed();
  if (threads_started) handshake_wait_held(timer_table_state, 1, [] { return stop_all.load() != 0; });
  timer_slot* old = timer_table.load();
  for (int32_t i = 0; i < old_count; ++i) {
    grown[i].in_use = old[i].in_use.load();
    grown[i].armed = old[i].armed.load();
    grown[i].active = old[i].active.load();
    grown[i].pending = old[i].pending.load();
    grown[i].interval = old[i].interval.load();
    grown[i].last = old[i].last.load();
  }
  timer_table = grown;
  timer_slot_count = count;
  retired_timer_tables->push_back(old);
  handshake_release(timer_table_state);
  timers_changed();
}

int32_t timer_wait_ms(double now) {
  timer_slot* slots = timer_table.load();
  int32_t count = timer_slot_count.load();
  int32_t wait = -1;
  for (int32_t i = 0; i < count; ++i) {
    timer_slot& slot = slots[i];
    if (!slot.in_use || !slot.armed || !slot.active) continue;
    // A slot whose handler is due or running is looked at again when it is done; a slot
    // not started yet is started by the next scan.
    if (slot.pending) continue;
    double last = slot.last;
    if (last == 0) return 0;
    // The scan fires only once more than the interval has passed: one millisecond past it.
    double due = (last + slot.interval - now) * 1000.0 + 1.0;
    int32_t ms = due <= 0 ? 0 : due >= 1e9 ? 1000000000 : static_cast<int32_t>(std::ceil(due));
    if (wait < 0 || ms < wait) wait = ms;
  }
  return wait;
}

void timers_changed() { wake_all(timer_signal); }

void* event_timer_thread_main(void*) {
  while (!stop_all) {
    uint32_t ticket = wake_ticket(timer_signal);
    int32_t wait = -1;
    if (!handshake_answer(timer_table_state) && timer_table_state.state.load() == handshake_idle) {
      double now = monotonic_seconds();
      timer_scan(now);
      wait = timer_wait_ms(now);
    }
    if (stop_all) break;
    // While the owner resizes it signals when the table is back.
    wake_wait(timer_signal, ticket, wait);
  }
  mark_thread_done(timer_thread_ended);
  return nullptr;
}
