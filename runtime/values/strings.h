// Runtime strings: the string record, its storage places and the core string operations.
#pragma once
#include <cstddef>
#include <cstdint>

// One record per BASIC string (fields in this order).
struct rt_string {
  uint8_t* chars;                   // first byte; not NUL-terminated
  int32_t len;                      // length in bytes
  uint8_t in_cmem;                  // 1: bytes lie in the conventional-memory string area
  uint8_t* cmem_descriptor;         // permanent conventional-area string: its 4-byte descriptor
  uint16_t cmem_descriptor_offset;  // offset of that descriptor from the area's base
  uint32_t list_index;              // index in the heap string list or the conventional-area list
  uint8_t tmp;                      // 1: temporary (entered in the temporary list)
  uint32_t tmp_index;               // index in the temporary list; 0 = not listed
  uint8_t fixed;                    // 1: fixed-length string over storage owned by a variable
  uint8_t readonly;                 // 1: bytes outside the string storage (literal text)
  void* field_link;                 // FIELD binding (file I/O), or null
};

// Number of entries of the temporary list; a routine saves it at entry as its temp_mark.
extern uint32_t temp_count;
extern rt_string* null_string;  // permanent zero-length string (PRINT with no items)
extern rt_string* one_space;    // permanent one-byte string holding a space (PRINT's zones)

// Creates the pools, lists, heap and the conventional-memory string area, then
// null_string and one_space. Start-up calls it once the emulated memory is zeroed.
void string_storage_init();

// Operations that may compact or grow the string heap say so: after them, every
// `chars` pointer read earlier may be stale (re-read it from the record).
rt_string* string_new(int32_t length, bool temporary);            // may move heap strings
rt_string* string_from_text(const char* text);
rt_string* string_from_text_len(const char* text, int32_t length);
// A temporary heap copy of the bytes (not in the string heap); may move heap strings.
rt_string* string_from_bytes(const void* bytes, int32_t length);
rt_string* string_new_cmem(int32_t length, bool temporary);       // may move conventional-area strings
rt_string* string_new_fixed(uint8_t* address, int32_t length, bool temporary);
rt_string* string_assign(rt_string* dest, rt_string* src);        // may move heap strings; consumes a temporary src
rt_string* string_concat(rt_string* left, rt_string* right);      // may move heap strings; consumes temporaries
void string_free(rt_string* s);
void string_make_temporary(rt_string* s);
int32_t string_release_temporaries(uint32_t mark, int32_t value);

// Static arena for the variables of translated routines.
void* static_alloc(size_t size);
void static_release(void* saved_position);
void* static_position();

// ---------------------------------------------------------------------------
// Storage places of the strings, shared by the string files, start-up and tests.
// Only the program thread touches them once start-up is over.

// A record list (heap strings or conventional-area strings): slots in address order
// of the bytes; released slots hold the dead marker until they are squeezed out.
struct string_list {
  rt_string** slots;   // capacity + 1 entries
  uint32_t count;      // slots in use, dead ones included
  uint32_t capacity;   // grows by doubling when an insertion finds count > capacity
};

// The value with all bits set marks a dead slot in every list.
inline rt_string* dead_slot() { return reinterpret_cast<rt_string*>(~uintptr_t{0}); }
inline bool slot_is_dead(const rt_string* s) { return reinterpret_cast<uintptr_t>(s) == ~uintptr_t{0}; }

extern uint8_t* string_heap;          // base of the heap block (moves when the heap grows)
extern size_t string_heap_size;       // bytes in the heap block
extern size_t heap_used;              // fill offset: the next heap string starts here
extern string_list heap_string_list;  // heap strings in address order
extern rt_string** temp_list;         // temporary list; slot 0 stays null and stops downward scans
extern uint32_t temp_capacity;        // temp_list has temp_capacity + 1 slots

// The conventional-memory string area: one 64 KiB segment of conventional_memory.
constexpr uint32_t cmem_segment = 0x1000;                    // real-mode segment of the area
constexpr size_t cmem_area_offset = size_t{cmem_segment} * 16;
constexpr uint32_t cmem_area_size = 65536;
constexpr uint32_t cmem_first_byte = 256;                    // string bytes start here
constexpr uint32_t cmem_zero_cell = 65528;                   // 8 shared zero bytes (array code uses them)
extern uint8_t* cmem_area;            // conventional_memory + cmem_area_offset
extern uint32_t cmem_used;            // offset where the next conventional string's bytes go
extern uint32_t cmem_top;             // lowest descriptor offset; routines save and restore it
extern string_list cmem_string_list;  // conventional-area strings in address order

// Shared pieces of the record pool and the lists (used by strings.cpp and string_cmem.cpp).
rt_string* string_record_take();               // zero-filled record from the pool
void string_record_release(rt_string* s);      // back onto the free stack
void string_list_append(string_list& list, rt_string* s, int32_t grow_error);
void string_temp_append(rt_string* s);         // enters s in temp_list (sets tmp, tmp_index)
void string_temp_unlist(rt_string* s);         // marks its temp slot dead, trims the count
// Packs the conventional area (need = bytes wanted afterwards). Moves conventional
// strings: earlier `chars` pointers into the area die.
void cmem_compact(uint32_t need);
// Writes a record's length and byte offset into its descriptor, if it has one.
void cmem_descriptor_update(rt_string* s);
// Prepares the area inside conventional_memory (called by string_storage_init).
void cmem_area_init();
// Arena set-up (called by string_storage_init; static_alloc also makes it on first use).
void static_arena_init();

// Checks every invariant of the heap, the conventional area and the temporary list;
// returns true when all hold. Tests call it after each operation.
bool string_heap_check();
