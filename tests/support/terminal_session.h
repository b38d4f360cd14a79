// A program on a pseudo-terminal, read back through libvterm: keys go in as a terminal sends them, the screen comes out as text cells.
#pragma once
#include <sys/types.h>
#include <termios.h>

#include <functional>
#include <string>
#include <vector>

#include "support/screen_text.h"

typedef struct VTerm VTerm;

class terminal_session {
 public:
  // A terminal of `columns` x `rows` cells, its line in the usual cooked modes, no program on it yet.
  explicit terminal_session(int columns = 80, int rows = 25);
  ~terminal_session();  // kills and reaps a program still running
  terminal_session(const terminal_session&) = delete;
  terminal_session& operator=(const terminal_session&) = delete;

  // Starts `path` on the terminal as a shell would (the session's leader, the terminal its
  // controlling one), with TERM=xterm-256color, a UTF-8 locale and no DISPLAY; `set_env`
  // entries ("NAME=value") come on top. False when it cannot be started.
  bool start(const std::string& path, const std::vector<std::string>& args = {},
             const std::vector<std::string>& set_env = {});
  // Text the shell wrote before the program started, on the terminal's main screen.
  void shell_writes(const std::string& text);
  // Bytes as the terminal sends them for typed keys.
  void type(const std::string& bytes);
  // Reads what the program wrote until `done` holds; false after timeout_ms. `screen`
  // keeps the last read.
  bool wait_until(const std::function<bool(const screen_text&)>& done, int timeout_ms = 30000);
  // Resizes the terminal as a terminal window does (the program gets SIGWINCH).
  void resize(int columns, int rows);
  // The program's exit status, reading its last output meanwhile: -1 when it has not
  // ended within timeout_ms (it is then killed), -2 when a signal ended it (exit_signal).
  int exit_status(int timeout_ms = 30000);

  termios modes() const;               // the terminal line's modes now
  bool alternate_screen() const { return alternate; }
  bool cursor_shown() const { return cursor_visible; }
  int cursor_row() const;
  int cursor_column() const;

  pid_t pid = -1;
  int exit_signal = 0;
  screen_text screen;

 private:
  void pump(int wait_ms);  // feeds what the program wrote to the terminal
  void read_screen();

  int master = -1, line = -1;  // the terminal's two sides; `line` is kept open so its modes stay readable
  VTerm* vt = nullptr;
  int columns, rows;
  bool alternate = false, cursor_visible = true;  // as libvterm reports them
};

// True when the modes a program left behind are those it found: flags and control characters.
bool same_modes(const termios& a, const termios& b);
