// BASIC timers: the timer table the program thread arms and the event timer thread that marks timers due.
#pragma once
#include <atomic>
#include <cstdint>

// A timer slot's event, from due to handled: the event timer thread moves idle to due; the
// program thread's trap dispatch moves due to running while the handler runs, then back.
enum timer_event_state : uint8_t {
  timer_event_idle = 0,
  timer_event_due = 1,
  timer_event_running = 2,
};

// BASIC timers. Slot 0 is the plain ON TIMER; more slots come with further timers.
// The event timer thread reads every field while the program thread sets them up.
struct timer_slot {
  std::atomic<uint8_t> in_use;    // the slot belongs to a timer
  std::atomic<int32_t> armed;     // handler number; nonzero once a handler and interval are set
  std::atomic<uint8_t> active;    // TIMER ON
  std::atomic<uint8_t> pending;   // a timer_event_state
  std::atomic<double> interval;   // seconds between events
  std::atomic<double> last;       // time of the last event in seconds, 0 = not started
};
// Grows the table to `count` slots (program thread); raises fatal 257 when it cannot.
void timer_table_grow(int32_t count);
// One scan of the timers at time `now` in seconds (the event timer thread's pass).
void timer_scan(double now);
// Milliseconds from `now` until the next timer is due; 0 to scan now, -1 when none is armed.
int32_t timer_wait_ms(double now);
// Wakes the event timer thread to look at the table again: call after arming, starting or
// stopping a timer, after its handler ran, and when shutdown begins.
void timers_changed();
// The event timer thread: sleeps until a timer is due, the table changes or shutdown
// begins; it does not look at the table while nothing is armed.
void* event_timer_thread_main(void* unused);
