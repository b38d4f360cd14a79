// Arrays (keeps the memory-lock pool, static array records, index rounding and the bound check).
#include "runtime/values/arrays.h"

#include <cstdlib>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/static_arena.h"
#include "runtime/values/strings.h"

namespace {

constexpr int32_t mem_lock_block_records = 10000;

// Memory-lock pool state; only the program thread makes and frees locks.
mem_lock first_lock_block[mem_lock_block_records];  // the first block exists before main
mem_lock* lock_block = first_lock_block;             // block records are carved from
int32_t lock_block_used = 0;                         // records of lock_block handed out
mem_lock** free_locks = nullptr;                     // stack of freed records for reuse
int32_t free_lock_count = 0;                         // entries on the free stack
int32_t free_lock_capacity = 0;                      // capacity of the free stack
int64_t next_lock_id = 1073741824;                   // id the next lock receives

// Element storage for arrays that have none (never dimensioned, or zero elements), so a
// failed access still has somewhere harmless to go. Grown on demand, never freed.
uint8_t* empty_array_sink = nullptr;
uint32_t empty_array_sink_size = 0;

void* sink_element(uint32_t element_size) {
  if (element_size == 0) element_size = 1;
  if (element_size > empty_array_sink_size) {
    std::free(empty_array_sink);
    empty_array_sink = static_cast<uint8_t*>(std::calloc(element_size, 1));
    if (empty_array_sink == nullptr) std::abort();
    empty_array_sink_size = element_size;
  }
  std::memset(empty_array_sink, 0, empty_array_sink_size);
  return empty_array_sink;
}

}  // namespace

mem_lock* mem_lock_new() {
  mem_lock* lock;
  if (free_lock_count > 0) {
    lock = free_locks[--free_lock_count];
  } else {
    if (lock_block_used == mem_lock_block_records) {
      lock_block = new mem_lock[mem_lock_block_records]();  // never freed: ids must stay readable
      lock_block_used = 0;
    }
    lock = &lock_block[lock_block_used++];
  }
  lock->kind = 0;
  lock->owned = nullptr;
  lock->id = next_lock_id++;
  return lock;
}

void mem_lock_free(mem_lock* lock) {
  // A record already freed is not pushed again: that would hand it out twice.
  if (lock == nullptr || lock->id == 0) return;
  if (lock->kind == 1 && lock->owned != nullptr) std::free(lock->owned);
  lock->owned = nullptr;
  lock->id = 0;
  if (free_lock_count == free_lock_capacity) {
    const int32_t capacity = free_lock_capacity ? free_lock_capacity * 2 : 1024;
    void* grown = std::realloc(free_locks, sizeof(mem_lock*) * static_cast<size_t>(capacity));
    if (grown == nullptr) std::abort();
    free_locks = static_cast<mem_lock**>(grown);
    free_lock_capacity = capacity;
  }
  free_locks[free_lock_count++] = lock;
}

uint64_t array_check_index(uint64_t offset, uint64_t count) {
  if (offset < count) return offset;
  raise_error(error_subscript_out_of_range);
  return 0;
}

// fistp stores only signed values: a value past INT64_MAX is brought into range first and
// gets the top bit back.
int64_t round_to_integer(long double value) {
  int64_t result;
  if (value > 9223372036854775807.0L) {
    value -= 9223372036854775808.0L;
    asm("fistpll %0" : "=m"(result) : "t"(value) : "st");
    return static_cast<int64_t>(static_cast<uint64_t>(result) | 0x8000000000000000ULL);
  }
  asm("fistpll %0" : "=m"(result) : "t"(value) : "st");
  return result;
}

array_descriptor* static_array_new(int64_t lower_bound, int64_t count, uint32_t element_size) {
  array_descriptor* array = static_cast<array_descriptor*>(static_alloc(sizeof(array_descriptor)));
  std::memset(array, 0, sizeof(array_descriptor));
  // A negative count or a size past what memory can hold is an illegal call: the array
  // is still made, with no elements, so every later access fails its bound check.
  const uint64_t bytes = static_cast<uint64_t>(count) * element_size;
  const bool sensible = count >= 0 && element_size > 0 &&
                        (count == 0 || bytes / static_cast<uint64_t>(count) == element_size) &&
                        bytes <= (static_cast<uint64_t>(1) << 40);
  if (!sensible) {
    raise_error(error_illegal_function_call);
    count = 0;
  }
  if (count > 0) {
    array->data = static_alloc(static_cast<size_t>(bytes));
    std::memset(array->data, 0, static_cast<size_t>(bytes));
  }
  array->flags = 3;
  array->lower_bound = lower_bound;
  array->count = count;
  array->multiplier = 1;
  array->lock = mem_lock_new();
  array->lock->kind = 4;
  return array;
}

// The lower bound is subtracted with wrapping, so an index below it becomes a huge unsigned
// offset and one compare against the count catches both ends.
void* array_element(array_descriptor* array, long double index, uint32_t element_size) {
  if (array == nullptr) {
    raise_error(error_subscript_out_of_range);
    return sink_element(element_size);
  }
  const uint64_t offset =
      static_cast<uint64_t>(round_to_integer(index)) - static_cast<uint64_t>(array->lower_bound);
  const uint64_t count = array->data != nullptr ? static_cast<uint64_t>(array->count) : 0;
  const uint64_t checked = array_check_index(offset, count);
  if (count == 0) return sink_element(element_size);
  return static_cast<uint8_t*>(array->data) + checked * element_size;
}
