// String storage (keeps the record pool, the string heap, the temporary list and the making of every kind of string).
#include "runtime/values/static_arena.h"
#include "runtime/values/strings.h"

#include <cassert>
#include <cstdlib>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/string_storage.h"

namespace {

constexpr uint32_t record_block_records = 65536;  // records per pool block
constexpr uint32_t initial_list_capacity = 65535;
constexpr size_t initial_heap_size = 1048576;
constexpr size_t heap_slack = 32;  // room after each new heap string to grow into

// Record pool state.
rt_string* record_block = nullptr;    // block in use, handed out front to back
uint32_t record_block_next = 0;       // next unused record of that block
rt_string** free_records = nullptr;   // free stack of released records
uint32_t free_record_count = 0;       // records on the free stack
uint32_t free_record_capacity = 0;    // room on the free stack

bool storage_ready = false;           // string_storage_init has run

uint8_t empty_text[1] = {0};          // chars of empty literal strings (never written)
uint8_t space_text[1] = {' '};        // chars of one_space

void* checked_realloc(void* block, size_t bytes, int32_t error_number) {
  void* grown = std::realloc(block, bytes);
  if (!grown) raise_fatal_error(error_number);
  return grown;
}

// Removes dead slots from a list, keeping order, and renumbers the live records.
void squeeze_list(string_list& list) {
  uint32_t kept = 0;
  for (uint32_t i = 0; i < list.count; ++i) {
    rt_string* s = list.slots[i];
    if (slot_is_dead(s)) continue;
    s->list_index = kept;
    list.slots[kept++] = s;
  }
  list.count = kept;
}

// Lowers the heap list's count while its topmost slot is dead, then sets heap_used
// to the end of the last live string plus slack (within the heap), or 0.
void heap_trim_top() {
  string_list& list = heap_string_list;
  while (list.count > 0 && slot_is_dead(list.slots[list.count - 1])) --list.count;
  if (list.count == 0) {
    heap_used = 0;
    return;
  }
  const rt_string* last = list.slots[list.count - 1];
  size_t end = static_cast<size_t>(last->chars - string_heap) + static_cast<size_t>(last->len) + heap_slack;
  heap_used = end < string_heap_size ? end : string_heap_size;
}

// Heap compaction: moves strings down over holes wider than the slack, squeezes dead
// slots out of the list, and grows the block when it is still more than about half
// full. Moves heap strings and may move the whole heap: earlier `chars` pointers die.
void heap_compact(size_t need) {
  string_list& list = heap_string_list;
  size_t write = 0;
  for (uint32_t i = 0; i < list.count; ++i) {
    rt_string* s = list.slots[i];
    if (slot_is_dead(s)) continue;
    size_t at = static_cast<size_t>(s->chars - string_heap);
    if (at > write + heap_slack) {
      std::memmove(string_heap + write, s->chars, static_cast<size_t>(s->len));
      s->chars = string_heap + write;
      at = write;
    }
    write = at + static_cast<size_t>(s->len);
  }
  squeeze_list(list);
  heap_used = write;
  if (need + 2 * heap_used + heap_slack < string_heap_size) return;

  size_t new_size = need + 2 * string_heap_size;
  uintptr_t old_base = reinterpret_cast<uintptr_t>(string_heap);
  uint8_t* grown = static_cast<uint8_t*>(checked_realloc(string_heap, new_size, error_string_heap_memory));
  for (uint32_t i = 0; i < list.count; ++i) {
    rt_string* s = list.slots[i];
    s->chars = grown + (reinterpret_cast<uintptr_t>(s->chars) - old_base);
  }
  string_heap = grown;
  string_heap_size = new_size;
}

// The list a record's bytes are kept in (heap or conventional area).
string_list& owning_list(const rt_string* s) { return s->in_cmem ? cmem_string_list : heap_string_list; }

// Places dest's bytes anew at the fill position of its storage and copies src there.
// May compact the heap or the conventional area: earlier `chars` pointers die.
void relocate(rt_string* dest, const rt_string* src) {
  size_t length = static_cast<size_t>(src->len);
  if (!dest->readonly) {
    string_list& old_list = owning_list(dest);
    assert(dest->list_index < old_list.count && old_list.slots[dest->list_index] == dest);
    old_list.slots[dest->list_index] = dead_slot();
  }
  dest->readonly = 0;
  if (dest->in_cmem) {
    if (cmem_used + length > cmem_top) cmem_compact(static_cast<uint32_t>(length));
    string_list_append(cmem_string_list, dest, error_cmem_list_memory);
    dest->chars = cmem_area + cmem_used;
    cmem_used += static_cast<uint32_t>(length);
  } else {
    if (heap_used + length > string_heap_size) heap_compact(length);
    string_list_append(heap_string_list, dest, error_heap_list_memory);
    dest->chars = string_heap + heap_used;
    heap_used += length;
  }
  // src->chars is read only now: the compaction above may have moved it.
  if (length) std::memmove(dest->chars, src->chars, length);
  dest->len = src->len;
}

// Growth of dest (heap or conventional) to hold src: in place when nothing live
// follows within reach, otherwise relocation. A temporary source in the same list
// would have been taken over, so every live record counts as an obstacle here.
// May compact: earlier `chars` pointers die.
void grow(rt_string* dest, const rt_string* src) {
  if (dest->readonly) {  // literal text has no storage to grow: give it some
    relocate(dest, src);
    return;
  }
  string_list& list = owning_list(dest);
  uint8_t* base = dest->in_cmem ? cmem_area : string_heap;
  size_t bound = dest->in_cmem ? cmem_top : string_heap_size;
  size_t new_end = static_cast<size_t>(dest->chars - base) + static_cast<size_t>(src->len);
  uint32_t index = dest->list_index;
  assert(index < list.count && list.slots[index] == dest);
  for (uint32_t i = index + 1; i < list.count; ++i) {
    const rt_string* next = list.slots[i];
    if (slot_is_dead(next)) continue;
    if (static_cast<size_t>(next->chars - base) < new_end) {
      relocate(dest, src);
    } else {
      std::memmove(dest->chars, src->chars, static_cast<size_t>(src->len));
      dest->len = src->len;
    }
    return;
  }
  list.count = index + 1;  // everything above was dead
  if (new_end > bound) {
    relocate(dest, src);
    return;
  }
  std::memmove(dest->chars, src->chars, static_cast<size_t>(src->len));
  dest->len = src->len;
  if (dest->in_cmem) {
    cmem_used = static_cast<uint32_t>(new_end);
  } else {
    heap_used = new_end;
  }
}

}  // namespace

int32_t checked_length(int32_t length) {
  if (length >= 0) return length;
  raise_error(error_illegal_function_call);
  return 0;
}

// Storage globals.
uint8_t* string_heap = nullptr;
size_t string_heap_size = 0;
size_t heap_used = 0;
string_list heap_string_list = {nullptr, 0, 0};
rt_string** temp_list = nullptr;
uint32_t temp_capacity = 0;
uint32_t temp_count = 1;
rt_string* null_string = nullptr;
rt_string* one_space = nullptr;

void string_storage_init() {
  if (storage_ready) return;
  storage_ready = true;  // set first: the permanent strings below take records

  free_record_capacity = record_block_records;
  free_records = static_cast<rt_string**>(
      checked_realloc(nullptr, free_record_capacity * sizeof(rt_string*), error_string_records_memory));
  record_block = static_cast<rt_string*>(std::calloc(record_block_records, sizeof(rt_string)));
  if (!record_block) raise_fatal_error(error_string_records_memory);
  record_block_next = 0;

  string_heap_size = initial_heap_size;
  string_heap = static_cast<uint8_t*>(checked_realloc(nullptr, string_heap_size, error_string_heap_memory));
  heap_used = 0;

  heap_string_list.capacity = initial_list_capacity;
  heap_string_list.count = 0;
  heap_string_list.slots = static_cast<rt_string**>(
      checked_realloc(nullptr, (size_t{initial_list_capacity} + 1) * sizeof(rt_string*), error_heap_list_memory));

  temp_capacity = initial_list_capacity;
  temp_list = static_cast<rt_string**>(std::calloc(size_t{temp_capacity} + 1, sizeof(rt_string*)));
  if (!temp_list) raise_fatal_error(error_temp_list_memory);
  temp_count = 1;

  cmem_area_init();
  static_arena_init();

  null_string = string_new_cmem(0, false);
  one_space = string_record_take();
  one_space->chars = space_text;
  one_space->len = 1;
  one_space->readonly = 1;
}

rt_string* string_record_take() {
  if (!storage_ready) string_storage_init();
  rt_string* s;
  if (free_record_count > 0) {
    s = free_records[--free_record_count];
    std::memset(s, 0, sizeof *s);
    return s;
  }
  if (record_block_next == record_block_records) {
    record_block = static_cast<rt_string*>(std::calloc(record_block_records, sizeof(rt_string)));
    if (!record_block) raise_fatal_error(error_string_records_memory);
    record_block_next = 0;
  }
  return &record_block[record_block_next++];
}

void string_record_release(rt_string* s) {
  if (free_record_count == free_record_capacity) {
    if (free_record_capacity > UINT32_MAX / 2) raise_fatal_error(error_string_records_memory);
    free_record_capacity *= 2;
    free_records = static_cast<rt_string**>(
        checked_realloc(free_records, size_t{free_record_capacity} * sizeof(rt_string*), error_string_records_memory));
  }
  s->chars = nullptr;  // a stale use shows up as a null access, not as silent reuse
  s->len = 0;
  free_records[free_record_count++] = s;
}

void string_list_append(string_list& list, rt_string* s, int32_t grow_error) {
  if (list.count > list.capacity) {
    // Dead slots pile up below live ones (take-over, relocation); drop them before
    // deciding to grow, and grow only when more than half is still live.
    squeeze_list(list);
    if (list.count > list.capacity / 2) {
      if (list.capacity > UINT32_MAX / 2 - 1) raise_fatal_error(grow_error);
      list.capacity *= 2;
      list.slots = static_cast<rt_string**>(
          checked_realloc(list.slots, (size_t{list.capacity} + 1) * sizeof(rt_string*), grow_error));
    }
  }
  s->list_index = list.count;
  list.slots[list.count++] = s;
}

void string_temp_append(rt_string* s) {
  if (temp_count > temp_capacity) {
    if (temp_capacity > UINT32_MAX / 2 - 1) raise_fatal_error(error_temp_list_memory);
    temp_capacity *= 2;
    temp_list = static_cast<rt_string**>(
        checked_realloc(temp_list, (size_t{temp_capacity} + 1) * sizeof(rt_string*), error_temp_list_memory));
  }
  s->tmp_index = temp_count;
  s->tmp = 1;
  temp_list[temp_count++] = s;
}

void string_temp_unlist(rt_string* s) {
  if (s->tmp_index == 0) return;
  assert(s->tmp_index < temp_count && temp_list[s->tmp_index] == s);
  temp_list[s->tmp_index] = dead_slot();
  s->tmp_index = 0;
  s->tmp = 0;
  while (temp_count > 1 && slot_is_dead(temp_list[temp_count - 1])) --temp_count;
}

rt_string* string_new(int32_t length, bool temporary) {
  length = checked_length(length);
  if (!storage_ready) string_storage_init();
  size_t need = static_cast<size_t>(length) + heap_slack;
  if (heap_used + need > string_heap_size) heap_compact(need);
  rt_string* s = string_record_take();
  s->len = length;
  s->chars = string_heap + heap_used;
  heap_used += need;
  string_list_append(heap_string_list, s, error_heap_list_memory);
  if (temporary) string_temp_append(s);
  return s;
}

rt_string* string_new_cmem(int32_t length, bool temporary) {
  length = checked_length(length);
  if (!cmem_area) string_storage_init();
  if (size_t{cmem_used} + static_cast<size_t>(length) > cmem_top) cmem_compact(static_cast<uint32_t>(length));
  rt_string* s = string_record_take();
  s->chars = cmem_area + cmem_used;
  s->len = length;
  s->in_cmem = 1;
  cmem_used += static_cast<uint32_t>(length);
  string_list_append(cmem_string_list, s, error_cmem_list_memory);
  if (temporary) {
    string_temp_append(s);
  } else {
    cmem_give_descriptor(s, error_cmem_descriptor_memory);
  }
  return s;
}

rt_string* string_new_fixed(uint8_t* address, int32_t length, bool temporary) {
  length = checked_length(length);
  rt_string* s = string_record_take();
  s->chars = address;
  s->len = length;
  s->fixed = 1;
  if (temporary) {
    string_temp_append(s);
  } else if (address >= cmem_area && address < cmem_area + cmem_area_size) {
    cmem_give_descriptor(s, error_fixed_descriptor_memory);
  }
  return s;
}

rt_string* string_from_text(const char* text) {
  size_t length = text ? std::strlen(text) : 0;
  // A text beyond any 32-bit length is refused (error 5, empty) rather than cut short.
  return string_from_text_len(text, length > INT32_MAX ? -1 : static_cast<int32_t>(length));
}

rt_string* string_from_bytes(const void* bytes, int32_t length) {
  length = checked_length(length);
  if (!bytes) length = 0;
  rt_string* s = string_new(length, true);
  if (length) std::memcpy(s->chars, bytes, static_cast<size_t>(length));
  return s;
}

rt_string* string_from_text_len(const char* text, int32_t length) {
  length = checked_length(length);
  rt_string* s = string_record_take();
  if (!text || length == 0) {
    s->chars = empty_text;
    length = 0;
  } else {
    s->chars = reinterpret_cast<uint8_t*>(const_cast<char*>(text));  // never written: readonly
  }
  s->len = length;
  s->readonly = 1;
  string_temp_append(s);
  return s;
}

rt_string* string_assign(rt_string* dest, rt_string* src) {
  if (dest == src) return dest;  // a = a: nothing to copy, and a take-over would free dest
  if (dest->fixed) {
    size_t count = static_cast<size_t>(src->len < dest->len ? src->len : dest->len);
    if (count) std::memmove(dest->chars, src->chars, count);
    if (count < static_cast<size_t>(dest->len)) std::memset(dest->chars + count, ' ', dest->len - count);
  } else if (src->tmp && !src->fixed && !src->readonly && src->in_cmem == dest->in_cmem) {
    // Take-over: dest gets src's bytes and list slot; no bytes move.
    string_list& list = owning_list(src);
    if (!dest->readonly) {
      assert(dest->list_index < list.count && list.slots[dest->list_index] == dest);
      list.slots[dest->list_index] = dead_slot();
    }
    list.slots[src->list_index] = dest;
    dest->list_index = src->list_index;
    dest->chars = src->chars;
    dest->len = src->len;
    dest->readonly = 0;
    string_temp_unlist(src);
    if (!dest->in_cmem && slot_is_dead(list.slots[list.count - 1])) heap_trim_top();
    if (dest->in_cmem && slot_is_dead(list.slots[list.count - 1])) --list.count;
    string_record_release(src);
    cmem_descriptor_update(dest);
    return dest;
  } else if (src->len <= dest->len && !dest->readonly) {
    if (src->len) std::memmove(dest->chars, src->chars, static_cast<size_t>(src->len));
    dest->len = src->len;
  } else {
    grow(dest, src);
  }
  if (src->tmp) string_free(src);
  cmem_descriptor_update(dest);
  return dest;
}

rt_string* string_concat(rt_string* left, rt_string* right) {
  if (right->len == 0) return left;
  if (left->len == 0) return right;
  int64_t total = int64_t{left->len} + right->len;
  if (total > INT32_MAX) {  // no 32-bit length can hold it
    raise_error(error_out_of_string_space);
    if (left->tmp) string_free(left);
    if (right->tmp && right != left) string_free(right);
    return string_new(0, true);
  }
  rt_string* r = string_new(static_cast<int32_t>(total), true);
  // Read chars only now: string_new may have moved both operands.
  std::memcpy(r->chars, left->chars, static_cast<size_t>(left->len));
  std::memcpy(r->chars + left->len, right->chars, static_cast<size_t>(right->len));
  if (left->tmp) string_free(left);
  if (right->tmp && right != left) string_free(right);
  return r;
}

void string_free(rt_string* s) {
  if (!s) return;
  s->field_link = nullptr;  // no FIELD bindings exist without file I/O
  string_temp_unlist(s);
  if (s->fixed || s->readonly) {
    string_record_release(s);
    return;
  }
  string_list& list = owning_list(s);
  uint32_t index = s->list_index;
  assert(index < list.count && list.slots[index] == s);
  list.slots[index] = dead_slot();
  if (s->in_cmem) {
    if (index + 1 == list.count) --list.count;
  } else {
    // The newest string gives its bytes back at once; after an older one the fill
    // position is still set anew from the last live string (slack after it again,
    // bytes left behind by a shortened last string returned).
    heap_trim_top();
  }
  string_record_release(s);
}

void string_make_temporary(rt_string* s) {
  if (s->tmp_index != 0) return;  // listed already: a second entry would free it twice
  string_temp_append(s);
}

int32_t string_release_temporaries(uint32_t mark, int32_t value) {
  if (mark < 1) mark = 1;  // slot 0 is the scan stop, never a temporary
  while (temp_count > mark) {
    rt_string* s = temp_list[--temp_count];
    if (s && !slot_is_dead(s)) {
      temp_list[temp_count] = dead_slot();  // the count is below it already
      s->tmp_index = 0;
      s->tmp = 0;
      string_free(s);
    }
  }
  // A temporary below the mark may have been consumed already: keep the top live.
  while (temp_count > 1 && slot_is_dead(temp_list[temp_count - 1])) --temp_count;
  return value;
}

bool string_heap_check() {
  if (!storage_ready) return false;
  // Heap.
  const string_list& heap = heap_string_list;
  if (heap_used > string_heap_size) return false;
  if (heap.count > heap.capacity + 1) return false;
  if (heap.count > 0 && slot_is_dead(heap.slots[heap.count - 1])) return false;
  size_t previous_end = 0;
  for (uint32_t i = 0; i < heap.count; ++i) {
    const rt_string* s = heap.slots[i];
    if (!s) return false;
    if (slot_is_dead(s)) continue;
    if (s->list_index != i || s->in_cmem || s->fixed || s->readonly || s->len < 0) return false;
    if (s->chars < string_heap) return false;
    size_t at = static_cast<size_t>(s->chars - string_heap);
    if (at > string_heap_size || static_cast<size_t>(s->len) > string_heap_size - at) return false;
    if (at < previous_end) return false;
    previous_end = at + static_cast<size_t>(s->len);
  }
  if (heap_used < previous_end) return false;
  // Conventional area.
  const string_list& cmem = cmem_string_list;
  if (cmem_used < cmem_first_byte || cmem_used > cmem_top || cmem_top > cmem_zero_cell) return false;
  if (cmem.count > cmem.capacity + 1) return false;
  size_t cmem_end = cmem_first_byte;
  for (uint32_t i = 0; i < cmem.count; ++i) {
    const rt_string* s = cmem.slots[i];
    if (!s) return false;
    if (slot_is_dead(s)) continue;
    if (s->list_index != i || !s->in_cmem || s->fixed || s->readonly || s->len < 0) return false;
    if (s->chars < cmem_area + cmem_end) return false;
    size_t at = static_cast<size_t>(s->chars - cmem_area);
    if (at + static_cast<size_t>(s->len) > cmem_used) return false;
    cmem_end = at + static_cast<size_t>(s->len);
    if (s->cmem_descriptor) {
      const uint8_t* d = s->cmem_descriptor;
      if (d != cmem_area + s->cmem_descriptor_offset || s->cmem_descriptor_offset < cmem_top) return false;
      if (d[0] + 256u * d[1] != static_cast<uint32_t>(s->len) || d[2] + 256u * d[3] != at) return false;
    }
  }
  for (uint32_t i = 0; i < 8; ++i) {
    if (cmem_area[cmem_zero_cell + i] != 0) return false;
  }
  // Temporary list.
  if (temp_count < 1 || temp_count > temp_capacity + 1 || temp_list[0] != nullptr) return false;
  if (temp_count > 1 && slot_is_dead(temp_list[temp_count - 1])) return false;
  for (uint32_t i = 1; i < temp_count; ++i) {
    const rt_string* s = temp_list[i];
    if (!s) return false;
    if (slot_is_dead(s)) continue;
    if (s->tmp_index != i || !s->tmp) return false;
  }
  return true;
}
