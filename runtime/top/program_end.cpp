// END (keeps the end of the program: the closing prompt, the key wait and the hand-over to shutdown).
#include <cstdio>
#include <cstring>

#include "runtime/console/key_ring.h"
#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/process_exit.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/threads.h"
#include "runtime/top/front_end.h"
#include "runtime/values/strings.h"

void end_program() {
  program_ended = 1;
  close_all();
  exit_trapped = 0;  // a close click during the wait ends the program (one made before, now)
  wake_all(screen_change_signal);
  if (!screen_hidden) {
    uint32_t mark = temp_count;
    screen_image* page = visual_page.load();
    if (page) {
      current_images_set(visual_page_index, read_source_index, visual_page_index);
      int32_t rows = text_rows(page);
      view_print_set(rows, rows, 3);
      print_newline();
      print_text(string_from_text("Press any key to continue"), 0);
    }
    string_release_temporaries(mark, 0);
    // Keys typed before END never answer the prompt, nor do the rest of a paste clicked
    // before it that the window thread is still feeding.
    key_ring_clear();
    if (auto_display.exchange(display_automatic) != display_automatic) wake_all(screen_change_signal);
    for (;;) {
      // No passes: only a key or shutdown ends the wait.
      key_wait(-1);
      if (stop_all) park_program_thread();
      if (bios_key_take() >= 0) break;
    }
  } else if (has_console) {
    std::fputs("\nPress enter to continue", stdout);
    std::fflush(stdout);
    std::getchar();
  }
  close_requested = 1;
  front_end_program_closing();
  park_program_thread();
}
