// Static arena (keeps the variables of translated routines: numbers, array descriptors).
//
// A bump allocator over blocks that are never freed or copied: when a block is full a
// larger one is started and earlier allocations stay where they are.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/static_arena.h"

namespace {

constexpr size_t first_block_size = 1048576;

// Each block starts with a link to the block before it, so every block stays
// reachable (leak checkers see the chain) although none is ever freed.
constexpr size_t block_header = 16;

uint8_t* arena_block = nullptr;  // usable start of the current block (after its link)
size_t arena_block_size = 0;     // usable size of the current block
uint8_t* arena_next = nullptr;   // next free byte in it
uint8_t* arena_limit = nullptr;  // end of the block
void* arena_chain = nullptr;     // the newest block; each links to its predecessor

void start_block(size_t size) {
  uint8_t* block = static_cast<uint8_t*>(std::calloc(size + block_header, 1));
  if (!block) raise_fatal_error(error_static_arena_memory);
  std::memcpy(block, &arena_chain, sizeof arena_chain);
  arena_chain = block;
  arena_block = block + block_header;
  arena_block_size = size;
  arena_next = arena_block;
  arena_limit = arena_block + size;
}

}  // namespace

void static_arena_init() {
  if (!arena_block) start_block(first_block_size);
}

void* static_alloc(size_t size) {
  static_arena_init();
  // No block could ever hold it.
  if (size > SIZE_MAX / 4 - first_block_size) raise_fatal_error(error_static_arena_memory);
  size_t rounded = (size + 7) & ~size_t{7};
  if (rounded < static_cast<size_t>(arena_limit - arena_next)) {
    uint8_t* at = arena_next;
    arena_next += rounded;
    return at;
  }
  start_block(rounded + 2 * arena_block_size);
  uint8_t* at = arena_next;
  arena_next += rounded;
  return at;
}

void static_release(void* saved_position) {
  uint8_t* p = static_cast<uint8_t*>(saved_position);
  // Compare as integers: the saved position may belong to an older block.
  uintptr_t at = reinterpret_cast<uintptr_t>(p);
  if (arena_block && at >= reinterpret_cast<uintptr_t>(arena_block) && at <= reinterpret_cast<uintptr_t>(arena_limit)) {
    arena_next = p;
  } else {
    arena_next = arena_block;
  }
}

void* static_position() {
  static_arena_init();
  return arena_next;
}
