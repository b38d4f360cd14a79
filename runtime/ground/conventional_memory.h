// The emulated 16-bit address space: text pages, the key ring, the tick count, the string area.
#pragma once
#include <cstddef>
#include <cstdint>

constexpr size_t conventional_memory_size = 1114099;
constexpr size_t video_memory_offset = 0xB8000;  // text pages start here
constexpr size_t bios_tick_offset = 0x46C;       // 3 bytes, least significant first; stored when read (bios_tick_count)

// Allocated once and never freed (other threads read it while exit runs).
extern uint8_t* const conventional_memory;

// Zero-fills the whole block (start-up).
void conventional_memory_clear();
