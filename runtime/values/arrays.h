// Arrays: memory locks, the array descriptor, index rounding and the bound check.
#pragma once
#include <cstdint>

// Validity token that arrays, scopes and images point to.
struct mem_lock {
  int64_t id;     // nonzero while the owner lives, 0 once freed
  int32_t kind;   // 3 = a routine's scope, 4 = an array
  void* owned;    // freed with the record only for kind 1
};

mem_lock* mem_lock_new();
void mem_lock_free(mem_lock* lock);

// One-dimensional form of the array record (n dimensions add four words each before `lock`).
struct array_descriptor {
  void* data;          // the elements
  uint64_t reserved0;
  uint64_t flags;      // 1 = dimensioned; static arrays carry 3
  uint64_t reserved1;
  int64_t lower_bound; // dimension 1: lower bound
  int64_t count;       // element count
  int64_t multiplier;  // 1 for the last dimension
  uint64_t reserved2;
  mem_lock* lock;      // kind 4
};

// Offset when below count (unsigned compare), else raises error 9 and returns 0.
uint64_t array_check_index(uint64_t offset, uint64_t count);
// x87 conversion in the current rounding mode (ties to even under set_fpu_mode). Values past
// INT64_MAX come back as their unsigned 64-bit pattern, so unsigned indexes keep their full range.
int64_t round_to_integer(long double value);
// A static one-dimensional array of `count` elements of `element_size` bytes from the
// static arena, zeroed, with its own kind-4 lock.
array_descriptor* static_array_new(int64_t lower_bound, int64_t count, uint32_t element_size);
// The checked element pointer, the one way to reach an element: index rounded, offset by the
// lower bound, bound-checked.
void* array_element(array_descriptor* array, long double index, uint32_t element_size);
