// Test program: PRINTs known text in several colours, blinking text and a LOCATEd line, then ends with END.
#include "runtime/console/screen.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "tests/programs/program_prologue.h"

namespace {

void colored_line(uint32_t foreground, uint32_t background, const char* text) {
  color_set(foreground, background, 0, 1 | 2);
  print_line(text);
}

void program() {
  uint32_t mark = program_prologue();
  colored_line(14, 1, "Yellow on blue");
  statement_end(mark, 1);
  colored_line(10, 0, "Light green on black");
  statement_end(mark, 2);
  colored_line(15, 4, "White on red: 0123456789 !\"#$%&'()*+,-./:;<=>?@[\\]^_`{|}~");
  statement_end(mark, 3);
  colored_line(4 + 16, 7, "Blinking red on grey");
  statement_end(mark, 4);
  color_set(7, 0, 0, 1 | 2);
  cursor_locate(12, 30, 0, 0, 0, 1 | 2);
  print_line("placed at row 12, column 30");
  statement_end(mark, 5);
  end_program();
}

}  // namespace

int main(int argc, char** argv) { return runtime_main(argc, argv, program); }
