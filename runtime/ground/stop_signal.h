// Stopping at shutdown: stop_all with the descriptor that tells polling waits, each thread's done bit, and the wait for them.
#pragma once
#include <cstdint>

// Frame thread, as shutdown begins: sets stop_all and makes stop_all_descriptor readable.
// (The waits on wake signals, INPUT's and END's key wait and the timer thread's, are
// woken by their own signals.)
void stop_all_threads();
// A descriptor that turns readable when stop_all is set and stays so (nobody reads it),
// for waits that poll descriptors: the message box, INPUT from standard input. -1 when
// none could be made; such a wait then looks at stop_all every stop_poll_fallback_ms.
int stop_all_descriptor();
constexpr int stop_poll_fallback_ms = 20;
// Program and event timer threads: sets their bit of threads_done and wakes the frame thread.
void mark_thread_done(uint32_t bit);
// Frame thread: sleeps until every thread's bit of threads_done is set.
void wait_for_threads_done();
