// Pasted keys (keeps the rules by which pasted text becomes typed keys).
#include "runtime/console/pasted_keys.h"

#include "runtime/console/code_page.h"
#include "runtime/console/key_ring.h"
#include "runtime/console/keyboard_table.h"
#include "runtime/console/print.h"

std::vector<uint8_t> paste_keys(const std::vector<char32_t>& text) {
  std::vector<uint8_t> keys;
  for (size_t i = 0; i < text.size() && int32_t(keys.size()) < paste_capacity; ++i) {
    char32_t c = text[i];
    int32_t code;
    if (c == '\r') {
      code = ctrl_return;
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
    } else if (c == '\n') {
      code = ctrl_return;
    } else if (c == '\t') {
      code = ctrl_tab;
    } else {
      code = code_page_437_from_unicode(c);
    }
    if (code > 0) keys.push_back(uint8_t(code));
  }
  return keys;
}

bool put_pasted_keys(const std::vector<char32_t>& text, uint32_t clear_mark) {
  std::vector<uint8_t> keys = paste_keys(text);
  for (uint8_t key : keys) {
    uint8_t character = 0, scan = 0;
    if (!character_key_entry(key, key_column_normal, &character, &scan)) continue;
    if (!bios_key_put_unless_cleared(character, scan, clear_mark)) break;  // cleared: the rest goes too
  }
  return !keys.empty();
}
