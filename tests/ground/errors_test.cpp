// Run-time errors: the message table, fatal numbers, pending errors, the dialog texts and the event traps.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/event_traps.h"
#include "runtime/ground/fpu.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/timers.h"
#include "support/error_state.h"

namespace {

TEST(ErrorMessage, TableTextsAndUnprintableGaps) {
  const struct {
    int32_t number;
    const char* text;
  } cases[] = {
      {0, "No error"},
      {1, "NEXT without FOR"},
      {4, "Out of DATA"},
      {5, "Illegal function call"},
      {9, "Subscript out of range"},
      {14, "Out of string space"},
      {37, "Argument-count mismatch"},
      {69, "Communication-buffer overflow"},
      {75, "Path/File access error"},
      {76, "Path not found"},
      {258, "Invalid handle"},
      {304, "Source and destination memory regions out of range"},
      {315, "_ASSERT failed (check console for description)"},
      {11, "Unprintable error"},
      {15, "Unprintable error"},
      {316, "Unprintable error"},
      {1000, "Unprintable error"},
      {-1, "Unprintable error"},
  };
  for (const auto& c : cases) EXPECT_STREQ(error_message(c.number), c.text) << c.number;
}

TEST(FatalErrors, MessagesAndTitles) {
  const struct {
    int32_t number;
    const char* message;
    const char* title;
  } cases[] = {
      {11, "Division by zero", "Critical Error"},
      {256, "Out of stack space", "Critical Error"},
      {257, "Out of memory", "Critical Error #1"},
      {259, "Cannot find dynamic library file", "Critical Error"},
      {261, "Sub/Function does not exist in dynamic library", "Critical Error"},
      {271, "END/SYSTEM called within SUB _GL's scope", "Critical Error"},
      {502, "Out of memory", "Critical Error #2"},
      {510, "Out of memory", "Critical Error #10"},
      {518, "Out of memory", "Critical Error #18"},
  };
  for (const auto& c : cases) {
    fatal_error_text text{nullptr, nullptr};
    ASSERT_TRUE(fatal_error_lookup(c.number, &text)) << c.number;
    EXPECT_STREQ(text.message, c.message) << c.number;
    EXPECT_STREQ(text.title, c.title) << c.number;
  }
  for (int32_t number : {0, 5, 9, 258, 300, 315, 501, 519})
    EXPECT_FALSE(fatal_error_lookup(number, nullptr)) << number;
}

TEST(RaiseError, FirstErrorOfAStatementWins) {
  clear_error_state();
  raise_error(9);
  raise_error(13);
  EXPECT_EQ(pending_error, 9u);
  EXPECT_EQ(event_pending.load(), 1);
  clear_error_state();
}

TEST(RaiseError, ZeroAndNegativeBecomeIllegalFunctionCall) {
  for (int32_t number : {0, -1, -300}) {
    clear_error_state();
    raise_error(number);
    EXPECT_EQ(pending_error, 5u) << number;
  }
  clear_error_state();
}

TEST(RaiseError, FatalNumberShowsBoxAndExitsZero) {
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        raise_error(11);
      },
      ::testing::ExitedWithCode(0), "Division by zero");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        raise_error(505);
      },
      ::testing::ExitedWithCode(0), "Critical Error #5");
}

// A real integer division fault; the sanitizer would report it before the CPU does.
__attribute__((no_sanitize("undefined"))) int divide(int a, int b) { return a / b; }

TEST(DivisionFault, IntegerDivisionByZeroEndsWithCriticalBox) {
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        set_fpu_mode();
        install_arithmetic_signal_handler();
        volatile int zero = 0;
        volatile int quotient = divide(7, zero);
        (void)quotient;
      },
      ::testing::ExitedWithCode(0), "Division by zero");
}

TEST(ErrorDialog, ProgramBaseName) {
  const struct {
    const char* path;
    const char* base;
  } cases[] = {
      {"/opt/calc/brightness", "brightness"},
      {"brightness", "brightness"},
      {"C:\\basic\\programs\\calc.exe", "calc.exe"},
      {"./a\\b/c\\prog", "prog"},
      {"dir/", ""},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(program_base_name(c.path), c.base) << c.path;
}

TEST(ErrorDialog, ComposedTexts) {
  const struct {
    uint32_t number, line;
    const char* location;
    const char* name;
    const char* message;
    const char* title;
  } cases[] = {
      {9, 37, "main module", "brightness", "Line: 37 (in main module)\nSubscript out of range\nContinue?",
       "Unhandled Error #9 - brightness"},
      {4, 34, "main module", "calc.exe", "Line: 34 (in main module)\nOut of DATA\nContinue?",
       "Unhandled Error #4 - calc.exe"},
      {1000, 1, "lib.bi", "p", "Line: 1 (in lib.bi)\nUnprintable error\nContinue?", "Unhandled Error #1000 - p"},
      {305, 12, "main module", "brightness", "Line: 12 (in main module)\nSource memory has been freed",
       "Critical Error #305 - brightness"},
      {300, 0, "main module", "", "Line: 0 (in main module)\nMemory region out of range", "Critical Error #300 - "},
  };
  for (const auto& c : cases) {
    char* message = nullptr;
    char* title = nullptr;
    ASSERT_TRUE(compose_error_dialog(c.number, c.line, c.location, c.name, &message, &title));
    EXPECT_STREQ(message, c.message);
    EXPECT_STREQ(title, c.title);
    std::free(message);
    std::free(title);
  }
}

TEST(ErrorDialog, CriticalRange) {
  EXPECT_FALSE(error_is_critical(299));
  EXPECT_TRUE(error_is_critical(300));
  EXPECT_TRUE(error_is_critical(315));
  EXPECT_FALSE(error_is_critical(316));
}


TEST(EventTraps, TriggeredKeyTrapsRunOncePerTrigger) {
  clear_error_state();
  static std::vector<int32_t> calls;
  calls.clear();
  trap_handler_switch = [](int32_t handler) { calls.push_back(handler); };
  key_traps[3] = event_trap{0x3D00, 0, 7, 1, 2, 0};
  key_traps[4] = event_trap{0x3E00, 0, 8, 0, 1, 0};  // switched off
  key_traps[5] = event_trap{0x3F00, 0, 9, 1, 1, 1};  // already running
  dispatch_event_traps();
  EXPECT_EQ(calls, (std::vector<int32_t>{7, 7}));
  EXPECT_EQ(key_traps[3].count, 0);
  EXPECT_EQ(key_traps[4].count, 1);
  EXPECT_EQ(key_traps[5].count, 1);
  key_traps[3] = key_traps[4] = key_traps[5] = event_trap{};
  trap_handler_switch = nullptr;
}

TEST(EventTraps, TriggeredTimerRunsItsHandler) {
  clear_error_state();
  static std::vector<int32_t> calls;
  calls.clear();
  trap_handler_switch = [](int32_t handler) { calls.push_back(handler); };
  timer_slot& slot = timer_table.load()[0];
  slot.in_use = 1;
  slot.armed = 12;
  slot.active = 1;
  slot.pending = 1;
  dispatch_event_traps();
  EXPECT_EQ(calls, (std::vector<int32_t>{12}));
  EXPECT_EQ(slot.pending.load(), 0);
  slot.armed = 0;
  slot.active = 0;
  trap_handler_switch = nullptr;
}

}  // namespace
