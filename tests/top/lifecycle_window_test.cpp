// Lifecycle under a real X server: END's key wait, the close button, the error dialog and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/x_session.h"

#include <X11/Xlib.h>

namespace {

const std::string program_dir = TEST_PROGRAM_DIR;
constexpr int window_timeout_ms = 30000;
constexpr int exit_timeout_ms = 30000;

bool still_running(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

class LifecycleWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    display = x_open();
    ASSERT_NE(display, nullptr);
  }
  void TearDown() override {
    if (pid > 0 && still_running(pid)) wait_exit_status(pid, 1);  // kills and reaps
    if (display) XCloseDisplay(display);
  }

  // Starts a test program and waits until its window shows `text` somewhere on screen.
  void start_and_wait_for(const std::string& program, const std::vector<std::string>& args, const std::string& text) {
    pid = start_program(program_dir + "/" + program, args);
    ASSERT_GT(pid, 0);
    window = x_find_window(display, "Untitled", window_timeout_ms);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(wait_for_text(text)) << "screen never showed " << text;
  }
  bool wait_for_text(const std::string& text) {
    screen_text last;
    bool seen = x_wait_screen(
        display, window, 80, 25, [&](const screen_text& s) { return s.find_row(text) >= 0; }, window_timeout_ms,
        &last);
    if (!seen) ADD_FAILURE() << "last screen:\n" << last.text();
    return seen;
  }
  bool wait_for_end_prompt() {
    return x_wait_screen(
        display, window, 80, 25, [](const screen_text& s) { return s.trimmed(24) == "Press any key to continue"; },
        window_timeout_ms);
  }
  void press(unsigned long target, unsigned long keysym) {
    x_focus(display, target);
    x_key(display, keysym);
  }

  Display* display = nullptr;
  unsigned long window = 0;
  pid_t pid = -1;
};

TEST_F(LifecycleWindow, EndDiscardsEarlierKeysAndEndsOnAFreshOne) {
  start_and_wait_for("lifecycle_end", {}, "WAIT");
  press(window, XK_x);  // lands in the key ring before END runs
  ASSERT_TRUE(wait_for_text("GO"));
  ASSERT_TRUE(wait_for_end_prompt());
  usleep(300 * 1000);
  EXPECT_TRUE(still_running(pid)) << "the key typed before END answered the prompt";
  press(window, XK_space);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, EndDrawsItsPromptAfterAutomaticDisplayWasSwitchedOff) {
  start_and_wait_for("lifecycle_end", {"manual"}, "WAIT");
  press(window, XK_x);
  ASSERT_TRUE(wait_for_end_prompt()) << "END left the display in manual mode";
  EXPECT_TRUE(wait_for_text("GO"));
  press(window, XK_space);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, CloseButtonDuringEndsWaitExitsZero) {
  start_and_wait_for("lifecycle_end", {}, "WAIT");
  press(window, XK_x);
  ASSERT_TRUE(wait_for_end_prompt());
  x_send_close(display, window);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, CloseButtonWhileRunningExitsZero) {
  start_and_wait_for("lifecycle_loop", {}, "RUN");
  x_send_close(display, window);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, TrappedCloseButtonKeepsTheWindowAndOnlySetsTheBit) {
  start_and_wait_for("lifecycle_loop", {"trap"}, "RUN");
  x_send_close(display, window);
  ASSERT_TRUE(wait_for_text("CLOSED")) << "the program did not see the close request";
  ASSERT_TRUE(wait_for_end_prompt()) << "the window went away with the close message";
  press(window, XK_Return);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, ErrorDialogYesContinuesAfterTheFailedStatement) {
  start_and_wait_for("lifecycle_error", {}, "BEFORE");
  unsigned long box = x_find_window(display, "Unhandled Error #", window_timeout_ms);
  ASSERT_NE(box, 0u);
  EXPECT_EQ(x_window_title(display, box), "Unhandled Error #9 - lifecycle_error");
  std::string text = x_read_box_text(display, box);
  EXPECT_NE(text.find("Line: 37 (in main module)"), std::string::npos) << text;
  EXPECT_NE(text.find("Subscript out of range"), std::string::npos) << text;
  EXPECT_NE(text.find("Continue?"), std::string::npos) << text;
  press(box, XK_Return);
  ASSERT_TRUE(wait_for_text("AFTER"));
  ASSERT_TRUE(wait_for_end_prompt());
  screen_text screen;
  ASSERT_TRUE(x_read_screen(display, window, 80, 25, &screen));
  EXPECT_LT(screen.find_row("LOST"), 0) << "a statement ran on while its error was pending";
  press(window, XK_space);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, ErrorDialogNoEndsWithoutReachingEnd) {
  start_and_wait_for("lifecycle_error", {}, "BEFORE");
  unsigned long box = x_find_window(display, "Unhandled Error #", window_timeout_ms);
  ASSERT_NE(box, 0u);
  press(box, XK_n);
  // Reaching END would wait for a key; the No answer ends the process by itself.
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, CloseButtonWhileTheErrorBoxIsUpExitsZero) {
  start_and_wait_for("lifecycle_error", {}, "BEFORE");
  unsigned long box = x_find_window(display, "Unhandled Error #", window_timeout_ms);
  ASSERT_NE(box, 0u);
  // The box answers No by itself when shutdown begins; nobody touches it here.
  x_send_close(display, window);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, CriticalErrorOffersOkAndExitsZero) {
  start_and_wait_for("lifecycle_error", {"301"}, "BEFORE");
  unsigned long box = x_find_window(display, "Critical Error #", window_timeout_ms);
  ASSERT_NE(box, 0u);
  EXPECT_EQ(x_window_title(display, box), "Critical Error #301 - lifecycle_error");
  std::string text = x_read_box_text(display, box);
  EXPECT_NE(text.find("Invalid size"), std::string::npos) << text;
  EXPECT_EQ(text.find("Continue?"), std::string::npos) << text;
  press(box, XK_Return);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, FatalErrorWithAWindowExitsZero) {
  start_and_wait_for("lifecycle_error", {"11"}, "BEFORE");
  unsigned long box = x_find_window(display, "Critical Error", window_timeout_ms);
  ASSERT_NE(box, 0u);
  EXPECT_EQ(x_window_title(display, box), "Critical Error");
  EXPECT_NE(x_read_box_text(display, box).find("Division by zero"), std::string::npos);
  press(box, XK_Return);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, ErrorHandlerJumpWithoutHandlerExits99) {
  // The program ends at once; its window need not be seen.
  pid = start_program(program_dir + "/lifecycle_error", {"9", "handler"});
  ASSERT_GT(pid, 0);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 99);
  pid = -1;
}

TEST_F(LifecycleWindow, TitleUsesTheNameAfterTheLastBackslash) {
  std::string folder = temp_path("backslash");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  std::string link = folder + "/dir\\sub\\calc";
  ASSERT_EQ(symlink((program_dir + "/lifecycle_error").c_str(), link.c_str()), 0);
  pid = start_program(link, {});
  ASSERT_GT(pid, 0);
  unsigned long box = x_find_window(display, "Unhandled Error #", window_timeout_ms);
  ASSERT_NE(box, 0u);
  EXPECT_EQ(x_window_title(display, box), "Unhandled Error #9 - calc");
  press(box, XK_n);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, RequestsReachTheWindowThreadInOrder) {
  pid = start_program(program_dir + "/window_requests", {});
  ASSERT_GT(pid, 0);
  window = x_find_window(display, "Renamed window", window_timeout_ms);
  ASSERT_NE(window, 0u) << "the title request never ran";
  screen_text screen;
  ASSERT_TRUE(x_wait_screen(
      display, window, 80, 25, [](const screen_text& s) { return s.find_row("W=1280") >= 0; }, window_timeout_ms,
      &screen))
      << screen.text();
  press(window, XK_space);
  // The hide request runs, then END without a shown screen ends at once.
  EXPECT_TRUE(x_wait_window_gone(display, window, window_timeout_ms));
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 0);
  pid = -1;
}

TEST_F(LifecycleWindow, UnreachableDisplayExitsOneWithAMessage) {
  program_io io;
  io.stderr_path = temp_path("no_display_stderr");
  io.set_env = {"DISPLAY=:1234"};
  pid = start_program(program_dir + "/lifecycle_end", {}, io);
  ASSERT_GT(pid, 0);
  EXPECT_EQ(wait_exit_status(pid, exit_timeout_ms), 1);
  pid = -1;
  EXPECT_EQ(read_file(io.stderr_path), "brightness: cannot open X display :1234\n");
}

}  // namespace
