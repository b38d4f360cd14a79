// Process benchmark: the calculator under its own X server beside a bare freeglut window, as ratios of one run.
// Figures: start-up until the first text is lit, key -> pixel at INPUT, CPU while waiting
// for a key (program and X server), peak RSS. Both programs are measured the same way:
// the same pixel reads, the same keys, the same pacing. The calculator is measured again
// with an accessibility bus, beside itself without one.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "support/child_process.h"
#include "support/screen_reader.h"
#include "support/x_input.h"
#include "support/x_windows.h"

namespace {

using clock_type = std::chrono::steady_clock;

double ms_since(clock_type::time_point start) {
  return std::chrono::duration<double, std::milli>(clock_type::now() - start).count();
}

void sleep_ms(double ms) { std::this_thread::sleep_for(std::chrono::duration<double, std::milli>(ms)); }

// How often the pixels are read while waiting for a change: often enough for a
// sub-millisecond figure, seldom enough to leave the two cores to the programs measured.
constexpr double poll_gap_ms = 0.2;

const char* const banner = " ******* Interpolation Vollstfarbenhelligkeit nach Korlu *******";
const char* const prompt_start = "   Eingabe der Spektralwellenlaenge:";
constexpr int echo_row = 5, echo_column = 64;  // the first cell after the calculator's prompt

// Decodes the text cells of a rectangle of the window (cell units); false when unreadable.
// Column 0 is never read: a window at the default position may start just off the screen.
bool read_cells(Display* display, unsigned long window, int row, int column, int columns, screen_text* out) {
  XImage* image = XGetImage(display, window, column * 8, row * 16, columns * 8, 16, AllPlanes, ZPixmap);
  if (!image) return false;
  std::vector<unsigned long> pixels(static_cast<size_t>(columns) * 8 * 16);
  for (int y = 0; y < 16; ++y)
    for (int x = 0; x < columns * 8; ++x) pixels[static_cast<size_t>(y) * columns * 8 + x] = XGetPixel(image, x, y) & 0xFFFFFF;
  XDestroyImage(image);
  return decode_screen(pixels, columns * 8, 16, columns, 1, out);
}

// Reads the rectangle until `done` holds; the time it took in ms, or -1 after timeout_ms.
double wait_cells(Display* display, unsigned long window, int row, int column, int columns,
                  const std::function<bool(const screen_text&)>& done, clock_type::time_point since,
                  double timeout_ms) {
  screen_text cells;
  for (;;) {
    if (read_cells(display, window, row, column, columns, &cells) && done(cells)) return ms_since(since);
    if (ms_since(since) > timeout_ms) return -1;
    sleep_ms(poll_gap_ms);
  }
}

// One program as measured.
struct subject {
  std::string path;
  const char* title;                                 // window title prefix
  std::function<bool(const screen_text&)> first_lit;  // row 1, columns 1-79: the first frame is up
  std::function<bool(const screen_text&, bool)> echoed;  // the echo cell after "5" (true) or Backspace
  std::function<bool(const screen_text&)> reading;      // whole 80x25 screen: keys are read now (or none)
  program_io io{"/dev/null", "", "", {}, {}, ""};        // its environment
};

struct figures {
  double startup_ms = -1, key_median_ms = -1, key_p95_ms = -1;
  double program_cpu = -1, server_cpu = -1;  // % of one core
  double peak_rss_mb = -1;
  double private_mb = -1;  // memory no other process shares (private pages, not the libraries' shared ones)
  int keys_missed = 0;
};

// utime + stime of a process in seconds, -1 when it cannot be read.
double cpu_seconds(pid_t pid) {
  std::string stat = read_file("/proc/" + std::to_string(pid) + "/stat");
  size_t close = stat.rfind(')');
  if (close == std::string::npos) return -1;
  std::vector<std::string> fields;
  size_t at = close + 2;
  while (at < stat.size()) {
    size_t end = stat.find(' ', at);
    if (end == std::string::npos) end = stat.size();
    fields.push_back(stat.substr(at, end - at));
    at = end + 1;
  }
  if (fields.size() < 13) return -1;  // fields[0] is the state (field 3); utime is field 14
  return (std::atof(fields[11].c_str()) + std::atof(fields[12].c_str())) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

double peak_rss_mb(pid_t pid) {
  std::string status = read_file("/proc/" + std::to_string(pid) + "/status");
  size_t at = status.find("VmHWM:");
  return at == std::string::npos ? -1 : std::atof(status.c_str() + at + 6) / 1024.0;
}

double private_mb(pid_t pid) {
  std::string rollup = read_file("/proc/" + std::to_string(pid) + "/smaps_rollup");
  double kb = 0;
  bool found = false;
  for (const char* field : {"Private_Clean:", "Private_Dirty:"}) {
    size_t at = rollup.find(field);
    if (at == std::string::npos) continue;
    kb += std::atof(rollup.c_str() + at + std::strlen(field));
    found = true;
  }
  return found ? kb / 1024.0 : -1;
}

double percentile(std::vector<double> values, double p) {
  if (values.empty()) return -1;
  std::sort(values.begin(), values.end());
  size_t index = static_cast<size_t>(p * static_cast<double>(values.size() - 1) + 0.5);
  return values[std::min(index, values.size() - 1)];
}

// Starts the program and waits until its first text is lit: the time that took in ms
// (from just before the fork), or -1. *pid and *window tell what was started.
double start_until_lit(Display* display, const subject& s, pid_t* pid, unsigned long* window) {
  clock_type::time_point start = clock_type::now();
  *pid = start_program(s.path, {}, s.io);
  *window = 0;
  if (*pid <= 0) return -1;
  while (!*window && ms_since(start) < 30000) {
    *window = x_find_window(display, s.title, 0);
    if (!*window) sleep_ms(poll_gap_ms);
  }
  return *window ? wait_cells(display, *window, 1, 1, 79, s.first_lit, start, 30000) : -1;
}

// The rest of the figures, from one more run of the program.
void measure(Display* display, pid_t server, const subject& s, figures& f) {
  pid_t pid = -1;
  unsigned long window = 0;
  if (start_until_lit(display, s, &pid, &window) < 0) {
    if (pid > 0) wait_exit_status(pid, 1);
    if (window) x_wait_window_gone(display, window, 5000);
    return;
  }
  if (s.reading) x_wait_screen(display, window, 80, 25, s.reading, 30000);
  x_focus(display, window);
  sleep_ms(200);
  // 80 keys, "5" and Backspace in turn, each timed from its XTest send until the echo
  // cell shows it. Keys go about 20 ms apart, as from a fast typist, or at once after the
  // previous echo when that took longer.
  std::vector<double> delays;
  for (int i = 0; i < 80; ++i) {
    bool five = i % 2 == 0;
    clock_type::time_point sent = clock_type::now();
    x_key(display, five ? XK_5 : XK_BackSpace);
    double delay = wait_cells(display, window, echo_row, echo_column, 1,
                              [&](const screen_text& t) { return s.echoed(t, five); }, sent, 2000);
    if (delay < 0) ++f.keys_missed;
    else delays.push_back(delay);
    double left = 20 - ms_since(sent);
    if (left > 0) sleep_ms(left);
  }
  f.key_median_ms = percentile(delays, 0.5);
  f.key_p95_ms = percentile(delays, 0.95);

  // Waiting for a key: 10 s of nothing, after a moment to settle.
  sleep_ms(1000);
  double program_before = cpu_seconds(pid), server_before = cpu_seconds(server);
  clock_type::time_point idle = clock_type::now();
  sleep_ms(10000);
  double seconds = ms_since(idle) / 1000;
  f.program_cpu = (cpu_seconds(pid) - program_before) / seconds * 100;
  f.server_cpu = (cpu_seconds(server) - server_before) / seconds * 100;
  f.peak_rss_mb = peak_rss_mb(pid);
  f.private_mb = private_mb(pid);
  wait_exit_status(pid, 1);  // ends it (SIGKILL) and reaps it
  x_wait_window_gone(display, window, 5000);
}

// Starts Xvfb on a free display (it names the display through -displayfd) and points
// DISPLAY at it. Its pid, or -1.
pid_t start_x_server() {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  std::string xvfb = "/usr/bin/Xvfb";
  pid_t pid = start_program(xvfb, {"-displayfd", std::to_string(fds[1]), "-screen", "0", "1280x1024x24", "-nolisten", "tcp"},
                            program_io{"/dev/null", "/dev/null", "", {}, {}, ""});
  close(fds[1]);
  std::string number;
  pollfd wait{fds[0], POLLIN, 0};
  char c = 0;
  while (pid > 0 && poll(&wait, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') number += c;
  close(fds[0]);
  if (pid <= 0 || number.empty()) {
    if (pid > 0) wait_exit_status(pid, 1);
    return -1;
  }
  setenv("DISPLAY", (":" + number).c_str(), 1);
  return pid;
}

// Starts a session bus of its own (dbus-daemon names its address through a pipe); the
// accessibility bus starts on it when the first program asks. Its pid, or -1.
pid_t start_session_bus(std::string* address) {
  int fds[2];
  if (pipe(fds) != 0) return -1;
  fcntl(fds[0], F_SETFD, FD_CLOEXEC);
  pid_t pid = start_program("/usr/bin/dbus-daemon", {"--session", "--nofork", "--print-address=" + std::to_string(fds[1])},
                            program_io{"/dev/null", "/dev/null", "", {}, {}, ""});
  close(fds[1]);
  pollfd wait{fds[0], POLLIN, 0};
  char c = 0;
  address->clear();
  while (pid > 0 && poll(&wait, 1, 10000) == 1 && read(fds[0], &c, 1) == 1 && c != '\n') *address += c;
  close(fds[0]);
  if (pid <= 0 || address->empty()) {
    if (pid > 0) wait_exit_status(pid, 1);
    return -1;
  }
  return pid;
}

// The median start-up of each subject in ms, taken in turns over three rounds so that none
// gains from caches another warmed.
std::vector<double> startups(Display* display, const std::vector<const subject*>& subjects) {
  std::vector<std::vector<double>> starts(subjects.size());
  for (int round = 0; round < 3; ++round)
    for (size_t k = 0; k < subjects.size(); ++k) {
      pid_t pid = -1;
      unsigned long window = 0;
      double ms = start_until_lit(display, *subjects[k], &pid, &window);
      if (pid > 0) wait_exit_status(pid, 1);
      if (window) x_wait_window_gone(display, window, 5000);  // never found again by the next start
      if (ms >= 0) starts[k].push_back(ms);
    }
  std::vector<double> medians;
  for (const std::vector<double>& s : starts) medians.push_back(percentile(s, 0.5));
  return medians;
}

std::string shown(double value, const char* format) {
  if (value < 0) return "-";
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void print_line(const char* label, double measured, double baseline, const char* format, const char* target) {
  std::string ratio = measured >= 0 && baseline > 0 ? shown(measured / baseline, "%.2f x") : "-";
  std::printf("  %-40s %12s %12s %10s   %s\n", label, shown(measured, format).c_str(),
              shown(baseline, format).c_str(), ratio.c_str(), target);
}

}  // namespace

int main() {
  pid_t server = start_x_server();
  if (server < 0) {
    std::fprintf(stderr, "process_bench: cannot start Xvfb\n");
    return 1;
  }
  Display* display = x_open();
  if (!display) {
    kill(server, SIGTERM);
    return 1;
  }
  // A session bus of the benchmark's own, whose accessibility bus screen readers would use.
  // The calculator runs beside it with no bus it could reach (dead addresses, so none is
  // launched either), and on it. The bridge's sockets go to a folder of the benchmark's own.
  char runtime_template[] = "/tmp/process_bench_XXXXXX";
  const char* runtime_dir = mkdtemp(runtime_template);
  std::string runtime_setting = std::string("XDG_RUNTIME_DIR=") + (runtime_dir ? runtime_dir : "/tmp");
  std::string bus_address;
  pid_t bus = start_session_bus(&bus_address);
  program_io no_bus{"/dev/null", "", "", {"DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent",
                    "AT_SPI_BUS_ADDRESS=unix:path=/nonexistent", runtime_setting}, {"NO_AT_BRIDGE"}, ""};
  subject bare{BARE_WINDOW_EXE, "bare window",
               [](const screen_text& t) { return t.bg[0][0] == 15; },
               [](const screen_text& t, bool five) { return t.bg[0][0] == (five ? 15 : 0); }, nullptr, no_bus};
  subject calculator{BRIGHTNESS_EXE, "Untitled",
                     [](const screen_text& t) { return t.trimmed(0) == std::string(banner).substr(1); },
                     [](const screen_text& t, bool five) { return t.lines[0][0] == (five ? '5' : ' '); },
                     [](const screen_text& t) { return t.lines[5].rfind(prompt_start, 0) == 0; }, no_bus};
  subject with_bus = calculator;
  with_bus.io.set_env = {"DBUS_SESSION_BUS_ADDRESS=" + bus_address, runtime_setting};
  with_bus.io.unset_env = {"AT_SPI_BUS_ADDRESS", "NO_AT_BRIDGE"};
  figures b, c, a;
  if (bus > 0) startups(display, {&with_bus});  // launches the accessibility bus; not counted
  std::vector<const subject*> subjects = {&bare, &calculator};
  if (bus > 0) subjects.push_back(&with_bus);
  std::vector<double> medians = startups(display, subjects);
  b.startup_ms = medians[0];
  c.startup_ms = medians[1];
  measure(display, server, bare, b);
  measure(display, server, calculator, c);
  if (bus > 0) {
    a.startup_ms = medians[2];
    measure(display, server, with_bus, a);
    kill(bus, SIGTERM);  // the accessibility bus and its registry leave with it
    wait_exit_status(bus, 5000);
  }
  if (runtime_dir) std::filesystem::remove_all(runtime_dir);
  XCloseDisplay(display);
  kill(server, SIGTERM);
  wait_exit_status(server, 5000);

  std::printf("Process figures under one Xvfb (brightness beside a bare freeglut window):\n");
  std::printf("  %-40s %12s %12s %10s\n", "figure", "brightness", "bare window", "ratio");
  print_line("start-up to first lit text (ms)", c.startup_ms, b.startup_ms, "%.1f", "target <= 1.2 x");
  print_line("key -> pixel at INPUT, median (ms)", c.key_median_ms, b.key_median_ms, "%.2f", "target <= 3 ms");
  print_line("key -> pixel at INPUT, p95 (ms)", c.key_p95_ms, b.key_p95_ms, "%.2f", "target <= 6 ms");
  print_line("CPU waiting for a key: program (%)", c.program_cpu, b.program_cpu, "%.2f", "");
  print_line("CPU waiting for a key: X server (%)", c.server_cpu, b.server_cpu, "%.2f", "");
  print_line("CPU waiting for a key: together (%)", c.program_cpu + c.server_cpu, b.program_cpu + b.server_cpu, "%.2f",
             "target <= 1 %");
  print_line("peak RSS (MB)", c.peak_rss_mb, b.peak_rss_mb, "%.1f", "");
  print_line("private memory (MB)", c.private_mb, b.private_mb, "%.1f", "");
  std::printf("The calculator with an accessibility bus, beside itself without one:\n");
  std::printf("  %-40s %12s %12s %10s\n", "figure", "with a bus", "without", "ratio");
  print_line("start-up to first lit text (ms)", a.startup_ms, c.startup_ms, "%.1f", "target <= 1.1 x");
  print_line("key -> pixel at INPUT, median (ms)", a.key_median_ms, c.key_median_ms, "%.2f", "");
  print_line("CPU waiting for a key: program (%)", a.program_cpu, c.program_cpu, "%.2f", "");
  print_line("peak RSS (MB)", a.peak_rss_mb, c.peak_rss_mb, "%.1f", "target <= 3 MB more");
  print_line("private memory (MB)", a.private_mb, c.private_mb, "%.1f", "");
  if (c.keys_missed || b.keys_missed)
    std::printf("  keys whose echo never showed within 2 s: brightness %d, bare window %d\n", c.keys_missed,
                b.keys_missed);
  return c.startup_ms < 0 || b.startup_ms < 0 ? 1 : 0;
}
