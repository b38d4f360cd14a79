// Error handling of the running program: the line event check, ON ERROR's jump, the critical dialog, ERR functions and _ASSERT.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <thread>

#include "runtime/ground/errors.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/top/error_handling.h"
#include "support/error_state.h"
#include "support/runtime_strings.h"

namespace {

TEST(LineEventCheck, SuspendedChecksLeaveThePendingError) {
  clear_error_state();
  raise_error(9);
  checks_suspended = 1;
  line_event_check(10, 0, nullptr);
  EXPECT_EQ(pending_error, 9u);
  EXPECT_EQ(event_pending.load(), 1);
  clear_error_state();
}

TEST(LineEventCheck, ClearsFlagsWhenNothingIsPending) {
  clear_error_state();
  event_pending = 1;
  retry_statement = 1;
  line_event_check(10, 0, nullptr);
  EXPECT_EQ(event_pending.load(), 0);
  EXPECT_EQ(retry_statement, 0);
}

TEST(LineEventCheck, PauseToggleHoldsTheProgramThread) {
  clear_error_state();
  program_suspended = 1;
  std::atomic<bool> returned{false};
  std::thread program([&] {
    line_event_check(20, 0, nullptr);
    returned = true;
  });
  sleep_ms(100);
  EXPECT_FALSE(returned.load());
  program_suspended = 0;
  for (int i = 0; i < 1000 && !returned; ++i) sleep_ms(10);
  EXPECT_TRUE(returned.load());
  program.join();
}

TEST(ErrorHandlerJump, NoHandlerExitsWith99) {
  EXPECT_EXIT(
      {
        clear_error_state();
        main_routine = [] {};  // a routine whose prologue finds nowhere to continue
        error_handler_armed = 1;
        raise_error(9);
        line_event_check(5, 0, nullptr);
      },
      ::testing::ExitedWithCode(99), "");
}

TEST(ErrorHandlerJump, HandlerSeesErrAndErl) {
  clear_error_state();
  EXPECT_EXIT(
      {
        error_handler_armed = 1;
        last_line_number = 100;
        raise_error(6);
        main_routine = [] {
          if (func_err() == 6 && func_erl() == 100 && error_handler_jump == 1 && pending_error == 0) std::exit(42);
          std::exit(1);
        };
        line_event_check(49, 0, nullptr);
      },
      ::testing::ExitedWithCode(42), "");
}

TEST(CriticalError, ShowsOkBoxAndExitsZero) {
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        clear_error_state();
        strings_ready();
        raise_error(301);
        line_event_check(7, 0, nullptr);
      },
      ::testing::ExitedWithCode(0), "Critical Error #301");
}

TEST(ErrorFunctions, MessageTextDefaultsToErr) {
  strings_ready();
  uint32_t mark = temp_count;
  err_value = 53;
  EXPECT_EQ(text_of(func_errormessage(0, 0)), "File not found");
  EXPECT_EQ(text_of(func_errormessage(9, 1)), "Subscript out of range");
  error_include_file = "inc.bi";
  EXPECT_EQ(text_of(func_inclerrorfile()), "inc.bi");
  error_include_file = nullptr;
  EXPECT_EQ(text_of(func_inclerrorfile()), "");
  string_release_temporaries(mark, 0);
}

TEST(Assert, FalseConditionRaises314WhenEnabled) {
  clear_error_state();
  assert_statement(0, nullptr, 0);
  EXPECT_EQ(pending_error, 0u);  // assertions off
  assertions_enabled = 1;
  assert_statement(-1, nullptr, 0);
  EXPECT_EQ(pending_error, 0u);
  assert_statement(0, nullptr, 0);
  EXPECT_EQ(pending_error, 314u);
  assertions_enabled = 0;
  clear_error_state();
}

}  // namespace
