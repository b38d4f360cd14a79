// CHAIN hand-over fuzz target: any bytes as the hand-over file, applied to a fresh start-up screen.
#include "fuzz/fuzz_targets.h"
#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/top/chain.h"
#include "runtime/ground/errors.h"

void fuzz_chain(const uint8_t* data, size_t size) {
  pending_error = 0;
  screen_startup();
  chain_apply(data, size);
  pending_error = 0;
  // A hand-over names at most pages 0 to 255, and never a grid WIDTH refuses.
  FUZZ_CHECK(page_table_size <= 256);
  const screen_image* page = visual_page.load();
  FUZZ_CHECK(page != nullptr);
  if (page->is_text && page->font_id < 49) {
    FUZZ_CHECK(int64_t{page->width} * font_width[page->font_id] <= frame_side_limit);
    FUZZ_CHECK(int64_t{page->height} * font_height[page->font_id] <= frame_side_limit);
  }
}
