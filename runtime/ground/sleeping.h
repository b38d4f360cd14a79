// Sleeping and the clock: the plain timed pause and the monotonic milliseconds that waits measure deadlines with.
#pragma once
#include <cstdint>

// Sleeps `milliseconds`; 0 yields the processor instead.
void sleep_ms(uint32_t milliseconds);
// Milliseconds on the monotonic clock, for deadlines of waits.
int64_t monotonic_ms();
