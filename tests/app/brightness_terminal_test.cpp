// The calculator in a terminal: run on a pseudo-terminal and read back through libvterm, showing what the window shows.
#include <gtest/gtest.h>
#include <signal.h>

#include <string>
#include <vector>

#include "support/calculator_screens.h"
#include "support/child_process.h"
#include "support/terminal_session.h"

namespace {

using namespace calculator_screens;

const char* const shell_line = "user@host:~$ brightness";  // the main screen before the program

bool shows_end_prompt(const screen_text& s) { return s.trimmed(24) == end_prompt; }

class calculator_terminal : public ::testing::Test {
 protected:
  void SetUp() override {
    session.shell_writes(std::string(shell_line) + "\r\n");
    modes_before = session.modes();
    ASSERT_TRUE(session.start(BRIGHTNESS_EXE));
    // INPUT waits once its cursor shows after the prompt.
    ASSERT_TRUE(session.wait_until([](const screen_text& s) { return s.trimmed(5) == first_rows()[5] && s.cursor[5][64]; }))
        << "no prompt:\n" << session.screen.text();
  }

  // Types `keys` (the answer and its Enter) and waits for END's prompt.
  void answer(const std::string& keys) {
    session.type(keys);
    ASSERT_TRUE(session.wait_until(shows_end_prompt)) << session.screen.text();
  }

  // The program ended as `status` says, and the terminal is as it was before: its modes,
  // the main screen with the shell's line, and the cursor under it, shown.
  void expect_ended_and_restored(int status, int signal_number = 0) {
    EXPECT_EQ(session.exit_status(), status);
    EXPECT_EQ(session.exit_signal, signal_number);
    EXPECT_FALSE(session.alternate_screen());
    EXPECT_TRUE(same_modes(session.modes(), modes_before));
    EXPECT_EQ(session.screen.trimmed(0), shell_line);
    EXPECT_EQ(session.cursor_row(), 1);
    EXPECT_EQ(session.cursor_column(), 0);
    EXPECT_TRUE(session.cursor_shown());
  }

  terminal_session session;
  termios modes_before{};
};

// The first screen, then Ctrl+C: the break ends the program as the window's Ctrl+Break does.
TEST_F(calculator_terminal, FirstScreenShowsBannerAndPromptAndCtrlCEnds) {
  const screen_text& s = session.screen;
  for (int row = 0; row < 6; ++row) EXPECT_EQ(s.trimmed(row), first_rows()[size_t(row)]) << row;
  for (int row = 6; row < 25; ++row) EXPECT_EQ(s.trimmed(row), "") << row;
  EXPECT_EQ(s.fg[1][1], 7);  // light grey on black, as in the window
  EXPECT_EQ(s.bg[1][1], 0);
  session.type("\x03");
  expect_ended_and_restored(0);
}

// Keys as a terminal sends them: cursor, editing and function keys are read and do nothing
// in the answer, as in the window; DEL is Backspace; a bracketed paste types its text.
struct answer_case {
  const char* name;
  const char* keys;
};
void PrintTo(const answer_case& c, std::ostream* out) { *out << c.name; }

class calculator_terminal_answers : public calculator_terminal, public ::testing::WithParamInterface<answer_case> {};

TEST_P(calculator_terminal_answers, AnswerAtFiveHundredFiftyShowsItsBrightness) {
  answer(GetParam().keys);
  const screen_text& s = session.screen;
  EXPECT_EQ(s.trimmed(5), std::string(prompt) + "550");
  EXPECT_EQ(s.lines[7], std::string(result_label) + " 84.12" + std::string(80 - 33, ' '));
  EXPECT_EQ(s.trimmed(9), farewell);
  EXPECT_EQ(s.trimmed(24), end_prompt);
  session.type(" ");
  expect_ended_and_restored(0);
}

INSTANTIATE_TEST_SUITE_P(
    Keys, calculator_terminal_answers,
    ::testing::Values(answer_case{"Typed", "550\r"},
                      answer_case{"EditingKeys", "55\x1b[D\x1b[A\x1b[H\x1b[F\x1b[3~\x1b[2~\x1bOP\x1b[15~\x1b[1;5C7\x7f" "0\r"},
                      answer_case{"Utf8TakenBack", "\xc3\xa4\xc2\xb5\x7f\x7f" "550\r"},
                      answer_case{"BracketedPaste", "\x1b[200~550\r\n\x1b[201~"}),
    [](const ::testing::TestParamInfo<answer_case>& info) { return info.param.name; });

// An answer VAL cannot hold opens the error box over the page, with the window's texts
// and buttons: Yes (Enter) goes on with 0 and the page shows again, No ends the program.
struct box_case {
  const char* name;
  const char* key;
  bool goes_on;
};
void PrintTo(const box_case& c, std::ostream* out) { *out << c.name; }

class calculator_terminal_box : public calculator_terminal, public ::testing::WithParamInterface<box_case> {};

TEST_P(calculator_terminal_box, OverflowOpensTheBoxOverThePage) {
  session.type("&H123456789ABCDEF01\r");
  ASSERT_TRUE(session.wait_until([](const screen_text& s) { return s.find_row("Unhandled Error #6 - brightness") >= 0; }))
      << session.screen.text();
  const screen_text& s = session.screen;
  size_t title = size_t(s.find_row("Unhandled Error #6 - brightness"));
  EXPECT_NE(s.lines[title + 2].find("  Line: 21 (in main module)"), std::string::npos) << s.text();
  EXPECT_NE(s.lines[title + 3].find("  Overflow"), std::string::npos) << s.text();
  EXPECT_NE(s.lines[title + 4].find("  Continue?"), std::string::npos) << s.text();
  size_t yes = s.lines[title + 6].find(" Yes ");
  ASSERT_NE(yes, std::string::npos) << s.text();
  EXPECT_NE(s.lines[title + 6].find(" No ", yes), std::string::npos);
  EXPECT_EQ(s.bg[title + 6][yes], 1);  // Yes has the focus: white on blue
  EXPECT_FALSE(session.cursor_shown());
  session.type(GetParam().key);
  if (GetParam().goes_on) {
    ASSERT_TRUE(session.wait_until(shows_end_prompt)) << session.screen.text();
    EXPECT_EQ(s.find_row("Unhandled"), -1) << s.text();
    EXPECT_EQ(s.trimmed(8), std::string(result_label) + " 0");  // the answer took two rows
    EXPECT_EQ(s.trimmed(10), farewell);
    session.type(" ");
  }
  expect_ended_and_restored(0);
}

INSTANTIATE_TEST_SUITE_P(Answers, calculator_terminal_box,
                         ::testing::Values(box_case{"Yes", "\r", true}, box_case{"No", "n", false}),
                         [](const ::testing::TestParamInfo<box_case>& info) { return info.param.name; });

// Ended from outside (SIGTERM, or the SIGHUP of a dropped connection), the program gives
// the terminal back first and ends by the signal.
class calculator_terminal_signals : public calculator_terminal, public ::testing::WithParamInterface<int> {};

TEST_P(calculator_terminal_signals, SignalRestoresTheTerminal) {
  kill(session.pid, GetParam());
  expect_ended_and_restored(-2, GetParam());
}

INSTANTIATE_TEST_SUITE_P(EndingSignals, calculator_terminal_signals, ::testing::Values(SIGTERM, SIGHUP));

// A fatal error shows its box, with OK alone, and ends the process from the thread that
// raised it: the terminal is given back on that way out too.
TEST(terminal_fatal_error, BoxThenTheTerminalBack) {
  terminal_session session;
  termios before = session.modes();
  ASSERT_TRUE(session.start(std::string(TEST_PROGRAM_DIR) + "/lifecycle_error", {"11"}));
  ASSERT_TRUE(session.wait_until([](const screen_text& s) {
    return s.find_row("Critical Error") >= 0 && s.find_row("Division by zero") >= 0 && s.find_row(" OK ") >= 0;
  })) << session.screen.text();
  session.type("\r");
  EXPECT_EQ(session.exit_status(), 0);
  EXPECT_FALSE(session.alternate_screen());
  EXPECT_TRUE(same_modes(session.modes(), before));
}

// A program that never waits for a key still gets its keys: the break key ends it.
TEST(terminal_busy_program, CtrlCEndsAProgramThatNeverWaitsForAKey) {
  terminal_session session;
  termios before = session.modes();
  ASSERT_TRUE(session.start(std::string(TEST_PROGRAM_DIR) + "/lifecycle_loop"));
  ASSERT_TRUE(session.wait_until([](const screen_text& s) { return s.trimmed(0) == "RUN"; })) << session.screen.text();
  session.type("\x03");
  EXPECT_EQ(session.exit_status(), 0);
  EXPECT_FALSE(session.alternate_screen());
  EXPECT_TRUE(same_modes(session.modes(), before));
}

// A terminal smaller than the screen gets a one-line notice; back to size, the page shows again.
TEST_F(calculator_terminal, SmallTerminalShowsANoticeUntilResized) {
  session.resize(60, 20);
  ASSERT_TRUE(session.wait_until([](const screen_text& s) {
    return s.trimmed(0).rfind("Please make this terminal at least 80 x 25 (now 60 x 20)", 0) == 0;
  })) << session.screen.text();
  session.resize(80, 25);
  ASSERT_TRUE(session.wait_until([](const screen_text& s) { return s.trimmed(5) == first_rows()[5]; }))
      << session.screen.text();
  EXPECT_EQ(session.screen.trimmed(1), first_rows()[1]);
  session.type("\x03");
  expect_ended_and_restored(0);
}

// Which front-end: without a display on a terminal the terminal; a display that cannot be
// opened keeps today's message unless --tty asks for the terminal; with neither a display
// nor a terminal, today's message and status 1.
struct choice_case {
  const char* name;
  std::vector<std::string> args;
  std::vector<std::string> env;
  const char* shown;  // row 0 on the terminal; null: the calculator's prompt on row 5
};
void PrintTo(const choice_case& c, std::ostream* out) { *out << c.name; }

class front_end_choice : public ::testing::TestWithParam<choice_case> {};

TEST_P(front_end_choice, OnATerminal) {
  terminal_session session;
  ASSERT_TRUE(session.start(BRIGHTNESS_EXE, GetParam().args, GetParam().env));
  const char* shown = GetParam().shown;
  ASSERT_TRUE(session.wait_until([&](const screen_text& s) {
    return shown ? s.trimmed(0) == shown : s.trimmed(5) == first_rows()[5];
  })) << session.screen.text();
  if (!shown) {
    session.type("\x03");
    EXPECT_EQ(session.exit_status(), 0);
  } else {
    EXPECT_EQ(session.exit_status(), 1);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Displays, front_end_choice,
    ::testing::Values(choice_case{"NoDisplay", {}, {}, nullptr},
                      choice_case{"EmptyDisplay", {}, {"DISPLAY="}, nullptr},
                      choice_case{"UnreachableDisplay", {}, {"DISPLAY=:4242"}, "brightness: cannot open X display :4242"},
                      choice_case{"UnreachableDisplayWithTty", {"--tty"}, {"DISPLAY=:4242"}, nullptr}),
    [](const ::testing::TestParamInfo<choice_case>& info) { return info.param.name; });

TEST(front_end_choice_without_terminal, NoDisplayAndNoTerminalKeepsTodaysMessage) {
  program_io io;
  io.unset_env = {"DISPLAY"};
  io.stderr_path = temp_path("no_display_stderr");
  io.stdout_path = temp_path("no_display_stdout");
  EXPECT_EQ(wait_exit_status(start_program(BRIGHTNESS_EXE, {}, io), 30000), 1);
  EXPECT_EQ(read_file(io.stderr_path), "brightness: cannot open X display\n");
}

}  // namespace
