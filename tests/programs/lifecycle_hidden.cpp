// Test program without a window: reports COMMAND$ and the directories on standard output,
// then ends; "handler" as argument 1 jumps to a missing error handler, "divide" faults.
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "runtime/ground/program_settings.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "tests/programs/program_prologue.h"

static std::string text_of(const rt_string* s) { return std::string(reinterpret_cast<const char*>(s->chars), s->len); }

// A real integer division fault; the sanitizer would report it before the CPU does.
__attribute__((no_sanitize("undefined"))) static int divide(int a, int b) { return a / b; }

static void program() {
  uint32_t mark = program_prologue();
  char here[4096];
  std::printf("CMD=[%s]\n", text_of(command_line).c_str());
  std::printf("START=[%s]\n", text_of(start_directory).c_str());
  std::printf("CWD=[%s]\n", getcwd(here, sizeof here) ? here : "?");
  std::fflush(stdout);
  statement_end(mark, 1);
  if (argument_count > 1 && std::strcmp(argument_vector[1], "handler") == 0) {
    error_handler_armed = 1;
    raise_error(5);
    statement_end(mark, 2);
  }
  if (argument_count > 1 && std::strcmp(argument_vector[1], "divide") == 0) {
    volatile int zero = 0;
    volatile int quotient = divide(7, zero);
    (void)quotient;
  }
  end_program();
}

int main(int argc, char** argv) {
  start_hidden = 1;
  return runtime_main(argc, argv, program);
}
