// Terminal benchmark: key -> screen of the calculator in terminal mode beside `cat`, both on a pseudo-terminal read through libvterm.
// Both are measured the same way: the same terminal emulator, the same keys, the same
// pacing; a key is timed from its write to the terminal until its echo shows in the
// emulator's cell. Also the calculator's wake-ups (all threads) while INPUT waits.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/calculator_screens.h"
#include "support/terminal_session.h"

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point start) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  return values[std::min(values.size() - 1, static_cast<size_t>(p * values.size()))];
}

// Context switches of all of a process's threads so far: each is a wake-up or a preemption.
long context_switches(pid_t pid) {
  long total = 0;
  for (const auto& task : std::filesystem::directory_iterator("/proc/" + std::to_string(pid) + "/task")) {
    std::ifstream status(task.path() / "status");
    std::string line;
    while (std::getline(status, line))
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0 || line.rfind("nonvoluntary_ctxt_switches:", 0) == 0)
        total += std::stol(line.substr(line.find(':') + 1));
  }
  return total;
}

// One program on the terminal: where a typed key's echo shows, and the key that takes it back.
struct subject {
  const char* name;
  std::string path;
  std::vector<std::string> args;
  int row, column;         // the echo's cell
  const char* take_back;   // sent after each timed key, untimed
  std::function<bool(const screen_text&)> ready;
};

struct figures {
  double median_ms = -1, p95_ms = -1;
  int missed = 0;
  double idle_wakeups = -1;  // context switches per second over 10 s at INPUT
};

// The time from writing `key` until its echo shows, in ms; -1 when it never did within 2 s.
// The take-back key after it is waited for but not timed.
double time_key(terminal_session& session, const subject& s, char key) {
  clock_type::time_point sent = clock_type::now();
  session.type(std::string(1, key));
  bool shown = session.wait_until([&](const screen_text& t) { return t.lines[s.row][s.column] == key; }, 2000);
  double delay = shown ? ms_since(sent) : -1;
  session.type(s.take_back);
  session.wait_until([&](const screen_text& t) { return t.lines[s.row][s.column] == ' '; }, 2000);
  return delay;
}

// Both programs run side by side and take their keys in turn, so that whatever else the
// machine does meanwhile weighs on both alike.
void measure(const subject& measured, const subject& baseline, figures* m, figures* b) {
  terminal_session sessions[2];
  const subject* subjects[2] = {&measured, &baseline};
  figures* results[2] = {m, b};
  for (int k = 0; k < 2; ++k)
    if (!sessions[k].start(subjects[k]->path, subjects[k]->args) || !sessions[k].wait_until(subjects[k]->ready)) {
      std::fprintf(stderr, "terminal_bench: %s did not start\n", subjects[k]->name);
      return;
    }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  // 200 keys each, a digit at a time, about 20 ms apart as from a fast typist.
  std::vector<double> delays[2];
  for (int i = 0; i < 400; ++i) {
    int k = i % 2;
    clock_type::time_point start = clock_type::now();
    double delay = time_key(sessions[k], *subjects[k], static_cast<char>('1' + i / 2 % 9));
    if (delay < 0) ++results[k]->missed;
    else delays[k].push_back(delay);
    double left = 10 - ms_since(start);
    if (left > 0) std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(left));
  }
  for (int k = 0; k < 2; ++k) {
    results[k]->median_ms = percentile(delays[k], 0.5);
    results[k]->p95_ms = percentile(delays[k], 0.95);
  }
  // Waiting for a key: 10 s of nothing, after a moment to settle.
  std::this_thread::sleep_for(std::chrono::seconds(1));
  long before = context_switches(sessions[0].pid);
  clock_type::time_point idle = clock_type::now();
  std::this_thread::sleep_for(std::chrono::seconds(10));
  m->idle_wakeups = double(context_switches(sessions[0].pid) - before) / (ms_since(idle) / 1000);
}

std::string shown(double value, const char* format) {
  if (value < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

}  // namespace

int main() {
  // cat answers each key at once: the line in raw mode, no echo but cat's, and a space
  // over the key takes it back (Backspace, space, Backspace).
  subject cat{"cat", "/bin/sh", {"-c", "stty raw -echo && exec cat"}, 0, 0, "\b \b",
              [](const screen_text&) { return true; }};
  subject calculator{"brightness", BRIGHTNESS_EXE, {"--tty"}, 5, 64, "\x7f",
                     [](const screen_text& t) { return t.trimmed(5) == calculator_screens::first_rows()[5]; }};
  figures c, b;
  measure(calculator, cat, &c, &b);
  std::printf("Terminal figures through a pseudo-terminal and libvterm (brightness --tty beside cat):\n");
  std::printf("  %-36s %12s %12s %10s\n", "figure", "brightness", "cat", "ratio");
  std::string ratio = c.median_ms >= 0 && b.median_ms > 0 ? shown(c.median_ms / b.median_ms, "%.2f x") : "-";
  std::printf("  %-36s %12s %12s %10s   %s\n", "key -> screen, median (ms)", shown(c.median_ms, "%.3f").c_str(),
              shown(b.median_ms, "%.3f").c_str(), ratio.c_str(), "target <= 1.2 x");
  std::printf("  %-36s %12s %12s\n", "key -> screen, 95th percentile (ms)", shown(c.p95_ms, "%.3f").c_str(),
              shown(b.p95_ms, "%.3f").c_str());
  std::printf("  %-36s %12s\n", "wake-ups per second at INPUT, 10 s", shown(c.idle_wakeups, "%.1f").c_str());
  if (c.missed || b.missed) std::printf("  keys whose echo never showed within 2 s: brightness %d, cat %d\n", c.missed, b.missed);
  return 0;
}
