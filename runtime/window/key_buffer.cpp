// BIOS key ring (keeps the keys typed but not yet read, inside the emulated BIOS data area).
#include <cstring>

#include "runtime/console/conventional_memory.h"
#include "runtime/core/errors.h"
#include "runtime/values/strings.h"
#include "runtime/window/keyboard.h"

// The ring has one writer per offset byte: the window thread owns the tail, the program
// thread the head. Each side loads the other's byte with acquire and publishes its own
// with release, so the slot bytes written before a store are seen after the load.
namespace {

uint8_t* offset_byte(uint32_t address) { return conventional_memory + address; }

uint8_t load_offset(uint32_t address, int order) {
  uint8_t value = __atomic_load_n(offset_byte(address), order);
  // The program may POKE the BIOS area; a value that is not a slot offset counts as the
  // first slot so the ring never reaches past its 32 bytes.
  if (value < bios_key_first || value > bios_key_last || (value & 1)) value = bios_key_first;
  return value;
}

void store_offset(uint32_t address, uint8_t value) {
  __atomic_store_n(offset_byte(address), value, __ATOMIC_RELEASE);
}

uint8_t next_offset(uint8_t offset) {
  return offset >= bios_key_last ? bios_key_first : static_cast<uint8_t>(offset + 2);
}

}  // namespace

void key_buffer_startup() {
  // Before the window thread exists: both offsets may be set.
  store_offset(bios_key_head, bios_key_first);
  store_offset(bios_key_head + 1, 0);
  store_offset(bios_key_tail, bios_key_first);
  store_offset(bios_key_tail + 1, 0);
}

bool bios_key_put(uint8_t character, uint8_t scan) {
  uint8_t tail = load_offset(bios_key_tail, __ATOMIC_RELAXED);
  uint8_t head = load_offset(bios_key_head, __ATOMIC_ACQUIRE);
  uint8_t next = next_offset(tail);
  if (next == head) return false;  // 15 keys wait: the new one is lost
  uint8_t* slot = conventional_memory + 0x400 + tail;
  __atomic_store_n(slot, character, __ATOMIC_RELAXED);
  __atomic_store_n(slot + 1, scan, __ATOMIC_RELAXED);
  store_offset(bios_key_tail, next);
  return true;
}

int32_t bios_key_count() {
  int32_t head = load_offset(bios_key_head, __ATOMIC_ACQUIRE);
  int32_t tail = load_offset(bios_key_tail, __ATOMIC_ACQUIRE);
  int32_t slots = (tail - head) / 2;
  return slots < 0 ? slots + 16 : slots;
}

rt_string* read_key() {
  uint8_t head = load_offset(bios_key_head, __ATOMIC_RELAXED);
  uint8_t tail = load_offset(bios_key_tail, __ATOMIC_ACQUIRE);
  if (head == tail) return string_new(0, true);
  const uint8_t* slot = conventional_memory + 0x400 + head;
  uint8_t character = __atomic_load_n(slot, __ATOMIC_RELAXED);
  uint8_t scan = __atomic_load_n(slot + 1, __ATOMIC_RELAXED);
  store_offset(bios_key_head, next_offset(head));
  // string_new may move heap strings; the new record's chars are written at once.
  if (character != 0 || scan == 0) {
    rt_string* key = string_new(1, true);
    key->chars[0] = character;
    return key;
  }
  rt_string* key = string_new(2, true);
  key->chars[0] = 0;
  key->chars[1] = scan;
  return key;
}

void clear_key_buffers(int32_t selector, int32_t passed) {
  bool all = (passed & 1) == 0;
  if (!all && (selector < 1 || selector > 3)) {
    raise_error(5);
    return;
  }
  if (all || selector == 1) {
    // Only the reader's byte moves: the head catches up with the tail. Resetting both
    // to 30 from this thread could cross a key the window thread is depositing.
    store_offset(bios_key_head, load_offset(bios_key_tail, __ATOMIC_ACQUIRE));
  }
  if (all || selector == 2) key_hit_clear();
  if (all || selector == 3) scan_code_clear();
}
