// Conventional-memory string area (keeps the area inside one 64 KiB segment: its bytes, its descriptors, its compaction).
#include <cassert>
#include <cstdlib>
#include <cstring>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/values/string_storage.h"

uint8_t* cmem_area = nullptr;
uint32_t cmem_used = cmem_first_byte;
uint32_t cmem_top = cmem_zero_cell;
string_list cmem_string_list = {nullptr, 0, 0};

namespace {

void put_u16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value & 0xFF);
  at[1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

}  // namespace

void cmem_give_descriptor(rt_string* s, int32_t error_number) {
  if (cmem_top < cmem_used + 4) raise_fatal_error(error_number);
  cmem_top -= 4;
  s->cmem_descriptor = cmem_area + cmem_top;
  s->cmem_descriptor_offset = static_cast<uint16_t>(cmem_top);
  cmem_descriptor_update(s);
}

void cmem_area_init() {
  static_assert(cmem_area_offset >= 0x500 && cmem_area_offset + cmem_area_size <= 0xA0000,
                "the string area must not cover the BIOS data or video memory");
  cmem_area = conventional_memory + cmem_area_offset;
  std::memset(cmem_area, 0, cmem_area_size);  // the caller may not have zeroed the block yet
  cmem_used = cmem_first_byte;
  cmem_top = cmem_zero_cell;
  cmem_string_list.capacity = 65535;
  cmem_string_list.count = 0;
  cmem_string_list.slots =
      static_cast<rt_string**>(std::malloc((size_t{cmem_string_list.capacity} + 1) * sizeof(rt_string*)));
  if (!cmem_string_list.slots) raise_fatal_error(error_cmem_list_memory);
}

void cmem_descriptor_update(rt_string* s) {
  if (!s->cmem_descriptor) return;
  put_u16(s->cmem_descriptor, static_cast<uint32_t>(s->len));
  put_u16(s->cmem_descriptor + 2, static_cast<uint32_t>(s->chars - cmem_area));
}

void cmem_compact(uint32_t need) {
  string_list& list = cmem_string_list;
  uint32_t write = cmem_first_byte;
  uint32_t kept = 0;
  for (uint32_t i = 0; i < list.count; ++i) {
    rt_string* s = list.slots[i];
    if (slot_is_dead(s)) continue;
    if (s->chars != cmem_area + write) {
      std::memmove(cmem_area + write, s->chars, static_cast<size_t>(s->len));
      s->chars = cmem_area + write;
      cmem_descriptor_update(s);
    }
    write += static_cast<uint32_t>(s->len);
    s->list_index = kept;
    list.slots[kept++] = s;
  }
  list.count = kept;
  cmem_used = write;
  if (size_t{cmem_used} + need > cmem_top) raise_fatal_error(error_cmem_area_memory);
}
