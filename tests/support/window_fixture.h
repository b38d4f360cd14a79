// Base fixture of the window tests: the X connection, one program started under it, and its 80 x 25 screen read back.
#pragma once
#include <gtest/gtest.h>
#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "support/child_process.h"
#include "support/screen_reader.h"
#include "support/x_input.h"  // press() takes the keysym names (XK_Return ...)
#include "support/x_windows.h"

// Path of one of the small test programs (tests/programs) by its name.
inline std::string test_program(const std::string& name) { return std::string(TEST_PROGRAM_DIR) + "/" + name; }

class window_fixture : public ::testing::Test {
 protected:
  // How long a window, a screen or the program's end is waited for before the test gives up.
  static constexpr int timeout_ms = 30000;

  void SetUp() override;     // opens the display
  void TearDown() override;  // kills and reaps a program still running, closes the display

  // Starts the program (`pid`).
  void start_process(const std::string& path, const std::vector<std::string>& args = {}, const program_io& io = {});
  // Starts the program and waits for its window (`window`).
  void start(const std::string& path, const std::vector<std::string>& args = {}, const program_io& io = {});
  // Reads the window's screen again until `done` holds; `screen` keeps the last read.
  bool wait_until(const std::function<bool(const screen_text&)>& done);
  // Until a row shows `text`; when none ever does, the failure shows the last screen.
  bool wait_for_text(const std::string& text);
  // Until END's prompt stands on the bottom row.
  bool wait_for_end_prompt();
  // Until the window's size (width, height) satisfies `done`; false when it never does.
  bool wait_for_size(const std::function<bool(int, int)>& done);
  // Gives `target` the keyboard focus and presses one key there.
  void press(unsigned long target, unsigned long keysym);
  // The program's exit status (see wait_exit_status); it is gone afterwards.
  int exit_status();

  Display* display = nullptr;
  pid_t pid = -1;
  unsigned long window = 0;
  screen_text screen;
};
