// Frame thread (keeps the frame pacing, the emulated BIOS tick and the orderly shutdown).
#include <time.h>

#include <cstdint>

#include "runtime/ground/conventional_memory.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/wake_signal.h"
#include "runtime/window/keyboard.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/window.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/timers.h"

namespace {

// Ticks since midnight at 18.2 per second, from the local time of day.
uint32_t bios_ticks_now() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  time_t seconds = now.tv_sec;
  tm local;
  localtime_r(&seconds, &local);
  int64_t milliseconds = (static_cast<int64_t>(local.tm_hour) * 3600 + local.tm_min * 60 + local.tm_sec) * 1000 +
                         now.tv_nsec / 1000000;
  milliseconds %= 86400000;
  return static_cast<uint32_t>(static_cast<double>(milliseconds) * 0.0182);
}

// Crosses to the program thread, which may PEEK the tick count: relaxed byte stores.
void store_bios_ticks(uint32_t ticks) {
  uint8_t* cell = conventional_memory + bios_tick_offset;
  for (int byte = 0; byte < 3; ++byte)
    __atomic_store_n(cell + byte, static_cast<uint8_t>(ticks >> (8 * byte)), __ATOMIC_RELAXED);
}

constexpr int64_t extra_frame_gap_ms = 4;  // a program that prints without pause gets at most 250 extra frames a second
int64_t last_extra_build_ms = 0;            // when the frame thread last built a frame between passes

void offer_frame() {
  // build_frame itself answers a pause request and a frame request while the screen is hidden.
  if (auto_display.load() != display_manual) build_frame();
  ++frame_counter;
}

// The quiet part of a pass: sleeps until `deadline_ms`, but when the screen changes meanwhile
// it builds a frame at once (at most one per extra_frame_gap_ms) so that typed keys and
// printed text show without waiting for the next regular frame. Such frames leave
// frame_counter alone: the blink phases keep the regular cadence.
void wait_for_screen_changes(int64_t deadline_ms) {
  for (;;) {
    uint32_t ticket = wake_ticket(screen_change_signal);
    int64_t now = monotonic_ms();
    bool changed = screen_change_pending.load() != 0 && auto_display.load() != display_manual;
    if (changed && now - last_extra_build_ms >= extra_frame_gap_ms) {
      build_frame();  // clears screen_change_pending before it looks at the page
      last_extra_build_ms = now = monotonic_ms();
      changed = false;
    }
    if (now >= deadline_ms || handshake_is_asked(frame_thread_pause)) return;
    int64_t until = changed ? last_extra_build_ms + extra_frame_gap_ms : deadline_ms;
    if (until > deadline_ms) until = deadline_ms;
    wake_wait(screen_change_signal, ticket, static_cast<int32_t>(until - now));
  }
}

}  // namespace

void* frame_thread_main(void*) {
  bool alternate = false;
  for (;;) {
    if (handshake_answer(frame_thread_pause)) handshake_hold(frame_thread_pause);
    if (exit_request_bits.load() != 0 && exit_trapped.load() == 0) break;
    store_bios_ticks(bios_ticks_now());
    int32_t shell = shell_running.load();
    if (shell) {
      if (shell == -1) {
        sleep_ms(64);
      } else {
        shell_running = -1;
        offer_frame();
        retrace_in_progress = 0;
      }
      continue;
    }
    wait_for_screen_changes(monotonic_ms() + 15);
    retrace_in_progress = 1;
    retrace_seen = 1;
    sleep_ms(1);
    if (close_requested.load()) {
      frame_thread_pause.state.store(handshake_held);  // stopped for good: nobody need wait for an answer
      break;
    }
    alternate = !alternate;
    if (alternate) offer_frame();
    retrace_in_progress = 0;
  }

  // Orderly shutdown: stop the program and event timer threads, then end the process.
  stop_all = 1;
  event_pending = 1;
  timers_changed();
  key_waiters_wake();
  while (threads_done.load() != all_threads_done) sleep_ms(16);
  close_all();
  exit_via_window(exit_status_orderly);
}
