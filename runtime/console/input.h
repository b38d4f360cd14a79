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

// Type word of the line form's destination while the editor runs (still a string).
constexpr uint32_t input_type_whole_line = 0xFFFFFE00;

// A field that starts with an ampersand: "&" alone or "&H", "&O", "&B" (either case)
// followed by at most 16 hexadecimal, 22 octal (first of 22 is 0 or 1) or 64 binary
// digits. Gives the value, the number of digits and the base (0 for "&" alone); false
// when the text is not of this form (it then counts as decimal text).
bool input_prefix_value(const uint8_t* text, int32_t length, uint64_t* value, int32_t* digits,
                        int32_t* base);

// Checks one field against its destination's type word and, when it is valid, stores
// it (a string destination is an rt_string*, anything else the variable's storage).
// `text` must not point into the string heap: storing a string may move it.
bool validate_field(const uint8_t* text, int32_t length, uint32_t type, void* destination);

// Gives a destination its cleared value: spaces for a fixed-length string, the empty
// string, or 0. Bit-field destinations are left alone.
void clear_destination(uint32_t type, void* destination);
