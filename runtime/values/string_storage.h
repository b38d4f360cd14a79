// String storage insides: the record pool, the record lists, the heap, the conventional-memory area, the temporaries.
//
// Only the string files, their tests and fuzz targets include this; everything else goes
// through strings.h. Only the program thread touches these once start-up is over.
//
// The heap is one block, string_heap, filled upward from its base. heap_string_list holds
// the record of every heap string in the address order of the bytes: a live record is a
// plain heap string (not in the conventional area, not fixed, not read-only), its
// list_index is its slot, its bytes lie inside the block and end at or before the bytes of
// the next live record begin. A released record leaves the dead marker in its slot until
// a compaction or a crowded insertion squeezes it out, but the topmost slot is always live
// unless the list is empty. heap_used lies at or past the end of the last live string and
// within the block; it drops to 0 when a free leaves no live string. The bytes between
// live strings are holes that only compaction gives back. A list has capacity + 1 slots,
// and an insertion that finds count above capacity makes room before it writes, so count
// never exceeds capacity + 1. Slot 0 of the temporary list is null; every other live slot
// i holds a record with tmp set and tmp_index i, and the topmost slot is live unless slot
// 0 is all that is left.
//
// The conventional area is the segment cmem_segment of conventional_memory, clear of the
// BIOS data (0x400-0x4FF) and of video memory (0xA0000 up). String bytes grow upward from
// cmem_first_byte to cmem_used; cmem_string_list keeps their records as the heap list
// keeps its own, except that its topmost slot may be dead. 4-byte descriptors (length,
// then byte offset; 16 bits each, least significant byte first) grow downward from
// cmem_zero_cell to cmem_top, cmem_used never passes cmem_top, and each descriptor holds
// its record's current length and offset.
//
// string_heap_check tests all of this. Every pool, list and block is made once with malloc
// and never freed, so no static destructor can pull them away from a thread that still
// runs during exit.
#pragma once
#include <cstddef>
#include <cstdint>

#include "runtime/values/strings.h"

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
constexpr uint32_t cmem_zero_cell = 65528;                   // 8 bytes that stay zero (array code uses them)
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
// Packs the live conventional strings, in list order, from cmem_first_byte up and drops
// dead slots; need = bytes wanted afterwards. Moves conventional strings: earlier `chars`
// pointers into the area die.
void cmem_compact(uint32_t need);
// Lowers cmem_top by one descriptor for s and fills it; error_number (fatal) when the
// descriptors would reach the string bytes.
void cmem_give_descriptor(rt_string* s, int32_t error_number);
// Writes a record's length and byte offset into its descriptor, if it has one.
void cmem_descriptor_update(rt_string* s);
// Validates a caller's length: a negative one is an illegal function call and becomes 0,
// so it never reaches an allocation or a copy.
int32_t checked_length(int32_t length);
// Prepares the area inside conventional_memory (called by string_storage_init).
void cmem_area_init();

// Checks every invariant of the heap, the conventional area and the temporary list;
// returns true when all hold. Tests call it after each operation.
bool string_heap_check();
