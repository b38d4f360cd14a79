// INPUT under a real X server: keys typed through XTest reach the editor, its echo and the stored line show on screen.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "support/window_fixture.h"

#include <X11/Xlib.h>

namespace {

class input_window : public window_fixture {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(window_fixture::SetUp());
    ASSERT_NO_FATAL_FAILURE(start(test_program("input_echo")));
    ASSERT_TRUE(wait_until([](const screen_text& s) { return s.trimmed(0) == "Name?"; }))
        << "no prompt:\n" << screen.text();
    x_focus(display, window);
  }

  // The end prompt, then one key: the program must end with status 0.
  void expect_orderly_end() {
    ASSERT_TRUE(wait_for_end_prompt()) << screen.text();
    press(window, XK_space);
    EXPECT_EQ(exit_status(), 0);
  }
};

TEST_F(input_window, typed_line_with_backspace_and_tab_is_echoed_and_stored) {
  x_type_text(display, "Hellx\bo\tWorld");
  ASSERT_TRUE(wait_until([](const screen_text& s) { return s.trimmed(0) == "Name? Hello   World"; }))
      << screen.text();
  x_type_text(display, "\n");
  ASSERT_TRUE(wait_until([](const screen_text& s) { return s.trimmed(1) == "Hello   World"; })) << screen.text();
  EXPECT_EQ(screen.trimmed(0), "Name? Hello   World");
  expect_orderly_end();
}

TEST_F(input_window, navigation_keys_do_nothing_and_shifted_keys_type) {
  x_type_text(display, "A1");
  for (unsigned long key : {XK_Left, XK_Up, XK_Home, XK_End, XK_Delete, XK_Insert, XK_F1}) x_key(display, key);
  x_type_text(display, "!\"x");
  x_key(display, XK_c, {XK_Control_L});  // Ctrl+C is character 3, which the echo shows as its glyph
  x_type_text(display, "\b\n");
  ASSERT_TRUE(wait_until([](const screen_text& s) { return s.trimmed(1) == "A1!\"x"; })) << screen.text();
  EXPECT_EQ(screen.trimmed(0), "Name? A1!\"x");
  expect_orderly_end();
}

// A burst far longer than the key ring, typed with no pause: every key is echoed and stored.
TEST_F(input_window, burst_of_200_keys_is_echoed_and_stored_whole) {
  std::string typed;
  for (int i = 0; i < 200; ++i) typed += "abcdefghijklmnopqrstuvwxyz0123456789"[i % 36];
  x_type_text(display, typed);
  std::string echo = "Name? " + typed;  // 206 characters over three rows
  ASSERT_TRUE(wait_until([&](const screen_text& s) {
    return s.lines[0] == echo.substr(0, 80) && s.lines[1] == echo.substr(80, 80) && s.trimmed(2) == echo.substr(160);
  })) << screen.text();
  x_type_text(display, "\n");
  ASSERT_TRUE(wait_until([&](const screen_text& s) {
    return s.lines[3] == typed.substr(0, 80) && s.lines[4] == typed.substr(80, 80) && s.trimmed(5) == typed.substr(160);
  })) << screen.text();
  expect_orderly_end();
}

// While INPUT waits, the cursor where the next key goes keeps blinking: it shows and hides
// again and again (about every quarter second), at the prompt and after keys moved it.
struct blink_case {
  const char* typed;
  const char* echo;  // row 0 once the keys are in
  int column;        // of the cursor
};
class input_cursor_blink : public input_window, public ::testing::WithParamInterface<blink_case> {};

TEST_P(input_cursor_blink, cursor_keeps_blinking_while_input_waits) {
  const blink_case& c = GetParam();
  x_type_text(display, c.typed);
  ASSERT_TRUE(wait_until([&](const screen_text& s) { return s.trimmed(0) == c.echo; })) << screen.text();
  int changes = 0;
  bool shown = false, seen = false;
  EXPECT_TRUE(wait_until([&](const screen_text& s) {
    bool now = s.cursor[0][c.column];
    if (seen && now != shown) ++changes;
    shown = now;
    seen = true;
    return changes >= 4;
  })) << changes << " changes";
  x_type_text(display, "\n");
  expect_orderly_end();
}

INSTANTIATE_TEST_SUITE_P(places, input_cursor_blink,
                         ::testing::Values(blink_case{"", "Name?", 6}, blink_case{"ab", "Name? ab", 8},
                                           blink_case{"a\tbc\b", "Name? a       b", 15}));

}  // namespace
