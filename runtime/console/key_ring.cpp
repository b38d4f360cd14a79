// BIOS key ring (keeps the keys typed but not yet read, inside the emulated BIOS data area, and the count of its clears).
#include "runtime/console/key_ring.h"

#include <cstring>
#include <mutex>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/wake_signal.h"
#include "runtime/values/strings.h"

// The ring has one writer per offset byte: the tail moves only under the backlog's mutex
// (the window or terminal key thread putting a key, or the reader moving waiting keys in), the head only
// on the program thread. Each side loads the other's byte with acquire and publishes its
// own with release, so the slot bytes written before a store are seen after the load.
namespace {

// Keys that came while the ring was full, oldest first. A burst of key events reaches
// the callbacks faster than any reader takes keys, so instead of dropping them the
// keys wait here and move into the ring as the reader frees it. Made once, never freed:
// the window or terminal key thread may take keys while exit runs.
struct key_backlog_state {
  std::mutex mutex;                    // guards the rest, and every move of the ring's tail
  uint8_t keys[key_backlog_capacity][2];  // character, scan code
  int32_t head;                        // oldest waiting key
  int32_t count;                       // keys waiting
};
key_backlog_state& backlog = *new key_backlog_state();
std::atomic<int32_t> backlog_count{0};  // copy of backlog.count the reader may look at without the mutex
std::atomic<uint32_t> clear_count{0};     // clears so far; moves only under backlog.mutex
wake_signal& key_arrived = *new wake_signal;  // bumped for every key put, and to end waits at shutdown

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

// Appends a key to the ring; false when 15 keys wait already. Caller holds backlog.mutex.
bool ring_put_locked(uint8_t character, uint8_t scan) {
  uint8_t tail = load_offset(bios_key_tail, __ATOMIC_RELAXED);
  uint8_t head = load_offset(bios_key_head, __ATOMIC_ACQUIRE);
  uint8_t next = next_offset(tail);
  if (next == head) return false;
  uint8_t* slot = conventional_memory + bios_data_area + tail;
  __atomic_store_n(slot, character, __ATOMIC_RELAXED);
  __atomic_store_n(slot + 1, scan, __ATOMIC_RELAXED);
  store_offset(bios_key_tail, next);
  return true;
}

// Moves waiting keys into the ring while it has room (program thread, after a read).
void backlog_refill() {
  if (backlog_count.load(std::memory_order_acquire) == 0) return;
  std::lock_guard<std::mutex> hold(backlog.mutex);
  while (backlog.count > 0 && ring_put_locked(backlog.keys[backlog.head][0], backlog.keys[backlog.head][1])) {
    backlog.head = (backlog.head + 1) % key_backlog_capacity;
    --backlog.count;
  }
  backlog_count.store(backlog.count, std::memory_order_release);
}

// Appends a key to the ring, or to the backlog behind keys already waiting there; false
// when the backlog is full too. Caller holds backlog.mutex.
bool key_put_locked(uint8_t character, uint8_t scan) {
  // Keys already waiting go first, so the order typed is the order read.
  if (backlog.count == 0 && ring_put_locked(character, scan)) return true;
  if (backlog.count >= key_backlog_capacity) return false;
  uint8_t* entry = backlog.keys[(backlog.head + backlog.count) % key_backlog_capacity];
  entry[0] = character;
  entry[1] = scan;
  ++backlog.count;
  backlog_count.store(backlog.count, std::memory_order_release);
  return true;
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
  bool kept = false;
  {
    std::lock_guard<std::mutex> hold(backlog.mutex);
    kept = key_put_locked(character, scan);
  }
  wake_all(key_arrived);
  return kept;
}

bool bios_key_put_unless_cleared(uint8_t character, uint8_t scan, uint32_t mark) {
  {
    std::lock_guard<std::mutex> hold(backlog.mutex);
    // Checked under the mutex the clear holds: the key is either in before the clear, and
    // cleared with the rest, or comes after it and is dropped here.
    if (clear_count.load(std::memory_order_relaxed) != mark || !key_put_locked(character, scan)) return false;
  }
  wake_all(key_arrived);
  return true;
}

void (*read_keys_while_waiting)(int32_t timeout_ms) = nullptr;

bool key_wait(int32_t timeout_ms) {
  uint32_t ticket = wake_ticket(key_arrived);
  if (bios_key_count() > 0) return true;
  if (stop_all.load()) return false;
  if (read_keys_while_waiting) {
    read_keys_while_waiting(timeout_ms);
  } else {
    wake_wait(key_arrived, ticket, timeout_ms);
  }
  return bios_key_count() > 0;
}

void key_waiters_wake() { wake_all(key_arrived); }

int32_t bios_key_count() {
  int32_t head = load_offset(bios_key_head, __ATOMIC_ACQUIRE);
  int32_t tail = load_offset(bios_key_tail, __ATOMIC_ACQUIRE);
  int32_t slots = (tail - head) / 2;
  return slots < 0 ? slots + 16 : slots;
}

int32_t key_backlog_count() { return backlog_count.load(std::memory_order_acquire); }

int32_t bios_key_take() {
  uint8_t head = load_offset(bios_key_head, __ATOMIC_RELAXED);
  uint8_t tail = load_offset(bios_key_tail, __ATOMIC_ACQUIRE);
  if (head == tail) return -1;
  const uint8_t* slot = conventional_memory + bios_data_area + head;
  uint8_t character = __atomic_load_n(slot, __ATOMIC_RELAXED);
  uint8_t scan = __atomic_load_n(slot + 1, __ATOMIC_RELAXED);
  store_offset(bios_key_head, next_offset(head));
  backlog_refill();
  return character != 0 || scan == 0 ? character : scan * 256;
}

rt_string* read_key() {
  int32_t code = bios_key_take();
  if (code < 0) return string_new(0, true);
  // string_new may move heap strings; the new record's chars are written at once.
  if (code < 256) {
    rt_string* key = string_new(1, true);
    key->chars[0] = static_cast<uint8_t>(code);
    return key;
  }
  rt_string* key = string_new(2, true);
  key->chars[0] = 0;
  key->chars[1] = static_cast<uint8_t>(code / 256);
  return key;
}

void key_ring_clear() {
  // Only the reader's byte moves: the head catches up with the tail. Resetting both
  // to 30 from this thread could cross a key the window thread is depositing.
  std::lock_guard<std::mutex> hold(backlog.mutex);
  backlog.count = 0;
  backlog_count.store(0, std::memory_order_release);
  store_offset(bios_key_head, load_offset(bios_key_tail, __ATOMIC_ACQUIRE));
  clear_count.fetch_add(1);
}

uint32_t key_ring_clear_count() { return clear_count.load(); }
