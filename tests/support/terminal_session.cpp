// A program on a pseudo-terminal, read back through libvterm (keeps the terminal, the program on it and the screen as the emulator holds it).
#include "support/terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vterm.h>

#include <cstdlib>
#include <cstring>

#include "runtime/console/code_page.h"
#include "support/child_process.h"
#include "support/wait_clock.h"

namespace {

// libvterm's colour numbers are ANSI's; the text screen's order puts blue before red.
int text_color(const VTermColor& color) {
  static const int pc_of[8] = {0, 4, 2, 6, 1, 5, 3, 7};
  if (!VTERM_COLOR_IS_INDEXED(&color) || color.indexed.idx > 15) return -1;
  int index = color.indexed.idx;
  return index < 8 ? pc_of[index] : 8 + pc_of[index - 8];
}

}  // namespace

terminal_session::terminal_session(int c, int r) : columns(c), rows(r) {
  vt = vterm_new(rows, columns);
  vterm_set_utf8(vt, 1);
  VTermScreen* vscreen = vterm_obtain_screen(vt);
  static VTermScreenCallbacks callbacks{};
  callbacks.settermprop = [](VTermProp property, VTermValue* value, void* self) {
    auto* session = static_cast<terminal_session*>(self);
    if (property == VTERM_PROP_ALTSCREEN) session->alternate = value->boolean;
    if (property == VTERM_PROP_CURSORVISIBLE) session->cursor_visible = value->boolean;
    return 1;
  };
  vterm_screen_set_callbacks(vscreen, &callbacks, this);
  vterm_screen_enable_altscreen(vscreen, 1);
  vterm_screen_reset(vscreen, 1);
  winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
  if (openpty(&master, &line, nullptr, nullptr, &size) != 0) return;
  fcntl(master, F_SETFD, FD_CLOEXEC);
  fcntl(line, F_SETFD, FD_CLOEXEC);
  fcntl(master, F_SETFL, O_NONBLOCK);
}

terminal_session::~terminal_session() {
  if (pid > 0) {
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
  }
  if (master >= 0) close(master);
  if (line >= 0) close(line);
  vterm_free(vt);
}

bool terminal_session::start(const std::string& path, const std::vector<std::string>& args,
                             const std::vector<std::string>& set_env) {
  // Everything the child needs is made before fork.
  std::vector<std::string> argv_text{path};
  argv_text.insert(argv_text.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (auto& a : argv_text) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  std::vector<std::string> wanted = {"TERM=xterm-256color", "LANG=C.UTF-8"};
  wanted.insert(wanted.end(), set_env.begin(), set_env.end());
  std::vector<std::string> env_text = child_environment(wanted, {"DISPLAY", "LC_ALL", "LC_CTYPE"});
  std::vector<char*> envp;
  for (auto& e : env_text) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  if (master < 0) return false;
  pid = fork();
  if (pid == 0) {
    setsid();
    ioctl(line, TIOCSCTTY, 0);
    dup2(line, 0);
    dup2(line, 1);
    dup2(line, 2);
    execve(path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  return pid > 0;
}

void terminal_session::shell_writes(const std::string& text) { vterm_input_write(vt, text.data(), text.size()); }

void terminal_session::type(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = write(master, bytes.data() + done, bytes.size() - done);
    if (n > 0) done += static_cast<size_t>(n);
    else pump(5);  // the line is full: let the program read
  }
}

void terminal_session::pump(int wait_ms) {
  pollfd output{master, POLLIN, 0};
  if (poll(&output, 1, wait_ms) <= 0) return;
  char bytes[65536];
  for (;;) {
    ssize_t n = read(master, bytes, sizeof bytes);
    if (n <= 0) break;
    vterm_input_write(vt, bytes, static_cast<size_t>(n));
  }
}

void terminal_session::read_screen() {
  VTermScreen* vscreen = vterm_obtain_screen(vt);
  screen = screen_text{};
  screen.cols = columns;
  screen.rows = rows;
  screen.lines.assign(rows, std::string(columns, ' '));
  screen.fg.assign(rows, std::vector<int>(columns, -1));
  screen.bg.assign(rows, std::vector<int>(columns, -1));
  screen.cursor.assign(rows, std::vector<bool>(columns, false));
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < columns; ++c) {
      VTermScreenCell cell;
      if (!vterm_screen_get_cell(vscreen, VTermPos{r, c}, &cell)) continue;
      int32_t code = cell.chars[0] == 0 ? ' ' : code_page_437_from_unicode(cell.chars[0]);
      screen.lines[r][c] = code < 0 ? '?' : static_cast<char>(code);
      screen.fg[r][c] = text_color(cell.fg);
      screen.bg[r][c] = text_color(cell.bg);
    }
  int r = cursor_row(), c = cursor_column();
  if (cursor_visible && r >= 0 && r < rows && c >= 0 && c < columns) screen.cursor[r][c] = true;
}

bool terminal_session::wait_until(const std::function<bool(const screen_text&)>& done, int timeout_ms) {
  int64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    pump(20);
    read_screen();
    if (done(screen)) return true;
    if (now_ms() >= deadline) return false;
  }
}

void terminal_session::resize(int c, int r) {
  columns = c;
  rows = r;
  vterm_set_size(vt, rows, columns);
  winsize size{static_cast<unsigned short>(rows), static_cast<unsigned short>(columns), 0, 0};
  ioctl(master, TIOCSWINSZ, &size);
}

int terminal_session::exit_status(int timeout_ms) {
  if (pid <= 0) return -1;
  int64_t deadline = now_ms() + timeout_ms;
  for (;;) {
    int status = 0;
    if (waitpid(pid, &status, WNOHANG) == pid) {
      pid = -1;
      pump(0);
      read_screen();
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      exit_signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
      return -2;
    }
    if (now_ms() >= deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, nullptr, 0);
      pid = -1;
      return -1;
    }
    pump(5);
  }
}

termios terminal_session::modes() const {
  termios now{};
  tcgetattr(line, &now);
  return now;
}

int terminal_session::cursor_row() const {
  VTermPos at;
  vterm_state_get_cursorpos(vterm_obtain_state(vt), &at);
  return at.row;
}

int terminal_session::cursor_column() const {
  VTermPos at;
  vterm_state_get_cursorpos(vterm_obtain_state(vt), &at);
  return at.col;
}

bool same_modes(const termios& a, const termios& b) {
  return a.c_iflag == b.c_iflag && a.c_oflag == b.c_oflag && a.c_cflag == b.c_cflag && a.c_lflag == b.c_lflag &&
         std::memcmp(a.c_cc, b.c_cc, sizeof a.c_cc) == 0;
}
