// PRINT under a real X server: coloured and blinking text read back from the window's pixels.
#include <gtest/gtest.h>

#include <string>

#include "support/window_fixture.h"

#include <X11/Xlib.h>  // after GoogleTest: its macros clash with gtest's names

namespace {

struct colored_text {
  int row;
  int col;
  const char* text;
  int fg, bg;
};

class print_window : public window_fixture {};

TEST_F(print_window, text_shows_in_its_colours_and_blinks) {
  ASSERT_NO_FATAL_FAILURE(start(test_program("print_colors")));
  ASSERT_TRUE(wait_until([](const screen_text& s) {
    return s.trimmed(24) == "Press any key to continue" && s.lines[3].rfind("Blinking red on grey", 0) == 0;
  })) << screen.text();

  const colored_text expected[] = {
      {0, 0, "Yellow on blue", 14, 1},
      {1, 0, "Light green on black", 10, 0},
      {2, 0, "White on red: 0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~", 15, 4},
      {3, 0, "Blinking red on grey", 4, 7},
      {11, 29, "placed at row 12, column 30", 7, 0},
  };
  for (const colored_text& e : expected) {
    const std::string text = e.text;
    EXPECT_EQ(screen.lines[e.row].substr(e.col, text.size()), text) << "row " << e.row;
    for (size_t i = 0; i < text.size(); ++i) {
      EXPECT_EQ(screen.bg[e.row][e.col + i], e.bg) << "row " << e.row << " col " << e.col + i;
      if (text[i] != ' ') {
        EXPECT_EQ(screen.fg[e.row][e.col + i], e.fg) << "row " << e.row << " col " << e.col + i;
      }
    }
  }
  // The rest of a coloured line keeps the colours of the screen it was printed on.
  EXPECT_EQ(screen.bg[0][40], 0);

  // Blinking characters vanish into their background in the other blink phase.
  ASSERT_TRUE(wait_until([](const screen_text& s) { return s.lines[3].rfind("        ", 0) == 0 && s.bg[3][0] == 7; }))
      << "the blinking line never vanished:\n" << screen.text();
  ASSERT_TRUE(wait_until([](const screen_text& s) { return s.lines[3].rfind("Blinking", 0) == 0; }))
      << "the blinking line never came back";

  press(window, XK_space);
  EXPECT_EQ(exit_status(), 0);
}

}  // namespace
