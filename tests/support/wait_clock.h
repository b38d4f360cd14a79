// The test helpers' clock: milliseconds on a steady clock for deadlines, and a pause.
#pragma once
#include <chrono>
#include <cstdint>
#include <thread>

inline void pause_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

inline int64_t now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}
