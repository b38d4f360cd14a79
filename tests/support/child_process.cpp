// Child processes for the tests: started with chosen streams and environment, waited for and reaped, their output files read.
#include <gtest/gtest.h>

#include "support/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/wait_clock.h"

namespace {

std::atomic<int> last_signal{0};  // set by wait_exit_status, read by last_exit_signal

}  // namespace

std::vector<std::string> child_environment(const std::vector<std::string>& set_env,
                                           const std::vector<std::string>& unset_env) {
  std::vector<std::string> env_text;
  for (char** e = environ; *e; ++e) {
    std::string entry = *e;
    std::string name = entry.substr(0, entry.find('='));
    bool drop = false;
    for (auto& u : unset_env) drop = drop || u == name;
    for (auto& s : set_env) drop = drop || s.substr(0, s.find('=')) == name;
    if (!drop) env_text.push_back(entry);
  }
  env_text.insert(env_text.end(), set_env.begin(), set_env.end());
  return env_text;
}

pid_t start_program(const std::string& path, const std::vector<std::string>& args) {
  return start_program(path, args, program_io{});
}

pid_t start_program(const std::string& path, const std::vector<std::string>& args, const program_io& io) {
  // Everything the child needs is prepared before fork: only async-signal-safe calls after it.
  std::vector<std::string> argv_text;
  argv_text.push_back(path);
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);

  std::vector<std::string> env_text = child_environment(io.set_env, io.unset_env);
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  int in_fd = open(io.stdin_path.empty() ? "/dev/null" : io.stdin_path.c_str(), O_RDONLY | O_CLOEXEC);
  int out_fd = -1, err_fd = -1;
  if (!io.stdout_path.empty()) out_fd = open(io.stdout_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (!io.stderr_path.empty()) err_fd = open(io.stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (in_fd < 0 || (!io.stdout_path.empty() && out_fd < 0) || (!io.stderr_path.empty() && err_fd < 0)) {
    ADD_FAILURE() << "cannot open the child's standard streams for " << path;
    for (int fd : {in_fd, out_fd, err_fd})
      if (fd >= 0) close(fd);
    return -1;
  }
  std::fflush(stdout);
  std::fflush(stderr);
  pid_t pid = fork();
  if (pid == 0) {
    dup2(in_fd, 0);
    if (out_fd >= 0) dup2(out_fd, 1);
    if (err_fd >= 0) dup2(err_fd, 2);
    if (!io.working_directory.empty() && chdir(io.working_directory.c_str()) != 0) _exit(126);
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  for (int fd : {in_fd, out_fd, err_fd})
    if (fd >= 0) close(fd);
  if (pid < 0) ADD_FAILURE() << "fork failed for " << path;
  return pid;
}

int wait_exit_status(pid_t pid, int timeout_ms) {
  if (pid <= 0) return -1;
  int64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    int status = 0;
    pid_t done = waitpid(pid, &status, WNOHANG);
    if (done == pid) {
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      last_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
      return -2;
    }
    if (done < 0) return -1;  // not our child or already reaped
    if (now_ms() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return -1;
    }
    pause_ms(5);
  }
}

int last_exit_signal() { return last_signal.load(); }

program_run run_program(const std::string& path, const std::vector<std::string>& args, const std::string& input,
                        program_io io) {
  io.stdin_path = temp_path("stdin");
  io.stdout_path = temp_path("stdout");
  io.stderr_path = temp_path("stderr");
  std::ofstream(io.stdin_path, std::ios::binary) << input;
  program_run run{wait_exit_status(start_program(path, args, io), 120000), read_file(io.stdout_path),
                  read_file(io.stderr_path)};
  for (const std::string* file : {&io.stdin_path, &io.stdout_path, &io.stderr_path}) std::remove(file->c_str());
  return run;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string temp_path(const std::string& stem) {
  static std::atomic<int> counter{0};
  const char* dir = std::getenv("TMPDIR");
  std::string base = dir && *dir ? dir : "/tmp";
  return base + "/" + stem + "." + std::to_string(getpid()) + "." + std::to_string(counter.fetch_add(1));
}
