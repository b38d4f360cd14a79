// Bytes and words of a page that the frame thread reads while the program thread writes them: relaxed atomic access.
#pragma once
#include <cstddef>
#include <cstdint>

// The frame builder reads the visible page's cells, cursor and wrap state without a lock
// while the program thread changes them; at worst one frame shows a line half written.
// Every such access is a relaxed atomic load or store of the value's own size: the same
// plain move the compiler would emit, but no data race.
template <typename T>
inline T shared_load(const T* at) {
  return __atomic_load_n(at, __ATOMIC_RELAXED);
}
template <typename T>
inline void shared_store(T* at, T value) {
  __atomic_store_n(at, value, __ATOMIC_RELAXED);
}

// A record field read by the frame builder: every read and write goes through the pair above.
template <typename T>
struct shared_field {
  T value;
  operator T() const { return shared_load(&value); }
  shared_field& operator=(T next) {
    shared_store(&value, next);
    return *this;
  }
};

namespace shared_cells_detail {
// Eight cell bytes at once (the buffers are byte arrays).
typedef uint64_t __attribute__((may_alias)) word;
inline bool aligned(const void* p) { return (reinterpret_cast<uintptr_t>(p) & 7) == 0; }
}  // namespace shared_cells_detail

// memmove into cells the frame builder may be reading (the source is the program's own).
inline void shared_move(uint8_t* to, const uint8_t* from, size_t count) {
  using namespace shared_cells_detail;
  if (to == from || count == 0) return;
  size_t distance = to < from ? static_cast<size_t>(from - to) : static_cast<size_t>(to - from);
  bool by_words = distance >= 8 && ((reinterpret_cast<uintptr_t>(to) ^ reinterpret_cast<uintptr_t>(from)) & 7) == 0;
  if (to < from) {
    size_t i = 0;
    if (by_words) {
      for (; i < count && !aligned(to + i); ++i) shared_store(to + i, from[i]);
      for (; i + 32 <= count; i += 32) {  // four words a round (scrolling moves whole rows)
        word* target = reinterpret_cast<word*>(to + i);
        const word* source = reinterpret_cast<const word*>(from + i);
        word a = source[0], b = source[1], c = source[2], d = source[3];
        shared_store(target, a);
        shared_store(target + 1, b);
        shared_store(target + 2, c);
        shared_store(target + 3, d);
      }
      for (; i + 8 <= count; i += 8)
        shared_store(reinterpret_cast<word*>(to + i), *reinterpret_cast<const word*>(from + i));
    }
    for (; i < count; ++i) shared_store(to + i, from[i]);
  } else {
    size_t n = count;
    if (by_words) {
      for (; n > 0 && !aligned(to + n); --n) shared_store(to + n - 1, from[n - 1]);
      for (; n >= 8; n -= 8)
        shared_store(reinterpret_cast<word*>(to + n - 8), *reinterpret_cast<const word*>(from + n - 8));
    }
    for (; n > 0; --n) shared_store(to + n - 1, from[n - 1]);
  }
}

// A copy of bytes the program thread may be writing (the frame builder's snapshot); true
// when the copy differs from `previous` (null: no comparison, the result is true).
inline bool shared_read(uint8_t* to, const uint8_t* from, size_t count, const uint8_t* previous = nullptr) {
  using namespace shared_cells_detail;
  size_t i = 0;
  for (; i < count && !aligned(from + i); ++i) to[i] = shared_load(from + i);
  size_t words_end = i + (count - i) / 8 * 8;
  for (; i + 32 <= words_end; i += 32) {  // four words a round: the loads are not vectorised
    const word* source = reinterpret_cast<const word*>(from + i);
    word* target = reinterpret_cast<word*>(to + i);
    target[0] = shared_load(source);
    target[1] = shared_load(source + 1);
    target[2] = shared_load(source + 2);
    target[3] = shared_load(source + 3);
  }
  for (; i < words_end; i += 8) *reinterpret_cast<word*>(to + i) = shared_load(reinterpret_cast<const word*>(from + i));
  for (; i < count; ++i) to[i] = shared_load(from + i);
  return !previous || __builtin_memcmp(to, previous, count) != 0;
}
