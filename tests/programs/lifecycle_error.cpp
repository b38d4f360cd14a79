// Test program: raises the error given as argument 1 (default 9) in line 37, prints AFTER, ends.
// With "handler" as argument 2 an ON ERROR handler is armed that the program does not have.
#include <cstdlib>
#include <cstring>

#include "runtime/ground/program_settings.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "tests/programs/program_prologue.h"

static int32_t error_number = 9;

static void program() {
  uint32_t mark = program_prologue();
  if (argument_count > 2 && std::strcmp(argument_vector[2], "handler") == 0) error_handler_armed = 1;
  print_line("BEFORE");
  statement_end(mark, 36);
  raise_error(error_number);
  print_line("LOST");  // does nothing: an error is pending
  statement_end(mark, 37);
  print_line("AFTER");
  statement_end(mark, 38);
  end_program();
}

int main(int argc, char** argv) {
  if (argc > 1) error_number = std::atoi(argv[1]);
  return runtime_main(argc, argv, program);
}
