// brightness-curve: the calculator's curve as tables and plots on the command line, with no window.
#include <cstdio>

#include "app/curve_request.h"
#include "app/curve_run.h"
#include "runtime/ground/fpu.h"

int main(int argc, char** argv) {
  set_fpu_mode();  // VAL works in extended precision, as on the calculator's program thread
  curve_request request;
  const int status = read_command_line(argc, argv, &request);
  if (status >= 0) return status;
  return run_curve_request(request, stdin, stdout, stderr);
}
