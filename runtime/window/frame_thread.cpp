// Frame thread (keeps the frame pacing and the orderly shutdown).
#include <sched.h>

#include <cstdint>

#include "runtime/console/program_stop.h"
#include "runtime/console/screen.h"
#include "runtime/ground/emulated_clock.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/wake_signal.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/window.h"

namespace {

int64_t last_change_build_ms = -screen_change_gap_ms;  // when the frame thread last built a frame for a page change
int32_t built_phase = -1;  // blink phase of the frame thread's last frame; -1 before the first

// Offers a frame as at `now_ms`: frame_counter from the clock, then a build (in manual
// display mode only a frame asked for is built; build_frame itself answers a pause request
// and a frame request while the screen is hidden).
void offer_frame(int64_t now_ms) {
  int32_t count = frame_count_at(now_ms);
  frame_counter.store(count);
  built_phase = (count & blink_phase_bit) != 0;
  if (auto_display.load() != display_manual) build_frame();
}

// The frame thread's one wait. Not passes that sleep 15 ms, then look (60 a second): it
// builds a frame only when the page changed (at once, but at most one per
// screen_change_gap_ms, so typed keys and printed text show without delay), when a frame
// is asked for, or when the blink phase of something the last frame shows (the cursor,
// blinking text) changes; and sleeps until the next such moment or until another thread
// has news for it (screen_change_signal). frame_counter comes from the clock, so the
// phases land where the 32 ms offers put them.
void wait_for_frame_work() {
  uint32_t ticket = wake_ticket(screen_change_signal);
  // A screen statement rebuilding the pages asks the builder to hold still and wakes this
  // thread: answer here, since no frame may be due (the builder then stays idle until the
  // pause is released; the statement's own change wakes this thread again).
  if (handshake_answer(frame_build_pause)) sched_yield();
  int64_t now = monotonic_ms();
  int32_t mode = auto_display.load();
  bool automatic = mode != display_manual;
  bool changed = automatic && screen_change_pending.load() != 0;
  bool blinking = automatic && screen_hidden.load() != 1 && last_frame_blinks();
  int32_t phase = (frame_count_at(now) & blink_phase_bit) != 0;
  bool first = automatic && built_phase < 0;  // the start-up screen's frame, whatever changed
  if (first || mode == display_one_frame || (changed && now - last_change_build_ms >= screen_change_gap_ms) ||
      (blinking && phase != built_phase)) {
    if (changed) last_change_build_ms = now;
    offer_frame(now);  // build_frame clears screen_change_pending before it looks at the page
    return;            // and looks again: news may have come during the build
  }
  if (handshake_is_asked(frame_thread_pause)) return;
  int64_t deadline = changed ? last_change_build_ms + screen_change_gap_ms : -1;
  if (blinking) {
    int64_t change = next_blink_change_ms(now);
    if (deadline < 0 || change < deadline) deadline = change;
  }
  wake_wait(screen_change_signal, ticket, deadline < 0 ? -1 : static_cast<int32_t>(deadline - now));
}

}  // namespace

void* frame_thread_main(void*) {
  emulated_clock_start(monotonic_ms());
  for (;;) {
    if (handshake_answer(frame_thread_pause)) handshake_hold(frame_thread_pause);
    if (exit_request_bits.load() != 0 && exit_trapped.load() == 0) break;
    if (close_requested.load()) {
      frame_thread_pause.state.store(handshake_held);  // stopped for good: nobody need wait for an answer
      break;
    }
    int32_t shell = shell_running.load();
    if (shell) {
      if (shell == -1) {
        sleep_ms(64);
      } else {
        shell_running = -1;
        offer_frame(monotonic_ms());
      }
      continue;
    }
    wait_for_frame_work();
  }

  // Orderly shutdown: stop the program and event timer threads, then end the process.
  stop_program_threads(nullptr);
  exit_via_window(exit_status_orderly);
}
