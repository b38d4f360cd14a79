// Process start-up (keeps the ordered start-up of the window thread and the program thread entry).
#include <cstring>

#include "runtime/console/conventional_memory.h"
#include "runtime/console/screen.h"
#include "runtime/core/errors.h"
#include "runtime/core/lifecycle.h"
#include "runtime/values/strings.h"
#include "runtime/window/keyboard.h"
#include "runtime/window/renderer.h"
#include "runtime/window/window.h"

namespace {
uint64_t* const program_thread_handle = new uint64_t(0);      // zeroed handle cells, never freed
uint64_t* const event_timer_thread_handle = new uint64_t(0);
}  // namespace

void* program_thread_main(void*) {
  if (main_routine) main_routine();
  // A routine that runs off its end behaves as if it had executed END.
  end_program();
}

int runtime_main(int argc, char** argv, program_routine routine) {
  main_routine = routine;
  renderer_reset();                                // 1
  if (start_hidden) screen_hidden = 1;             // 3
  event_traps_startup();                           // 4, 5
  conventional_memory_clear();                     // 10
  string_storage_init();                           // 10, 11
  start_directory_startup();                       // 12
  change_to_executable_folder();                   // 13
  command_line_startup(argc, argv);                // 15
  key_buffer_startup();                            // 16
  screen_startup();                                // 6, 7, 17, 18
  screen_is_default = 1;
  prepare_window(argc, argv);                      // 21
  start_thread(program_thread_handle, program_thread_main, nullptr);          // 22
  start_thread(event_timer_thread_handle, event_timer_thread_main, nullptr);
  threads_started = 1;                             // 23
  run_window_loop(argc, argv);                     // 24
}
