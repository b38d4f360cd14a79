// The INPUT statement: the live-validating line editor.
#pragma once
#include <cstdint>

constexpr uint32_t input_type_string = 0x40000000;
constexpr uint32_t input_type_float = 0x20000000;
constexpr uint32_t input_type_unsigned = 0x10000000;
constexpr uint32_t input_type_bitfield = 0x1000000;
constexpr uint32_t input_type_line = 512;

// Destination tables, entries 1 to count, filled by the caller.
extern void* input_dest_ptrs[];
extern uint32_t input_dest_types[];
constexpr int input_dest_capacity = 257;

void input_statement(int32_t count, uint8_t line_end);
void randomize_prompt(int16_t* seed);
