// Terminal modes (keeps the user's saved terminal modes, the output lock and the sequences in and out of the program's screen).
#include "runtime/terminal/terminal_modes.h"

#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <cstring>

namespace {

// The alternate screen (the main screen and its cursor are kept), bracketed paste, no
// automatic wrap at the right edge (the painter places every run itself), plain colours,
// and the screen cleared.
const char enter_sequence[] = "\x1b[?1049h\x1b[?2004h\x1b[?7l\x1b[0m\x1b[H\x1b[2J";
// Plain colours, the cursor shown, wrap and paste as usual, and the main screen back.
const char leave_sequence[] = "\x1b[0m\x1b[?25h\x1b[?7h\x1b[?2004l\x1b[?1049l";

termios saved_modes;                        // the user's modes, read by the first terminal_enter
bool modes_saved = false;                   // saved_modes holds them
std::atomic<int32_t> entered{0};            // 1 between enter and leave
std::atomic<int32_t> output_broken{0};      // 1 once a write failed for good (the terminal is gone)
pthread_mutex_t output_mutex = PTHREAD_MUTEX_INITIALIZER;  // one writer at a time; never destroyed

// The whole buffer, through partial writes and interruptions; false when the terminal is gone.
bool write_all(const char* bytes, size_t count) {
  while (count > 0) {
    ssize_t done = write(STDOUT_FILENO, bytes, count);
    if (done > 0) {
      bytes += done;
      count -= static_cast<size_t>(done);
    } else if (done < 0 && errno == EINTR) {
      continue;
    } else if (done < 0 && errno == EAGAIN) {
      pollfd out{STDOUT_FILENO, POLLOUT, 0};
      poll(&out, 1, 100);
    } else {
      return false;
    }
  }
  return true;
}

void leave_at_exit() { terminal_leave(); }

}  // namespace

bool terminal_present() { return isatty(STDIN_FILENO) == 1 && isatty(STDOUT_FILENO) == 1; }

bool locale_is_utf8() {
  const char* name = nullptr;
  for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
    name = std::getenv(variable);
    if (name && *name) break;
  }
  if (!name) return false;
  for (const char* p = name; *p; ++p)
    if (strncasecmp(p, "utf-8", 5) == 0 || strncasecmp(p, "utf8", 4) == 0) return true;
  return false;
}

bool terminal_enter() {
  if (!modes_saved) {
    if (tcgetattr(STDIN_FILENO, &saved_modes) != 0) return false;
    modes_saved = true;
    std::atexit(leave_at_exit);
  }
  termios raw = saved_modes;
  raw.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF);
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  if (tcsetattr(STDIN_FILENO, TCSADRAIN, &raw) != 0) return false;
  pthread_mutex_lock(&output_mutex);
  entered = 1;
  if (!write_all(enter_sequence, sizeof enter_sequence - 1)) output_broken = 1;
  pthread_mutex_unlock(&output_mutex);
  return true;
}

void terminal_leave() {
  if (!entered.load()) return;
  // A write may hang on a terminal that stopped reading (XOFF, a stalled connection): wait
  // for it a moment only, then leave all the same.
  timespec until;
  clock_gettime(CLOCK_REALTIME, &until);
  until.tv_nsec += 500 * 1000000L;
  if (until.tv_nsec >= 1000000000L) {
    until.tv_sec += 1;
    until.tv_nsec -= 1000000000L;
  }
  bool locked = pthread_mutex_timedlock(&output_mutex, &until) == 0;
  if (entered.exchange(0)) {
    // Without the lock the terminal is stalled: a write, or a wait for the output to
    // drain, would hang the exit too. The modes come back at once all the same.
    if (locked && !output_broken.load()) write_all(leave_sequence, sizeof leave_sequence - 1);
    tcsetattr(STDIN_FILENO, locked ? TCSADRAIN : TCSANOW, &saved_modes);
  }
  if (locked) pthread_mutex_unlock(&output_mutex);
}

void terminal_leave_now() {
  if (!entered.exchange(0)) return;
  ssize_t ignored = write(STDOUT_FILENO, leave_sequence, sizeof leave_sequence - 1);
  (void)ignored;
  tcsetattr(STDIN_FILENO, TCSANOW, &saved_modes);
}

bool terminal_entered() { return entered.load() != 0; }

void terminal_write(const std::string& bytes) {
  pthread_mutex_lock(&output_mutex);
  if (entered.load() && !output_broken.load() && !write_all(bytes.data(), bytes.size())) output_broken = 1;
  pthread_mutex_unlock(&output_mutex);
}

bool terminal_size(int32_t* columns, int32_t* rows) {
  winsize size;
  if (ioctl(STDOUT_FILENO, TIOCGWINSZ, &size) != 0 || size.ws_col == 0 || size.ws_row == 0) return false;
  *columns = size.ws_col;
  *rows = size.ws_row;
  return true;
}

void terminal_exit(int32_t status) {
  terminal_leave();
  std::exit(status);
}
