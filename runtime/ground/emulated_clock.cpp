// The emulated PC's clock-driven words (keeps the frame counter's origin and the count of retraces last read).
#include "runtime/ground/emulated_clock.h"

#include <time.h>

#include <atomic>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/sleeping.h"

namespace {

std::atomic<int64_t> clock_origin_ms{0};  // frame thread's start (monotonic ms); 0 before it
std::atomic<int64_t> retraces_read{0};    // retraces begun when the flags were last read

// Milliseconds since the frame thread started (since the clock's zero before that).
int64_t elapsed_ms(int64_t now_ms) {
  int64_t elapsed = now_ms - clock_origin_ms.load(std::memory_order_relaxed);
  return elapsed < 0 ? 0 : elapsed;
}

}  // namespace

void emulated_clock_start(int64_t now_ms) { clock_origin_ms.store(now_ms, std::memory_order_relaxed); }

int32_t frame_count_at(int64_t now_ms) { return static_cast<int32_t>(elapsed_ms(now_ms) / frame_offer_ms); }

int64_t next_blink_change_ms(int64_t now_ms) {
  constexpr int64_t phase_ms = frame_offer_ms * blink_phase_bit;
  int64_t origin = now_ms - elapsed_ms(now_ms);
  return origin + (elapsed_ms(now_ms) / phase_ms + 1) * phase_ms;
}

uint32_t bios_tick_count() {
  timespec now;
  clock_gettime(CLOCK_REALTIME, &now);
  time_t seconds = now.tv_sec;
  tm local;
  localtime_r(&seconds, &local);
  int64_t milliseconds = (static_cast<int64_t>(local.tm_hour) * 3600 + local.tm_min * 60 + local.tm_sec) * 1000 +
                         now.tv_nsec / 1000000;
  milliseconds %= 86400000;
  uint32_t ticks = static_cast<uint32_t>(static_cast<double>(milliseconds) * 0.0182);
  // Any thread may read it: relaxed byte stores.
  uint8_t* cell = conventional_memory + bios_tick_offset;
  for (int byte = 0; byte < 3; ++byte)
    __atomic_store_n(cell + byte, static_cast<uint8_t>(ticks >> (8 * byte)), __ATOMIC_RELAXED);
  return ticks;
}

retrace_flags read_retrace_flags() {
  int64_t elapsed = elapsed_ms(monotonic_ms());
  // Retrace k runs from 16k + 15 ms to 16k + 16 ms.
  int64_t begun = (elapsed + 1) / retrace_pass_ms;
  int64_t before = retraces_read.exchange(begun, std::memory_order_relaxed);
  return retrace_flags{elapsed % retrace_pass_ms == retrace_pass_ms - 1, begun > before};
}
