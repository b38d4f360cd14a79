// Front-end choice (keeps which front-end shows the screen, and hands each front-end call to the chosen one).
#include "runtime/top/front_end.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/ground/process_exit.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/wake_signal.h"
#include "runtime/terminal/terminal.h"
#include "runtime/terminal/terminal_modes.h"
#include "runtime/terminal/terminal_painter.h"
#include "runtime/window/message_box.h"
#include "runtime/window/window.h"

front_end_kind front_end = front_end_window;

void choose_front_end(int* argc, char** argv) {
  bool tty = false, window = false;
  int kept = 1;
  for (int i = 1; i < *argc; ++i) {
    if (std::strcmp(argv[i], "--tty") == 0) {
      tty = true;
      window = false;
    } else if (std::strcmp(argv[i], "--window") == 0) {
      window = true;
      tty = false;
    } else {
      argv[kept++] = argv[i];
    }
  }
  if (kept < *argc) argv[kept] = nullptr;
  *argc = kept;
  const char* display = std::getenv("DISPLAY");
  const char* kind = std::getenv("TERM");
  bool no_display = !display || !*display;
  bool drawable = !kind || std::strcmp(kind, "dumb") != 0;  // a dumb terminal cannot place text
  if (tty || (!window && no_display && !has_console && drawable && terminal_present()))
    front_end = front_end_terminal;
  if (front_end == front_end_terminal && !terminal_present()) {
    std::fprintf(stderr, "brightness: --tty needs a terminal on standard input and output\n");
    std::exit(exit_status_no_display_mode);
  }
}

void front_end_prepare(int argc, char** argv) {
  if (front_end == front_end_window) {
    prepare_window(argc, argv);  // unless hidden, the window exists from here on
    return;
  }
  if (!prepare_terminal()) {
    std::fprintf(stderr, "brightness: cannot take over the terminal\n");
    std::exit(exit_status_no_display_mode);
  }
}

void front_end_run(int argc, char** argv) {
  if (front_end == front_end_window) run_window_loop(argc, argv);  // frame thread, then the GLUT loop for good
  run_terminal_loop();
}

int front_end_error_box(const char* message, const char* title, const char* dialog_type) {
  if (front_end == front_end_window) return show_error_box(message, title, dialog_type);
  return terminal_error_box(message, title, dialog_type);
}

void front_end_program_closing() {
  // The frame thread and the painter both sleep until told.
  if (front_end == front_end_terminal) {
    terminal_painter_wake();
  } else {
    wake_all(screen_change_signal);
  }
}

void end_process(int32_t status) {
  if (front_end == front_end_window) exit_process(status);
  terminal_exit(status);
}
