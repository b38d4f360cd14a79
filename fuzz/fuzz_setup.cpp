// Fuzz set-up (keeps the target table and the one-time start of the runtime pieces the targets drive).
#include <cstdio>
#include <cstdlib>

#include "fuzz/fuzz_targets.h"
#include "runtime/console/screen.h"
#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/fpu.h"
#include "runtime/values/strings.h"

const char* fuzz_current_input = nullptr;

const fuzz_target fuzz_targets[6] = {
    {"val", fuzz_val},     {"read", fuzz_read},   {"input_fields", fuzz_input_fields},
    {"print", fuzz_print}, {"chain", fuzz_chain}, {"strings", fuzz_strings},
};

void fuzz_fail(const char* what, const char* file, int line) {
  std::fprintf(stderr, "%s:%d: invariant broken: %s (input %s)\n", file, line, what,
               fuzz_current_input ? fuzz_current_input : "?");
  std::abort();
}

void fuzz_runtime_ready() {
  static bool done = false;
  if (done) return;
  set_fpu_mode();
  conventional_memory_clear();
  string_storage_init();
  screen_startup();
  done = true;
}
