// Lifecycle under a real X server: END's key wait, the close button, the error dialog and exit statuses.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/message_box_reader.h"
#include "support/window_fixture.h"

#include <X11/Xlib.h>

namespace {

bool still_running(pid_t pid) {
  int status = 0;
  return waitpid(pid, &status, WNOHANG) == 0;
}

class LifecycleWindow : public window_fixture {
 protected:
  // Starts a test program and waits until its window shows `text` somewhere on screen.
  void start_and_wait_for(const std::string& program, const std::vector<std::string>& args, const std::string& text) {
    ASSERT_NO_FATAL_FAILURE(start(test_program(program), args));
    ASSERT_TRUE(wait_for_text(text));
  }
  // Starts lifecycle_error with `args` and finds the error box whose title starts so (in `*box`).
  void start_error_box(const std::vector<std::string>& args, const char* title_start, unsigned long* box) {
    ASSERT_NO_FATAL_FAILURE(start_and_wait_for("lifecycle_error", args, "BEFORE"));
    *box = x_find_window(display, title_start, timeout_ms);
    ASSERT_NE(*box, 0u);
  }
};

TEST_F(LifecycleWindow, EndDiscardsEarlierKeysAndEndsOnAFreshOne) {
  start_and_wait_for("lifecycle_end", {}, "WAIT");
  press(window, XK_x);  // lands in the key ring before END runs
  ASSERT_TRUE(wait_for_text("GO"));
  ASSERT_TRUE(wait_for_end_prompt());
  usleep(300 * 1000);
  EXPECT_TRUE(still_running(pid)) << "the key typed before END answered the prompt";
  press(window, XK_space);
  EXPECT_EQ(exit_status(), 0);
}

// "manual": END must switch automatic display back on to show its prompt. "width": a
// screen rebuild while nothing blinks must not wait for a frame thread asleep.
class LifecycleEndModes : public LifecycleWindow, public ::testing::WithParamInterface<const char*> {};

TEST_P(LifecycleEndModes, EndDrawsItsPromptAfterTheScreenChangedMode) {
  start_and_wait_for("lifecycle_end", {GetParam()}, "WAIT");
  press(window, XK_x);
  ASSERT_TRUE(wait_for_end_prompt()) << "END's prompt never showed after " << GetParam();
  EXPECT_TRUE(wait_for_text("GO"));
  press(window, XK_space);
  EXPECT_EQ(exit_status(), 0);
}
INSTANTIATE_TEST_SUITE_P(Modes, LifecycleEndModes, ::testing::Values("manual", "width"));

TEST_F(LifecycleWindow, CloseButtonDuringEndsWaitExitsZero) {
  start_and_wait_for("lifecycle_end", {}, "WAIT");
  press(window, XK_x);
  ASSERT_TRUE(wait_for_end_prompt());
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(LifecycleWindow, CloseButtonWhileRunningExitsZero) {
  start_and_wait_for("lifecycle_loop", {}, "RUN");
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(LifecycleWindow, TrappedCloseButtonKeepsTheWindowAndOnlySetsTheBit) {
  start_and_wait_for("lifecycle_loop", {"trap"}, "RUN");
  x_send_close(display, window);
  ASSERT_TRUE(wait_for_text("CLOSED")) << "the program did not see the close request";
  ASSERT_TRUE(wait_for_end_prompt()) << "the window went away with the close message";
  press(window, XK_Return);
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(LifecycleWindow, ErrorDialogYesContinuesAfterTheFailedStatement) {
  unsigned long box = 0;
  ASSERT_NO_FATAL_FAILURE(start_error_box({}, "Unhandled Error #", &box));
  EXPECT_EQ(x_window_title(display, box), "Unhandled Error #9 - lifecycle_error");
  std::string text = x_read_box_text(display, box);
  EXPECT_NE(text.find("Line: 37 (in main module)"), std::string::npos) << text;
  EXPECT_NE(text.find("Subscript out of range"), std::string::npos) << text;
  EXPECT_NE(text.find("Continue?"), std::string::npos) << text;
  press(box, XK_Return);
  ASSERT_TRUE(wait_for_text("AFTER"));
  ASSERT_TRUE(wait_for_end_prompt());
  ASSERT_TRUE(x_read_screen(display, window, 80, 25, &screen));
  EXPECT_LT(screen.find_row("LOST"), 0) << "a statement ran on while its error was pending";
  press(window, XK_space);
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(LifecycleWindow, CloseButtonWhileTheErrorBoxIsUpExitsZero) {
  unsigned long box = 0;
  ASSERT_NO_FATAL_FAILURE(start_error_box({}, "Unhandled Error #", &box));
  // The box answers No by itself when shutdown begins; nobody touches it here.
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

// An answered error box ends the program with status 0: No to an unhandled error (reaching
// END would wait for a key; the answer ends the process by itself), OK to a critical one.
struct error_box_case {
  const char* name;
  std::vector<std::string> args;  // of lifecycle_error: the error it raises
  const char* title_start;        // how the box's title starts
  const char* title;              // the whole title (null: not checked)
  const char* shown;              // text the box shows (null: not checked)
  const char* not_shown;          // text it does not show (null: not checked)
  unsigned long answer;           // the key that answers it
};
void PrintTo(const error_box_case& c, std::ostream* out) { *out << c.name; }

class LifecycleErrorBox : public LifecycleWindow, public ::testing::WithParamInterface<error_box_case> {};

TEST_P(LifecycleErrorBox, AnswerEndsWithZero) {
  const error_box_case& c = GetParam();
  unsigned long box = 0;
  ASSERT_NO_FATAL_FAILURE(start_error_box(c.args, c.title_start, &box));
  if (c.title) {
    EXPECT_EQ(x_window_title(display, box), c.title);
  }
  std::string text = c.shown || c.not_shown ? x_read_box_text(display, box) : "";
  if (c.shown) {
    EXPECT_NE(text.find(c.shown), std::string::npos) << text;
  }
  if (c.not_shown) {
    EXPECT_EQ(text.find(c.not_shown), std::string::npos) << text;
  }
  press(box, c.answer);
  EXPECT_EQ(exit_status(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Errors, LifecycleErrorBox,
    ::testing::Values(
        error_box_case{"UnhandledNo", {}, "Unhandled Error #", nullptr, nullptr, nullptr, XK_n},
        error_box_case{"CriticalOffersOk", {"301"}, "Critical Error #", "Critical Error #301 - lifecycle_error",
                       "Invalid size", "Continue?", XK_Return},
        error_box_case{"FatalWithAWindow", {"11"}, "Critical Error", "Critical Error", "Division by zero", nullptr,
                       XK_Return}),
    [](const ::testing::TestParamInfo<error_box_case>& info) { return info.param.name; });

TEST_F(LifecycleWindow, ErrorHandlerJumpWithoutHandlerExits99) {
  // The program ends at once; its window need not be seen.
  ASSERT_NO_FATAL_FAILURE(start_process(test_program("lifecycle_error"), {"9", "handler"}));
  EXPECT_EQ(exit_status(), 99);
}

TEST_F(LifecycleWindow, TitleUsesTheNameAfterTheLastBackslash) {
  std::string folder = temp_path("backslash");
  ASSERT_EQ(mkdir(folder.c_str(), 0700), 0);
  std::string link = folder + "/dir\\sub\\calc";
  ASSERT_EQ(symlink(test_program("lifecycle_error").c_str(), link.c_str()), 0);
  ASSERT_NO_FATAL_FAILURE(start_process(link));
  unsigned long box = x_find_window(display, "Unhandled Error #", timeout_ms);
  ASSERT_NE(box, 0u);
  EXPECT_EQ(x_window_title(display, box), "Unhandled Error #9 - calc");
  press(box, XK_n);
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(LifecycleWindow, RequestsReachTheWindowThreadInOrder) {
  ASSERT_NO_FATAL_FAILURE(start_process(test_program("window_requests")));
  window = x_find_window(display, "Renamed window", timeout_ms);
  ASSERT_NE(window, 0u) << "the title request never ran";
  ASSERT_TRUE(wait_until([](const screen_text& s) { return s.find_row("W=1280") >= 0; })) << screen.text();
  press(window, XK_space);
  // The hide request runs, then END without a shown screen ends at once.
  EXPECT_TRUE(x_wait_window_gone(display, window, timeout_ms));
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(LifecycleWindow, UnreachableDisplayExitsOneWithAMessage) {
  program_io io;
  io.stderr_path = temp_path("no_display_stderr");
  io.set_env = {"DISPLAY=:1234"};
  ASSERT_NO_FATAL_FAILURE(start_process(test_program("lifecycle_end"), {}, io));
  EXPECT_EQ(exit_status(), 1);
  EXPECT_EQ(read_file(io.stderr_path), "brightness: cannot open X display :1234\n");
}

}  // namespace
