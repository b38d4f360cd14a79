// Screen change notices (keeps the word that tells the frame thread the screen changed).
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"

void screen_changed(const screen_image* image) {
  if (image && image != visual_page.load(std::memory_order_relaxed)) return;
  if (screen_change_pending.load(std::memory_order_relaxed)) return;
  screen_change_pending.store(1);
  wake_all(screen_change_signal);
}
