// Runtime strings: the string record, the permanent strings and the core string operations.
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
// A fixed-length string over storage the variable owns; nothing is copied or moved.
rt_string* string_new_fixed(uint8_t* address, int32_t length, bool temporary);
// Assignment; consumes a temporary src. May move heap or conventional-area strings.
rt_string* string_assign(rt_string* dest, rt_string* src);
// The + operator; consumes temporaries. May move heap strings.
rt_string* string_concat(rt_string* left, rt_string* right);
void string_free(rt_string* s);
void string_make_temporary(rt_string* s);
int32_t string_release_temporaries(uint32_t mark, int32_t value);

