// Frame thread (keeps the frame pacing, the emulated BIOS tick and the orderly shutdown).
#include <time.h>

#include <cstdint>

#include "runtime/console/conventional_memory.h"
#include "runtime/core/errors.h"
#include "runtime/core/lifecycle.h"
#include "runtime/window/renderer.h"
#include "runtime/window/window.h"

// Emulated vertical retrace, read by the port emulation.
std::atomic<int32_t> retrace_in_progress{0};  // a retrace is under way
std::atomic<int32_t> retrace_seen{0};         // a retrace happened since it was last read

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

void store_bios_ticks(uint32_t ticks) {
  uint8_t* cell = conventional_memory + bios_tick_offset;
  cell[0] = static_cast<uint8_t>(ticks);
  cell[1] = static_cast<uint8_t>(ticks >> 8);
  cell[2] = static_cast<uint8_t>(ticks >> 16);
}

void offer_frame() {
  // build_frame itself answers a pause request and a frame request while the screen is hidden.
  if (auto_display.load() != 0) build_frame();
  ++frame_counter;
}

}  // namespace

void* frame_thread_main(void*) {
  bool alternate = false;
  for (;;) {
    if (frame_thread_pause.load() == 1) {
      frame_thread_pause = 2;
      while (frame_thread_pause.load() == 2) sleep_ms(1);
    }
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
    sleep_ms(15);
    retrace_in_progress = 1;
    retrace_seen = 1;
    sleep_ms(1);
    if (close_requested.load()) {
      frame_thread_pause = 2;
      break;
    }
    alternate = !alternate;
    if (alternate) offer_frame();
    retrace_in_progress = 0;
  }

  // Orderly shutdown: stop the program and event timer threads, then end the process.
  stop_all = 1;
  event_pending = 1;
  while (threads_done.load() != 3) sleep_ms(16);
  close_all();
  exit_via_window(exit_status_orderly);
}
