// The calculator as a screen reader meets it: read through libatspi on the session's own accessibility bus, against the window's pixels.
#include <atspi/atspi.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/console/code_page.h"
#include "support/wait_clock.h"
#include "support/window_fixture.h"

#include <X11/Xlib.h>  // after GoogleTest: its macros clash with gtest's names

namespace {

const char* const prompt = "   Eingabe der Spektralwellenlaenge: [nm] mit Dezimalpunkt:   ? ";
const char* const listened[] = {"object:text-changed:insert", "object:text-caret-moved", "window:activate",
                                "window:deactivate", "object:state-changed:focused"};

// One event as a client received it.
struct heard_event {
  std::string type;
  AtspiAccessible* source;  // a reference
  int detail1;
  std::string text;  // what a text event carries
};

void remember_event(AtspiEvent* event, void* heard) {
  heard_event e{event->type ? event->type : "", ATSPI_ACCESSIBLE(g_object_ref(event->source)), event->detail1, ""};
  if (G_VALUE_HOLDS_STRING(&event->any_data) && g_value_get_string(&event->any_data))
    e.text = g_value_get_string(&event->any_data);
  static_cast<std::vector<heard_event>*>(heard)->push_back(e);
  g_boxed_free(ATSPI_TYPE_EVENT, event);
}

std::string take_string(gchar* text) {
  std::string out = text ? text : "";
  g_free(text);
  return out;
}

AtspiRole role_of(AtspiAccessible* object) { return atspi_accessible_get_role(object, nullptr); }
std::string name_of(AtspiAccessible* object) { return take_string(atspi_accessible_get_name(object, nullptr)); }

// The rows of a text, split at its line breaks.
std::vector<std::string> rows_of(const std::string& text) {
  std::vector<std::string> rows(1);
  for (char c : text) {
    if (c == '\n')
      rows.emplace_back();
    else
      rows.back() += c;
  }
  return rows;
}

std::string trimmed(std::string row) {
  while (!row.empty() && row.back() == ' ') row.pop_back();
  return row;
}

class accessible_calculator : public window_fixture {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(window_fixture::SetUp());
    static const int started = atspi_init();  // once for the process: 0, or 1 for done before
    ASSERT_EQ(started, 0);
    atspi_set_timeout(5000, 15000);  // no call waits for ever
    listener = atspi_event_listener_new(remember_event, &heard, nullptr);
    for (const char* type : listened)
      ASSERT_TRUE(atspi_event_listener_register(listener, type, nullptr)) << type;
    ASSERT_NO_FATAL_FAILURE(start(BRIGHTNESS_EXE));
    x_focus(display, window);
    ASSERT_TRUE(wait_for_text(trimmed(prompt)));
    ASSERT_TRUE(listen_until([&] { return (application = find_application()) != nullptr; }))
        << "the calculator never appeared on the accessibility desktop";
    AtspiAccessible* frame = atspi_accessible_get_child_at_index(application, 0, nullptr);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(role_of(frame), ATSPI_ROLE_FRAME);
    EXPECT_EQ(name_of(frame), "Untitled");
    terminal = atspi_accessible_get_child_at_index(frame, 0, nullptr);
    g_object_unref(frame);
    ASSERT_NE(terminal, nullptr);
    EXPECT_EQ(role_of(terminal), ATSPI_ROLE_TERMINAL);
    text = atspi_accessible_get_text_iface(terminal);
    ASSERT_NE(text, nullptr);
  }

  void TearDown() override {
    if (listener) {
      for (const char* type : listened) atspi_event_listener_deregister(listener, type, nullptr);
      g_object_unref(listener);
    }
    for (heard_event& e : heard) g_object_unref(e.source);
    if (text) g_object_unref(text);
    if (terminal) g_object_unref(terminal);
    if (application) g_object_unref(application);
    window_fixture::TearDown();
  }

  // Takes the events that came, until `done` holds; false after timeout_ms.
  bool listen_until(const std::function<bool()>& done) {
    int64_t deadline = now_ms() + timeout_ms;
    for (;;) {
      while (g_main_context_iteration(nullptr, FALSE)) {
      }
      if (done()) return true;
      if (now_ms() > deadline) return false;
      pause_ms(10);
    }
  }

  // The calculator on the desktop (a reference), or null.
  static AtspiAccessible* find_application() {
    AtspiAccessible* desktop = atspi_get_desktop(0);
    AtspiAccessible* found = nullptr;
    gint count = atspi_accessible_get_child_count(desktop, nullptr);
    for (gint i = 0; i < count && !found; ++i) {
      AtspiAccessible* child = atspi_accessible_get_child_at_index(desktop, i, nullptr);
      if (child && name_of(child) == "brightness") found = child;
      else if (child) g_object_unref(child);
    }
    g_object_unref(desktop);
    return found;
  }

  std::string terminal_text() { return take_string(atspi_text_get_text(text, 0, -1, nullptr)); }

  // The terminal's rows read as the window's pixels show them (blanks at row ends aside).
  bool text_matches_pixels() {
    x_read_screen(display, window, 80, 25, &screen);
    std::vector<std::string> rows = rows_of(terminal_text());
    if (rows.size() != 25) return false;
    for (int r = 0; r < 25; ++r) {
      std::string shown = screen.trimmed(r);
      if (trimmed(rows[size_t(r)]) != code_page_437_to_utf8(reinterpret_cast<const uint8_t*>(shown.data()), shown.size()))
        return false;
    }
    return true;
  }

  // An event of `type` whose source has `role` came since event `from`.
  bool heard_from(size_t from, const std::string& type, AtspiRole role, int detail1 = -1) {
    for (size_t i = from; i < heard.size(); ++i)
      if (heard[i].type == type && role_of(heard[i].source) == role && (detail1 < 0 || heard[i].detail1 == detail1))
        return true;
    return false;
  }

  std::vector<heard_event> heard;
  AtspiEventListener* listener = nullptr;
  AtspiAccessible* application = nullptr;
  AtspiAccessible* terminal = nullptr;
  AtspiText* text = nullptr;
};

TEST_F(accessible_calculator, TheScreenIsReadAsTextAndTheAnswerIsHeard) {
  // The text is the screen, and the caret stands on the cursor after the prompt.
  ASSERT_TRUE(listen_until([&] { return text_matches_pixels(); })) << "terminal text:\n" << terminal_text()
                                                                   << "\npixels:\n" << screen.text();
  std::vector<std::string> rows = rows_of(terminal_text());
  gint caret = atspi_text_get_caret_offset(text, nullptr);
  gint prompt_row_start = 0;
  for (int r = 0; r < 5; ++r) prompt_row_start += gint(rows[size_t(r)].size()) + 1;
  EXPECT_EQ(caret, prompt_row_start + 64);
  AtspiRect* cell = atspi_text_get_character_extents(text, caret, ATSPI_COORD_TYPE_WINDOW, nullptr);
  ASSERT_NE(cell, nullptr);
  EXPECT_EQ(cell->x, 64 * 8);
  EXPECT_EQ(cell->y, 5 * 16);
  EXPECT_EQ(cell->width, 8);
  EXPECT_EQ(cell->height, 16);
  g_free(cell);
  AtspiTextRange* line = atspi_text_get_string_at_offset(text, caret, ATSPI_TEXT_GRANULARITY_LINE, nullptr);
  ASSERT_NE(line, nullptr);
  EXPECT_EQ(std::string(line->content), std::string(prompt) + "\n");
  g_free(line->content);
  g_free(line);

  // Focus leaves the window and comes back: the frame is activated, the terminal focused.
  XSetInputFocus(display, PointerRoot, RevertToPointerRoot, CurrentTime);
  XSync(display, False);
  size_t before_focus = heard.size();
  x_focus(display, window);
  EXPECT_TRUE(listen_until([&] {
    return heard_from(before_focus, "window:activate", ATSPI_ROLE_FRAME) &&
           heard_from(before_focus, "object:state-changed:focused", ATSPI_ROLE_TERMINAL, 1);
  })) << "no activate and focused after the window got the focus";

  // The answer: its line arrives as inserted text, and the caret ends on the bottom row.
  size_t before_answer = heard.size();
  x_type_text(display, "550\n", 30);
  ASSERT_TRUE(wait_for_end_prompt());
  int answer_row = screen.find_row("Helligkeit Vollstfarbe:");
  ASSERT_GE(answer_row, 0);
  std::string answer_line = screen.trimmed(answer_row);
  EXPECT_TRUE(listen_until([&] {
    for (size_t i = before_answer; i < heard.size(); ++i)
      if (heard[i].type == "object:text-changed:insert" && heard[i].text.find(answer_line) != std::string::npos)
        return true;
    return false;
  })) << "no inserted text held " << answer_line;
  EXPECT_TRUE(listen_until([&] {
    for (size_t i = heard.size(); i-- > before_answer;)
      if (heard[i].type == "object:text-caret-moved") {
        std::string upto = terminal_text().substr(0, size_t(heard[i].detail1));
        return rows_of(upto).size() == 25;  // on the last row
      }
    return false;
  })) << "the caret never moved to the bottom row";
  EXPECT_TRUE(text_matches_pixels());

  // The closing key ends the program, and it leaves the desktop.
  press(window, XK_space);
  EXPECT_EQ(exit_status(), 0);
  EXPECT_TRUE(listen_until([] {
    AtspiAccessible* still = find_application();
    if (still) g_object_unref(still);
    return still == nullptr;
  })) << "the calculator stayed on the accessibility desktop";
}

TEST_F(accessible_calculator, AnErrorBoxIsAnAlertWithItsMessage) {
  size_t before_box = heard.size();
  x_focus(display, window);
  x_type_text(display, "&H1234567", 30);
  ASSERT_TRUE(wait_for_text("&H1234567"));
  x_type_text(display, "89ABCDEF01\n", 30);
  AtspiAccessible* alert = nullptr;
  ASSERT_TRUE(listen_until([&] {
    for (size_t i = before_box; i < heard.size() && !alert; ++i)
      if (heard[i].type == "window:activate" && role_of(heard[i].source) == ATSPI_ROLE_ALERT) alert = heard[i].source;
    return alert != nullptr;
  })) << "no alert was activated";
  EXPECT_EQ(name_of(alert).rfind("Unhandled Error #6", 0), 0u) << name_of(alert);
  std::vector<std::string> children;
  for (gint i = 0; i < atspi_accessible_get_child_count(alert, nullptr); ++i) {
    AtspiAccessible* child = atspi_accessible_get_child_at_index(alert, i, nullptr);
    children.push_back(name_of(child));
    g_object_unref(child);
  }
  ASSERT_EQ(children.size(), 3u);
  EXPECT_EQ(children[0].rfind("Line: 21 (in main module)\nOverflow\nContinue?", 0), 0u) << children[0];
  EXPECT_EQ(children[1], "Yes");
  EXPECT_EQ(children[2], "No");
  unsigned long box = x_find_window(display, "Unhandled Error #6", timeout_ms);
  ASSERT_NE(box, 0u);
  press(box, XK_n);
  EXPECT_EQ(exit_status(), 0);
}

}  // namespace
