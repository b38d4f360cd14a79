// Shared set-up of the console tests: a fresh start-up screen and byte access to its cells.
#pragma once
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/ground/conventional_memory.h"
#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/strings.h"

// A string record over a test's own bytes (PRINT reads only chars and len).
struct test_text {
  std::string bytes;
  rt_string record{};
  explicit test_text(std::string text) : bytes(std::move(text)) {
    record.chars = reinterpret_cast<uint8_t*>(bytes.data());
    record.len = static_cast<int32_t>(bytes.size());
    record.readonly = 1;
  }
  rt_string* get() { return &record; }
};

class console_test : public ::testing::Test {
 protected:
  void SetUp() override {
    pending_error = 0;
    event_pending = 0;
    controls_off = 0;
    label_controls_off = 0;
    conventional_memory_clear();
    screen_startup();
  }
  void TearDown() override { pending_error = 0; }

  // Cell bytes of the visible 80-column page 0, 1-based.
  static uint8_t cell_char(int row, int col) { return video(row, col)[0]; }
  static uint8_t cell_attr(int row, int col) { return video(row, col)[1]; }
  static uint8_t* video(int row, int col, int page = 0) {
    return conventional_memory + video_memory_offset + 4096 * page + ((row - 1) * 80 + (col - 1)) * 2;
  }
  // The characters of a row of page 0 from `col` on, `count` long.
  static std::string row_text(int row, int col, int count) {
    std::string s;
    for (int i = 0; i < count; ++i) s += static_cast<char>(cell_char(row, col + i));
    return s;
  }
  static void print(const std::string& text, int32_t line_end) {
    test_text t(text);
    print_fit_check(t.get());
    print_text(t.get(), line_end);
  }
  static void print_raw(const std::string& text, int32_t line_end) {
    test_text t(text);
    print_text(t.get(), line_end);
  }
  static void locate(int32_t row, int32_t col) { cursor_locate(row, col, 0, 0, 0, 3); }
  // Fills every cell of page 0 with a marker so that blanking shows.
  static void fill_marker(uint8_t marker) {
    for (int row = 1; row <= 25; ++row)
      for (int col = 1; col <= 80; ++col) video(row, col)[0] = marker;
  }
};
