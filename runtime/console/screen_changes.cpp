// Screen change notices (keeps the word that tells the frame thread the screen changed, and the front-end's hook that shows a change at once).
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"

bool (*show_screen_change_now)() = nullptr;

namespace {
thread_local bool holding = false;  // this thread's changes are held back (hold_screen_changes)
}  // namespace

void hold_screen_changes(bool on) { holding = on; }

void screen_changed(const screen_image* image) {
  if (holding) return;
  if (image && image != visual_page.load(std::memory_order_relaxed)) return;
  if (screen_change_pending.load(std::memory_order_relaxed)) return;
  if (show_screen_change_now && show_screen_change_now()) return;
  screen_change_pending.store(1);
  wake_all(screen_change_signal);
}
