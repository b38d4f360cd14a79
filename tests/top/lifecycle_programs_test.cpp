// Whole programs without a window: COMMAND$, the working directories and the exit statuses.
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "support/child_process.h"

namespace {

const std::string hidden_program = std::string(TEST_PROGRAM_DIR) + "/lifecycle_hidden";
constexpr int exit_timeout_ms = 30000;

struct run_result {
  int status;
  std::string out, err;
};

run_result run(const std::vector<std::string>& args, const std::string& directory = "") {
  program_io io;
  io.stdout_path = temp_path("hidden_out");
  io.stderr_path = temp_path("hidden_err");
  io.unset_env = {"DISPLAY"};
  io.working_directory = directory;
  pid_t pid = start_program(hidden_program, args, io);
  EXPECT_GT(pid, 0);
  run_result result{wait_exit_status(pid, exit_timeout_ms), "", ""};
  result.out = read_file(io.stdout_path);
  result.err = read_file(io.stderr_path);
  return result;
}

TEST(LifecyclePrograms, CommandLineJoinsArguments) {
  const struct {
    std::vector<std::string> args;
    const char* expected;
  } cases[] = {
      {{}, "CMD=[]"},
      {{"a"}, "CMD=[a]"},
      {{"a", "b c"}, "CMD=[a b c]"},
      {{"x.tmp"}, "CMD=[x.tmp]"},
  };
  for (const auto& c : cases) {
    run_result r = run(c.args);
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find(std::string(c.expected) + "\n"), std::string::npos) << r.out;
  }
}

TEST(LifecyclePrograms, WorksInTheExecutablesFolderAndKeepsTheStartDirectory) {
  run_result r = run({}, "/tmp");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("START=[/tmp]\n"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("CWD=[" + std::string(TEST_PROGRAM_DIR) + "]\n"), std::string::npos) << r.out;
}

TEST(LifecyclePrograms, ErrorHandlerJumpWithoutHandlerExits99) {
  EXPECT_EQ(run({"handler"}).status, 99);
}

TEST(LifecyclePrograms, IntegerDivisionByZeroShowsCriticalBoxAndExitsZero) {
  run_result r = run({"divide"});
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("Critical Error"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("Division by zero"), std::string::npos) << r.err;
}

}  // namespace
