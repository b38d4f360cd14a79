// Child processes for the tests: started with chosen streams and environment, waited for and reaped, their output files read.
#pragma once
#include <sys/types.h>

#include <string>
#include <vector>

// Where a child's output goes and what its environment changes. Empty paths inherit the
// test's own stream. `unset_env` names are removed, `set_env` entries are "NAME=value".
struct program_io {
  std::string stdout_path;
  std::string stderr_path;
  std::string stdin_path;  // empty: /dev/null
  std::vector<std::string> set_env;
  std::vector<std::string> unset_env;
  std::string working_directory;  // empty: the test's own
};

// The test's environment without the names in `unset_env` and those `set_env` ("NAME=value")
// sets, then the `set_env` entries: what a child started with them sees.
std::vector<std::string> child_environment(const std::vector<std::string>& set_env,
                                           const std::vector<std::string>& unset_env);

// fork + exec of `path` with argv[0] = path. Returns the child's pid, or -1 (and a test
// failure) when it cannot be started.
pid_t start_program(const std::string& path, const std::vector<std::string>& args = {});
pid_t start_program(const std::string& path, const std::vector<std::string>& args, const program_io& io);

// The child's exit status; -1 when it has not ended within timeout_ms (it is then killed
// with SIGKILL and reaped), -2 when a signal ended it (see last_exit_signal).
int wait_exit_status(pid_t pid, int timeout_ms);
int last_exit_signal();  // signal number of the last wait that returned -2

// A program run to its end: its exit status (as wait_exit_status) and what it printed.
struct program_run {
  int status;
  std::string out, err;
};
// Runs `path` with `input` as its standard input, its output streams caught in files.
program_run run_program(const std::string& path, const std::vector<std::string>& args, const std::string& input = "",
                        program_io io = {});

// Whole contents of a file ("" when it cannot be read).
std::string read_file(const std::string& path);
// A fresh path under the test's temporary directory (the file itself is not created).
std::string temp_path(const std::string& stem);
