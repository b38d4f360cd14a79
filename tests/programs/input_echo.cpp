// Test program: asks "Name? ", reads one line into a string with INPUT, prints it back and ends with END.
#include "runtime/console/input.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "tests/programs/program_prologue.h"

static rt_string* name_text;  // the program's string variable

static void program() {
  uint32_t mark = program_prologue();
  name_text = string_new(0, false);
  print_text(string_from_text("Name"), 0);
  print_text(string_from_text("? "), 0);
  input_dest_ptrs[1] = name_text;
  input_dest_types[1] = input_type_string;
  input_statement(1, 1);
  statement_end(mark, 1);
  print_text(name_text, 1);
  statement_end(mark, 2);
  end_program();
}

int main(int argc, char** argv) { return runtime_main(argc, argv, program); }
