// Test program: prints WAIT, waits until a key lands in the key ring, prints GO and ends with END.
// With "manual" as argument 1 it switches automatic display off before GO, so only END's
// own switch back can bring the last lines and the prompt to the window; with "width" it
// hides the cursor (nothing on screen blinks) and rebuilds the screen with WIDTH 40, then 80.
#include <cstring>

#include "runtime/console/screen.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/top/error_handling.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "tests/programs/program_prologue.h"

static void program() {
  uint32_t mark = program_prologue();
  print_line("WAIT");
  statement_end(mark, 1);
  // The key stays in the ring: END must discard it and wait for a new one.
  while (!key_ring_filled()) {
    sleep_ms(10);
    line_event_check(0, 0, nullptr);
  }
  if (argument_count > 1 && std::strcmp(argument_vector[1], "manual") == 0) auto_display = 0;
  if (argument_count > 1 && std::strcmp(argument_vector[1], "width") == 0) {
    write_target->cursor_visible = 0;
    screen_width(0, 40, 25, 0, 0, 3);
    screen_width(0, 80, 25, 0, 0, 3);
  }
  print_line("GO");
  statement_end(mark, 2);
  end_program();
}

int main(int argc, char** argv) { return runtime_main(argc, argv, program); }
