// The emulated PC's clock-driven words: the frame counter's cadence, the BIOS tick count and the vertical-retrace flags, computed from the clock.
#pragma once
#include <cstdint>

// The frame thread once ran passes of 16 ms (15 ms of picture, then 1 ms of vertical
// retrace), stored the tick count and the retrace flags in each and offered a frame every
// second pass, counting the offers in frame_counter. It no longer wakes that often: the
// functions below give the same values from the monotonic clock, counted from the moment
// the frame thread started.
constexpr int64_t retrace_pass_ms = 16;                  // one pass; its last millisecond is the retrace
constexpr int64_t frame_offer_ms = 2 * retrace_pass_ms;  // a frame is offered every second pass
constexpr int32_t blink_phase_bit = 8;                   // bit 3 of frame_counter: the blink and cursor phase

// Frame thread, as it starts: the moment the counts below run from (monotonic ms).
void emulated_clock_start(int64_t now_ms);
// The frame counter at `now_ms` (monotonic): the frames offered since the start.
int32_t frame_count_at(int64_t now_ms);
// The first moment after `now_ms` at which the blink phase of the frame counter changes.
int64_t next_blink_change_ms(int64_t now_ms);

// The BIOS tick count at 0x46C: ticks since local midnight, 18.2 a second. Read, it is
// computed from the time of day and stored there (three bytes, least significant first),
// so the bytes hold what a pass would have stored. Nothing in this program reads it (there
// is no PEEK yet): a read of 0x46C to 0x46E must call this first.
uint32_t bios_tick_count();

// The vertical-retrace flags of the video status port, as the passes set them: in progress
// during the last millisecond of every pass; seen once a retrace has begun since the
// previous read, which clears it. Nothing in this program reads them (there is no port
// read yet).
struct retrace_flags {
  bool in_progress;
  bool seen;
};
retrace_flags read_retrace_flags();
