// DATA reading: the program's DATA text, READ and RESTORE.
#pragma once
#include <cstdint>

struct rt_string;

// Type word bits as READ uses them.
constexpr uint32_t type_float = 0x20000000;
constexpr uint32_t type_unsigned = 0x10000000;
constexpr uint32_t type_double = 0x28C00040;

extern int64_t data_position;          // offset of the next unread item
extern int64_t data_restore_position;  // where RESTORE puts it

void restore_data();
long double read_numeric(const char* block, int64_t* position, int64_t block_length, uint32_t type);
int64_t read_int64(const char* block, int64_t* position, int64_t block_length);
uint64_t read_uint64(const char* block, int64_t* position, int64_t block_length);
void read_string(const char* block, int64_t* position, int64_t block_length, rt_string* target);
