// Test program: prints RUN and then runs statements for ever (only shutdown ends it). With
// "trap" as argument 1 it handles the close button itself: prints CLOSED and ends with END.
#include <cstring>

#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/top/error_handling.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "runtime/window/window.h"
#include "tests/programs/program_prologue.h"

static void program() {
  uint32_t mark = program_prologue();
  bool trap = argument_count > 1 && std::strcmp(argument_vector[1], "trap") == 0;
  if (trap) exit_trapped = 1;
  print_line("RUN");
  statement_end(mark, 1);
  for (;;) {
    sleep_ms(10);
    line_event_check(2, 0, nullptr);
    if (trap && (exit_request_bits.load() & 1)) {
      exit_request_bits.fetch_and(~1);
      print_line("CLOSED");
      statement_end(mark, 3);
      end_program();
    }
  }
}

int main(int argc, char** argv) { return runtime_main(argc, argv, program); }
