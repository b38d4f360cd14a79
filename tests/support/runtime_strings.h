// Test helpers over runtime strings: their bytes as std::string, the storage made ready, and the string tests' fixture.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/fpu.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/string_storage.h"
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

// Each test starts as the program thread does, with the string storage made and no error
// pending; the temporaries it leaves are released and the heap must still be sound.
class strings_test : public ::testing::Test {
 protected:
  void SetUp() override {
    set_fpu_mode();
    string_storage_init();
    pending_error = 0;
    event_pending = 0;
    mark = temp_count;
  }
  void TearDown() override {
    string_release_temporaries(mark, 0);
    EXPECT_TRUE(string_heap_check());
    pending_error = 0;
    event_pending = 0;
  }
  uint32_t mark = 0;  // temp_count when the test began
};
