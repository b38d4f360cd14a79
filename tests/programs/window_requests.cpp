// Test program: renames its window, asks the window thread for the screen width, hides the window and ends.
#include <cstdio>

#include "runtime/ground/sleeping.h"
#include "runtime/top/error_handling.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "runtime/window/window.h"
#include "tests/programs/program_prologue.h"

static void program() {
  uint32_t mark = program_prologue();
  request_set_window_title("Renamed window");
  statement_end(mark, 1);
  char text[64];
  std::snprintf(text, sizeof text, "W=%d X=%d", window_get(200), window_get(100));
  print_line(text);
  statement_end(mark, 2);
  // Wait for the test to read the screen: it answers with a key.
  while (!key_ring_filled()) {
    sleep_ms(10);
    line_event_check(0, 0, nullptr);
  }
  request_exclusive();
  release_exclusive();
  request_hide_window();
  statement_end(mark, 3);
  end_program();  // hidden: no key wait
}

int main(int argc, char** argv) { return runtime_main(argc, argv, program); }
