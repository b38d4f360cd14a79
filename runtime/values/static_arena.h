// Static arena: storage for translated routines' variables (numbers, array descriptors) that never moves.
#pragma once
#include <cstddef>

// 8-byte aligned; raises the fatal arena error when no block can hold it.
void* static_alloc(size_t size);
// The next allocation's place, and the way back to it: static_release gives back what was
// allocated since (in the current block; a place in an older block restarts the current one).
void* static_position();
void static_release(void* saved_position);
// Set-up (called by string_storage_init; static_alloc also makes it on first use).
void static_arena_init();
