// Test helpers over runtime strings: their bytes as std::string, and string storage made ready once.
#pragma once
#include <string>

#include "runtime/ground/conventional_memory.h"
#include "runtime/values/strings.h"

inline std::string text_of(const rt_string* s) {
  return std::string(reinterpret_cast<const char*>(s->chars), static_cast<size_t>(s->len));
}

// Zeroes the emulated memory and makes the string storage, once per test process.
inline void strings_ready() {
  static bool done = false;
  if (done) return;
  conventional_memory_clear();
  string_storage_init();
  done = true;
}
