// The emulated conventional memory block (made once, never freed: other threads read it during exit).
#include "runtime/ground/conventional_memory.h"

#include <cstring>

uint8_t* const conventional_memory = new uint8_t[conventional_memory_size]();

void conventional_memory_clear() { std::memset(conventional_memory, 0, conventional_memory_size); }
