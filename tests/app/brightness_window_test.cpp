// End-to-end tests of the calculator: started as a user would, typed at through XTest, read back from its pixels.
#include <X11/keysym.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/segment_data.cpp"
#include "runtime/console/code_page.h"
#include "support/calculator_screens.h"
#include "support/clipboard_manager.h"
#include "support/message_box_reader.h"
#include "support/reference_curve.h"
#include "support/window_fixture.h"
#include "support/x_selection.h"

#include <X11/Xlib.h>  // after GoogleTest: its macros clash with gtest's names

namespace {

using namespace calculator_screens;

const char* const latin1_typed = "\u00e4\u00f6\u00fc\u00df\u00b0\u00b5\u00c4";  // äöüß°µÄ

// UTF-8 text as the screen shows it: code page 437 codes, characters without one left out;
// a control character stands for the key of its code, shown as that code's glyph.
std::string screen_codes(const std::string& utf8) {
  std::string out;
  for (char32_t c : utf8_code_points(utf8)) {
    int32_t code = c < 0x20 ? int32_t(c) : code_page_437_from_unicode(c);
    if (code >= 0) out.push_back(static_cast<char>(code));
  }
  return out;
}

// Pixel centre of a text cell in the plain 640 x 400 window.
int cell_x(int column) { return column * 8 + 4; }
int cell_y(int row) { return row * 16 + 8; }

// BASIC's DOUBLE print form for the values the calculator shows (|r| between 0.001 and 10^6):
// 16 significant digits, 15 when the 16th would be a 9, no leading zero, a space for r >= 0.
std::string basic_text(double r) {
  if (r == 0) return " 0";
  char mantissa[64];
  std::snprintf(mantissa, sizeof mantissa, "%.15e", std::fabs(r));
  int digits = mantissa[16] == '9' ? 15 : 16;
  char text[64];
  std::snprintf(text, sizeof text, "%.*g", digits, std::fabs(r));
  std::string s = text;
  if (s.rfind("0.", 0) == 0) s.erase(0, 1);
  return (r < 0 ? "-" : " ") + s;
}

std::string expected_result_line(double wavelength) {
  double r = std::floor(expected_brightness(wavelength) * 1000.0) / 1000.0;
  return result_label + basic_text(r);
}

std::string trimmed(const std::string& line) {
  size_t end = line.find_last_not_of(' ');
  return end == std::string::npos ? "" : line.substr(0, end + 1);
}

// One run of the calculator in the test's X server.
class calculator : public window_fixture {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(window_fixture::SetUp());
    // Keys for the characters beyond ASCII the tests type, in place before the program
    // reads the keyboard map (a map changed while typing races with the program).
    x_map_keys(display, latin1_typed);
    start_calculator(program_io{});
  }

  // Starts the calculator and waits for its prompt.
  void start_calculator(const program_io& io) {
    ASSERT_NO_FATAL_FAILURE(start(BRIGHTNESS_EXE, {}, io));
    x_focus(display, window);
    ASSERT_TRUE(wait_until([](const screen_text& s) { return trimmed(s.lines[5]) == trimmed(prompt); }))
        << "prompt screen never appeared";
  }

  // Types at the prompt the way a person does: the key ring holds 15 keys, so a burst
  // of synthetic keys is sent in small pieces, each after the previous one is echoed.
  void type_answer(const std::string& text) {
    x_focus(display, window);
    for (size_t done = 0; done < text.size(); done += 8) {
      x_type_text(display, text.substr(done, 8));
      // A long answer wraps from the prompt's row onto the next one.
      std::string echoed = std::string(prompt) + text.substr(0, done + 8);
      ASSERT_TRUE(wait_until([&](const screen_text& s) { return trimmed(s.lines[5] + s.lines[6]) == trimmed(echoed); }))
          << "the echo of " << text.substr(0, done + 8) << " never appeared";
    }
  }

  // Types an answer and Enter, then waits for END's prompt on the bottom row.
  void answer(const std::string& text) {
    type_answer(text);
    x_key(display, XK_Return);
    ASSERT_TRUE(wait_for_end_prompt()) << "END's prompt never appeared";
  }

  // Answers what VAL cannot hold (&H with 17 significant digits: error 6 at line 21) and
  // finds the error box it brings up.
  void answer_overflow(unsigned long* box) {
    type_answer("&H123456789ABCDEF01");
    x_key(display, XK_Return);
    *box = x_find_window(display, "Unhandled Error #6 - brightness", timeout_ms);
    if (*box == 0) x_read_screen(display, window, 80, 25, &screen);
    ASSERT_NE(*box, 0ul) << "no error dialog; the screen shows:\n" << screen.text();
  }

  void press_key_and_expect_exit() {
    press(window, XK_space);
    EXPECT_EQ(exit_status(), 0);
  }
};

TEST_F(calculator, PromptScreenShowsBannerAndPrompt) {
  const std::vector<std::string> expected = first_rows();
  for (size_t row = 0; row < expected.size(); ++row) EXPECT_EQ(trimmed(screen.lines[row]), expected[row]) << row;
  for (int row = 6; row < 25; ++row) EXPECT_EQ(trimmed(screen.lines[row]), "") << row;
  // Light grey on black, as a fresh PC text screen.
  EXPECT_EQ(screen.fg[1][1], 7);
  EXPECT_EQ(screen.bg[1][1], 0);
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

// The same screen on every kind of display. A high-density desktop asks for a whole scale
// through GDK_SCALE, else through Xft.dpi on the root window; the window is then that
// multiple of 640 x 400 and every frame pixel a uniform block of window pixels.
struct display_case {
  const char* name;
  const char* gdk_scale;  // null: not set
  const char* resources;  // the root window's resources, "" none
  int width, height;      // the window
};
void PrintTo(const display_case& c, std::ostream* out) { *out << c.name; }

class calculator_displays : public calculator, public ::testing::WithParamInterface<display_case> {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(window_fixture::SetUp());
    x_set_root_resources(display, GetParam().resources);
    program_io io;
    if (GetParam().gdk_scale)
      io.set_env.push_back(std::string("GDK_SCALE=") + GetParam().gdk_scale);
    else
      io.unset_env.push_back("GDK_SCALE");
    start_calculator(io);
  }
  void TearDown() override {
    if (display) x_set_root_resources(display, "");
    calculator::TearDown();
  }
};

TEST_P(calculator_displays, AnswerAtFiveHundredFiftyShowsItsBrightness) {
  answer("550");
  EXPECT_EQ(trimmed(screen.lines[5]), std::string(prompt) + "550");
  EXPECT_EQ(trimmed(screen.lines[6]), "");
  EXPECT_EQ(screen.lines[7], std::string("   Helligkeit Vollstfarbe:  84.12") + std::string(80 - 33, ' '));
  EXPECT_EQ(expected_result_line(550), "   Helligkeit Vollstfarbe:  84.12");
  EXPECT_EQ(trimmed(screen.lines[8]), "");
  EXPECT_EQ(trimmed(screen.lines[9]), farewell);
  EXPECT_EQ(trimmed(screen.lines[24]), end_prompt);
  EXPECT_TRUE(screen.uniform_blocks);
  // Still that size after the frames drawn meanwhile (the size policy keeps it).
  int width = 0, height = 0;
  ASSERT_TRUE(x_window_size(display, window, &width, &height));
  EXPECT_EQ(width, GetParam().width);
  EXPECT_EQ(height, GetParam().height);
  press_key_and_expect_exit();
}

INSTANTIATE_TEST_SUITE_P(Scales, calculator_displays,
                         ::testing::Values(display_case{"Plain", nullptr, "", 640, 400},
                                           display_case{"GdkScale2", "2", "", 1280, 800},
                                           display_case{"XftDpi192", nullptr, "Xft.dpi:\t192\n", 1280, 800}),
                         [](const ::testing::TestParamInfo<display_case>& info) { return info.param.name; });

// A session from the start to the closing key under what a user meets: each answers, keeps
// the answer on the screen to be copied, and ends at a real key. A line pasted with more
// after it: the rest was pasted before END began and goes as keys typed before END go,
// however the window thread's feeding and the program's reading interleave (so the case
// runs many times). A clipboard manager takes the copied answer over at exit; one that
// never answers does not hold the exit. A German layout's keypad decimal key types a
// point; the main keyboard's comma stays a comma, which the answer refuses. A maximized
// window shows the screen centred at a whole scale, and Alt+Enter still goes to full
// screen. A working directory deleted under the starting shell is no error.
enum class condition { paste, answering_manager, silent_manager, german_keypad, maximized, deleted_directory };
struct session_case {
  const char* name;
  condition when;
  double wavelength;
  const char* clipboard_after_exit;
};
void PrintTo(const session_case& c, std::ostream* out) { *out << c.name; }

class calculator_sessions : public calculator, public ::testing::WithParamInterface<session_case> {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(window_fixture::SetUp());
    condition when = GetParam().when;
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    std::string gone = temp_path("gone");
    if (when == condition::deleted_directory) {
      ASSERT_TRUE(mkdir(gone.c_str(), 0700) == 0 && chdir(gone.c_str()) == 0 && rmdir(gone.c_str()) == 0);
    }
    if (when == condition::german_keypad) {
      ASSERT_TRUE(x_set_keyboard_layout(display, "de"));
      x_set_num_lock(display, true);
    }
    if (when == condition::maximized) {
      ASSERT_GT(window_manager = x_start_window_manager(display), 0);
    }
    if (when == condition::answering_manager || when == condition::silent_manager) {
      manager.reset(new clipboard_manager(when == condition::answering_manager));
      ASSERT_TRUE(manager->ready);
    }
    start_calculator(program_io{});  // in the deleted directory, when there is one
    ASSERT_EQ(chdir(here), 0);
  }
  void TearDown() override {
    if (display && GetParam().when == condition::german_keypad) {
      x_set_num_lock(display, false);
      x_set_keyboard_layout(display, "us");
    }
    if (display && window_manager > 0) x_end_window_manager(display, window_manager);
    calculator::TearDown();
  }
  pid_t window_manager = -1;
  std::unique_ptr<clipboard_manager> manager;
};

TEST_P(calculator_sessions, AnswerStaysUntilARealKey) {
  const session_case& c = GetParam();
  int width = 640, height = 400;
  if (c.when == condition::maximized) {
    x_set_maximized(display, window, true);
    ASSERT_TRUE(wait_for_size([&](int w, int h) { return (width = w) >= 1280 && (height = h) > 800; }));
  }
  x_focus(display, window);
  if (c.when == condition::paste) {
    ASSERT_TRUE(x_set_selection("clipboard", "550\nx"));
    x_click(display, window, cell_x(40), cell_y(12), 3);
  } else if (c.when == condition::german_keypad) {
    x_type_text(display, "550");
    x_key(display, XK_KP_Delete);  // the keypad's decimal key: KP_Delete without Num Lock
    x_type_text(display, "5,\n");
  } else {
    x_type_text(display, "550\n");
  }
  ASSERT_TRUE(wait_for_end_prompt()) << screen.text();
  EXPECT_EQ(trimmed(screen.lines[5]), std::string(prompt) + (c.wavelength == 550 ? "550" : "550.5"));
  EXPECT_EQ(trimmed(screen.lines[7]), expected_result_line(c.wavelength));
  EXPECT_TRUE(screen.uniform_blocks);
  // A double click on the answer, where the screen is drawn.
  int scale = std::min(width / 640, height / 400);
  x_click(display, window, (width - 640 * scale) / 2 + cell_x(30) * scale,
          (height - 400 * scale) / 2 + cell_y(7) * scale, 1, 2);
  EXPECT_TRUE(x_wait_selection_text("clipboard", trimmed(screen.lines[7]).substr(28)));
  if (c.when == condition::maximized) {
    x_key(display, XK_Return, {XK_Alt_L});
    EXPECT_TRUE(wait_for_size([](int w, int h) { return w == 1280 && h == 1024; }));
  }
  press_key_and_expect_exit();
  EXPECT_EQ(x_selection_text("clipboard"), c.clipboard_after_exit);
}

std::vector<session_case> session_cases() {
  std::vector<session_case> cases(32, {"PastedLineAndMore", condition::paste, 550, ""});
  cases.insert(cases.end(), {{"ClipboardManager", condition::answering_manager, 550, "84.12"},
                             {"SilentClipboardManager", condition::silent_manager, 550, ""},
                             {"GermanKeypad", condition::german_keypad, 550.5, ""},
                             {"Maximized", condition::maximized, 550, ""},
                             {"DeletedWorkingDirectory", condition::deleted_directory, 550, ""}});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Conditions, calculator_sessions, ::testing::ValuesIn(session_cases()),
                         [](const ::testing::TestParamInfo<session_case>& info) {
                           return info.param.name + std::string("_") + std::to_string(info.index);
                         });

// Boundaries, segment interiors, just outside the range, and text VAL cannot read.
struct answer_case {
  const char* typed;
  double wavelength;
  bool ask_curve_tool = false;  // brightness-curve must print the same answer for the same text
};

class calculator_answers : public calculator, public ::testing::WithParamInterface<answer_case> {};

TEST_P(calculator_answers, ResultLineMatchesTheTable) {
  const answer_case& c = GetParam();
  answer(c.typed);
  EXPECT_EQ(trimmed(screen.lines[7]), expected_result_line(c.wavelength)) << "typed " << c.typed;
  if (c.ask_curve_tool) {
    char cut[32];  // the calculator's answer with the tool's three decimals
    std::snprintf(cut, sizeof cut, "%.3f", std::strtod(screen.lines[7].c_str() + std::strlen(result_label), nullptr));
    EXPECT_EQ(run_program(BRIGHTNESS_CURVE_EXE, {c.typed}).out, std::string(c.typed) + "\t" + cut + "\n");
  }
  EXPECT_EQ(trimmed(screen.lines[9]), farewell);
  press_key_and_expect_exit();
}

INSTANTIATE_TEST_SUITE_P(
    Wavelengths, calculator_answers,
    ::testing::Values(answer_case{"380", 380}, answer_case{"385", 385}, answer_case{"780", 780},
                      answer_case{"450.5", 450.5, true}, answer_case{"489.3", 489.3, true},
                      answer_case{"600", 600}, answer_case{"700.25", 700.25, true}, answer_case{"379.999", 379.999},
                      answer_case{"780.001", 780.001}, answer_case{"abc", 0}, answer_case{"", 0}));

TEST(calculator_expectations, BoundaryUsesTheLowerSegmentAndOutsideIsZero) {
  EXPECT_EQ(parse_table().size(), 87u);
  EXPECT_EQ(expected_segment(380), 0);
  EXPECT_EQ(expected_segment(385), 0);  // shared with row 2: the first row wins
  EXPECT_EQ(expected_segment(385.001), 1);
  EXPECT_EQ(expected_segment(780), 86);
  EXPECT_EQ(expected_segment(379.999), -1);
  EXPECT_EQ(expected_segment(780.001), -1);
  EXPECT_EQ(basic_text(84.12), " 84.12");
  EXPECT_EQ(basic_text(-0.001), "-.001");
  EXPECT_EQ(basic_text(0.6), " .6");
}

TEST_F(calculator, OverflowErrorYesGoesOnWithZero) {
  unsigned long box = 0;
  ASSERT_NO_FATAL_FAILURE(answer_overflow(&box));
  EXPECT_EQ(x_read_box_text(display, box).rfind("Line: 21 (in main module)\nOverflow\nContinue?", 0), 0u);
  press(box, XK_Return);  // Yes is the default button
  x_focus(display, window);
  ASSERT_TRUE(wait_for_end_prompt());
  // The answer took two rows, so everything after it stands one row lower.
  EXPECT_EQ(trimmed(screen.lines[8]), std::string(result_label) + " 0");
  EXPECT_EQ(trimmed(screen.lines[10]), farewell);
  press_key_and_expect_exit();
}

TEST_F(calculator, OverflowErrorNoEndsTheProgram) {
  unsigned long box = 0;
  ASSERT_NO_FATAL_FAILURE(answer_overflow(&box));
  press(box, XK_n);
  EXPECT_EQ(exit_status(), 0);
}

// Copying: what the mouse selects is offered as PRIMARY and CLIPBOARD; the highlight is
// drawn over the frame and never enters the text page.
TEST_F(calculator, MouseSelectionIsOfferedAndLeavesTheScreenAlone) {
  answer("550");
  const screen_text before = screen;
  auto highlighted = [](const screen_text& s, int row, int first, int last) {
    for (int r = 0; r < 25; ++r)
      for (int c = 0; c < 80; ++c)
        if ((s.bg[r][c] == 15) != (r == row && c >= first && c <= last)) return false;
    return true;
  };

  // A double click takes the word "84.12" (columns 28 to 32 of the result row).
  x_click(display, window, cell_x(30), cell_y(7), 1, 2);
  ASSERT_TRUE(wait_until([&](const screen_text& s) { return highlighted(s, 7, 28, 32); })) << screen.text();
  EXPECT_EQ(screen.text(), before.text());
  EXPECT_EQ(x_selection_text("primary"), "84.12");
  EXPECT_EQ(x_selection_text("clipboard"), "84.12");

  // A drag over the banner row takes the row without its trailing blanks.
  x_drag(display, window, cell_x(0), cell_y(1), cell_x(79), cell_y(1));
  ASSERT_TRUE(wait_until([&](const screen_text& s) { return highlighted(s, 1, 0, 79); })) << screen.text();
  const std::string banner = " ******* Interpolation Vollstfarbenhelligkeit nach Korlu *******";
  EXPECT_EQ(x_selection_text("primary"), banner);
  EXPECT_EQ(x_selection_text("clipboard"), banner);

  // A click without a drag takes the highlight away; the offered text stays.
  x_click(display, window, cell_x(40), cell_y(15));
  ASSERT_TRUE(wait_until([&](const screen_text& s) { return highlighted(s, -1, 0, -1); })) << screen.text();
  EXPECT_EQ(screen.text(), before.text());
  EXPECT_EQ(x_selection_text("primary"), banner);
  press_key_and_expect_exit();
}

// A triple click takes the row; a change to a highlighted cell takes the highlight away.
TEST_F(calculator, TripleClickTakesTheRowUntilItChanges) {
  x_click(display, window, cell_x(10), cell_y(5), 1, 3);
  ASSERT_TRUE(wait_until([](const screen_text& s) {
    return s.bg[5][0] == 15 && s.bg[5][79] == 15 && s.bg[4][79] == 0;
  })) << screen.text();
  EXPECT_EQ(x_selection_text("primary"), trimmed(prompt));
  x_focus(display, window);
  x_type_text(display, "5");
  EXPECT_TRUE(wait_until([](const screen_text& s) {
    return trimmed(s.lines[5]) == std::string(prompt) + "5" && s.bg[5][0] == 0 && s.bg[5][79] == 0;
  })) << screen.text();
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

// Pasting: the right button pastes CLIPBOARD into INPUT, line end included.
TEST_F(calculator, RightClickPastesTheClipboardAsAnAnswer) {
  ASSERT_TRUE(x_set_selection("clipboard", "550\n"));
  x_click(display, window, cell_x(40), cell_y(12), 3);
  ASSERT_TRUE(wait_for_end_prompt()) << screen.text();
  EXPECT_EQ(trimmed(screen.lines[7]), "   Helligkeit Vollstfarbe:  84.12");
  press_key_and_expect_exit();
}

// Pasted and typed text take the same way into INPUT: the same characters get through,
// and characters beyond ASCII show as their code page 437 glyphs. The paste keys paste as
// the buttons do; Ctrl+V is no paste key but the program's key (code 22, shown as its glyph
// before the text then typed, which shows once).
enum class entry_way { typed, middle_button, shift_insert, ctrl_shift_v, ctrl_v_then_typed };
struct entry_case {
  const char* name;
  entry_way way;
  const char* text;  // UTF-8
  const char* shown;  // UTF-8, what the answer row then shows after the prompt
};
void PrintTo(const entry_case& c, std::ostream* out) { *out << c.name; }

class calculator_entry : public calculator, public ::testing::WithParamInterface<entry_case> {};

TEST_P(calculator_entry, AnswerRowShowsWhatInputLetThrough) {
  const entry_case& c = GetParam();
  bool from_primary = c.way == entry_way::middle_button || c.way == entry_way::shift_insert;
  if (c.way != entry_way::typed) {
    ASSERT_TRUE(x_set_selection(from_primary ? "primary" : "clipboard", c.text));
  }
  x_focus(display, window);
  switch (c.way) {
    case entry_way::middle_button: x_click(display, window, cell_x(40), cell_y(12), 2); break;
    case entry_way::shift_insert: x_key(display, XK_Insert, {XK_Shift_L}); break;
    case entry_way::ctrl_shift_v: x_key(display, XK_v, {XK_Control_L, XK_Shift_L}); break;
    case entry_way::ctrl_v_then_typed: x_key(display, XK_v, {XK_Control_L}); [[fallthrough]];
    case entry_way::typed: x_type_text(display, c.text); break;
  }
  const std::string expected = trimmed(std::string(prompt) + screen_codes(c.shown));
  EXPECT_TRUE(wait_until([&](const screen_text& s) { return trimmed(s.lines[5]) == expected; }))
      << "the answer row shows: " << trimmed(screen.lines[5]);
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    TypedAndPasted, calculator_entry,
    ::testing::Values(entry_case{"TypedLatin1", entry_way::typed, latin1_typed, latin1_typed},
                      entry_case{"TypedRefused", entry_way::typed, "5a5,0", "5a50"},
                      entry_case{"PastedRefused", entry_way::middle_button, "5a5,0", "5a50"},
                      entry_case{"PastedBeyondCodePage", entry_way::middle_button, "550 \u00b5m \u2713", "550 \u00b5m"},
                      entry_case{"ShiftInsertPastesPrimary", entry_way::shift_insert, "5a5,0", "5a50"},
                      entry_case{"CtrlShiftVPastesClipboard", entry_way::ctrl_shift_v, "5a5,0", "5a50"},
                      entry_case{"CtrlVReachesTheProgram", entry_way::ctrl_v_then_typed, "550", "\x16" "550"}),
    [](const ::testing::TestParamInfo<entry_case>& info) { return info.param.name; });

TEST_F(calculator, CloseButtonWhileInputWaitsEndsWithZero) {
  type_answer("55");
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

TEST_F(calculator, CloseButtonWhileEndWaitsEndsWithZero) {
  answer("500");
  x_send_close(display, window);
  EXPECT_EQ(exit_status(), 0);
}

}  // namespace
