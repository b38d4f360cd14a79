// Base fixture of the window tests: the X connection, one program started under it, and its 80 x 25 screen read back.
#include "support/window_fixture.h"

#include "support/wait_clock.h"

#include <X11/Xlib.h>  // after GoogleTest: its macros clash with gtest's names

void window_fixture::SetUp() {
  display = x_open();
  ASSERT_NE(display, nullptr);
}

void window_fixture::TearDown() {
  if (pid > 0) wait_exit_status(pid, 1);  // kills a run a failed test left behind
  if (display) XCloseDisplay(display);
}

void window_fixture::start_process(const std::string& path, const std::vector<std::string>& args,
                                   const program_io& io) {
  pid = start_program(path, args, io);
  ASSERT_GT(pid, 0);
}

void window_fixture::start(const std::string& path, const std::vector<std::string>& args, const program_io& io) {
  ASSERT_NO_FATAL_FAILURE(start_process(path, args, io));
  window = x_find_window(display, "Untitled", timeout_ms);
  ASSERT_NE(window, 0u) << "the window of " << path << " did not appear";
}

bool window_fixture::wait_until(const std::function<bool(const screen_text&)>& done) {
  return x_wait_screen(display, window, 80, 25, done, timeout_ms, &screen);
}

bool window_fixture::wait_for_text(const std::string& text) {
  bool seen = wait_until([&](const screen_text& s) { return s.find_row(text) >= 0; });
  if (!seen) ADD_FAILURE() << "the screen never showed " << text << "; last screen:\n" << screen.text();
  return seen;
}

bool window_fixture::wait_for_end_prompt() {
  return wait_until([](const screen_text& s) { return s.trimmed(24) == "Press any key to continue"; });
}

bool window_fixture::wait_for_size(const std::function<bool(int, int)>& done) {
  for (int64_t deadline = now_ms() + timeout_ms;; pause_ms(20)) {
    int width = 0, height = 0;
    if (x_window_size(display, window, &width, &height) && done(width, height)) return true;
    if (now_ms() >= deadline) return false;
  }
}

void window_fixture::press(unsigned long target, unsigned long keysym) {
  x_focus(display, target);
  x_key(display, keysym);
}

int window_fixture::exit_status() {
  int status = wait_exit_status(pid, timeout_ms);
  pid = -1;
  return status;
}
