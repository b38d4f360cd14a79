// Process start-up (keeps the ordered start-up of the main thread and the program thread entry).
#include "runtime/console/key_ring.h"
#include "runtime/console/screen.h"
#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/event_traps.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/threads.h"
#include "runtime/ground/timers.h"
#include "runtime/top/error_handling.h"
#include "runtime/top/front_end.h"
#include "runtime/top/program_end.h"
#include "runtime/top/startup.h"
#include "runtime/values/strings.h"
#include "runtime/window/frame_presenter.h"

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
  choose_front_end(&argc, argv);     // its options are no arguments of the program
  set_fatal_error_reporter(report_fatal_error);
  renderer_reset();                  // drawing state unknown, frame slots free
  if (start_hidden) screen_hidden = 1;
  event_traps_startup();             // ON KEY codes, timer slot 0
  conventional_memory_clear();       // the string area lives in it: clear first
  string_storage_init();
  start_directory_startup();         // before the move below
  change_to_executable_folder();
  command_line_startup(argc, argv);
  key_buffer_startup();
  screen_startup();                  // fonts, image table, palettes, SCREEN 0
  screen_is_default = 1;
  if (has_console) console_page_new();
  input_devices_startup();
  front_end_prepare(argc, argv);     // the window made (unless hidden), or the terminal taken
  start_thread(program_thread_handle, program_thread_main, nullptr);
  start_thread(event_timer_thread_handle, event_timer_thread_main, nullptr);
  threads_started = 1;
  front_end_run(argc, argv);         // the window's threads and loop, or the terminal's, for good
}
