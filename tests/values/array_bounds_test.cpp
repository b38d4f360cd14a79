// Tests of memory locks, index rounding, the bound check and static arrays.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/arrays.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"

namespace {

using Arrays = strings_test;

// Declared first: it relies on being the first lock this process makes.
TEST_F(Arrays, LockIdsStartAtTheFixedBaseAndCountUp) {
  mem_lock* first = mem_lock_new();
  EXPECT_EQ(first->id, 1073741824);
  mem_lock* second = mem_lock_new();
  EXPECT_EQ(second->id, 1073741825);
  EXPECT_NE(first, second);
  mem_lock_free(second);
  mem_lock_free(first);
}

TEST_F(Arrays, FreedLocksAreReusedWithFreshIds) {
  mem_lock* a = mem_lock_new();
  a->kind = 4;
  const int64_t old_id = a->id;
  mem_lock_free(a);
  EXPECT_EQ(a->id, 0);
  mem_lock* again = mem_lock_new();
  EXPECT_EQ(again, a);  // popped from the free stack
  EXPECT_GT(again->id, old_id);
  mem_lock_free(again);
  mem_lock_free(again);  // a second free is ignored ...
  mem_lock* x = mem_lock_new();
  mem_lock* y = mem_lock_new();
  EXPECT_NE(x, y);  // ... so the record is not handed out twice
  mem_lock_free(x);
  mem_lock_free(y);
}

TEST_F(Arrays, LocksSpanSeveralBlocks) {
  std::vector<mem_lock*> locks;
  std::set<mem_lock*> seen;
  std::set<int64_t> ids;
  for (int i = 0; i < 25000; ++i) {
    mem_lock* lock = mem_lock_new();
    lock->kind = 3;
    locks.push_back(lock);
    seen.insert(lock);
    ids.insert(lock->id);
  }
  EXPECT_EQ(seen.size(), locks.size());
  EXPECT_EQ(ids.size(), locks.size());
  for (mem_lock* lock : locks) EXPECT_EQ(lock->kind, 3);  // no record overlaps another
  for (mem_lock* lock : locks) mem_lock_free(lock);
}

TEST_F(Arrays, RoundToIntegerTiesToEven) {
  const struct {
    long double value;
    int64_t result;
  } cases[] = {
      {0.5L, 0}, {1.5L, 2}, {2.5L, 2}, {3.5L, 4}, {-0.5L, 0}, {-1.5L, -2}, {-2.5L, -2},
      {0.49999999L, 0}, {2.6L, 3}, {-2.6L, -3}, {87.0L, 87},
      {9223372036854775807.0L, INT64_MAX},
      {-9223372036854775808.0L, INT64_MIN},
  };
  for (const auto& c : cases) EXPECT_EQ(round_to_integer(c.value), c.result) << static_cast<double>(c.value);
}

TEST_F(Arrays, RoundToIntegerAboveInt64MaxKeepsTheTopBit) {
  EXPECT_EQ(static_cast<uint64_t>(round_to_integer(9223372036854775808.0L)), 0x8000000000000000ULL);
  EXPECT_EQ(static_cast<uint64_t>(round_to_integer(1e19L)), 10000000000000000000ULL);
  EXPECT_EQ(static_cast<uint64_t>(round_to_integer(18446744073709551615.0L)), UINT64_MAX);
}

TEST_F(Arrays, CheckIndexComparesUnsigned) {
  EXPECT_EQ(array_check_index(0, 88), 0u);
  EXPECT_EQ(array_check_index(87, 88), 87u);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(array_check_index(88, 88), 0u);
  EXPECT_EQ(pending_error, 9u);
  EXPECT_EQ(event_pending.load(), 1);
  pending_error = 0;
  EXPECT_EQ(array_check_index(static_cast<uint64_t>(-1), 88), 0u);  // below the lower bound
  EXPECT_EQ(pending_error, 9u);
}

TEST_F(Arrays, StaticArrayRecord) {
  array_descriptor* a = static_array_new(0, 88, 8);
  ASSERT_NE(a, nullptr);
  EXPECT_NE(a->data, nullptr);
  EXPECT_EQ(a->flags, 3u);
  EXPECT_EQ(a->lower_bound, 0);
  EXPECT_EQ(a->count, 88);
  EXPECT_EQ(a->multiplier, 1);
  ASSERT_NE(a->lock, nullptr);
  EXPECT_EQ(a->lock->kind, 4);
  EXPECT_NE(a->lock->id, 0);
  const double* elements = static_cast<const double*>(a->data);
  for (int i = 0; i < 88; ++i) EXPECT_EQ(elements[i], 0.0);
  EXPECT_EQ(pending_error, 0u);
}

TEST_F(Arrays, ElementAccessRoundsAndChecks) {
  array_descriptor* a = static_array_new(0, 88, 8);
  double* base = static_cast<double*>(a->data);
  const struct {
    long double index;
    int element;
    uint32_t error;
  } cases[] = {
      {0, 0, 0}, {0.5L, 0, 0}, {1.5L, 2, 0}, {2.5L, 2, 0}, {87, 87, 0}, {87.4L, 87, 0},
      {87.5L, 0, 9},  // rounds to 88: past the end
      {88, 0, 9}, {-1, 0, 9}, {-0.5L, 0, 0}, {1e30L, 0, 9}, {-1e30L, 0, 9},
  };
  for (const auto& c : cases) {
    pending_error = 0;
    double* element = static_cast<double*>(array_element(a, c.index, 8));
    EXPECT_EQ(element, base + c.element) << static_cast<double>(c.index);
    EXPECT_EQ(pending_error, c.error) << static_cast<double>(c.index);
  }
}

TEST_F(Arrays, LowerBoundIsSubtracted) {
  array_descriptor* a = static_array_new(5, 3, 4);
  int32_t* base = static_cast<int32_t*>(a->data);
  EXPECT_EQ(array_element(a, 5, 4), base);
  EXPECT_EQ(array_element(a, 7, 4), base + 2);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(array_element(a, 4, 4), base);
  EXPECT_EQ(pending_error, 9u);
  pending_error = 0;
  EXPECT_EQ(array_element(a, 8, 4), base);
  EXPECT_EQ(pending_error, 9u);
}

// An array with no elements still gives a harmless place to write after error 9.
TEST_F(Arrays, ArrayWithoutElements) {
  array_descriptor* empty = static_array_new(0, 0, 8);
  EXPECT_EQ(pending_error, 0u);
  double* element = static_cast<double*>(array_element(empty, 0, 8));
  ASSERT_NE(element, nullptr);
  *element = 1.0;
  EXPECT_EQ(pending_error, 9u);

  pending_error = 0;
  array_descriptor* bad = static_array_new(0, -5, 8);  // a negative size is an illegal call
  EXPECT_EQ(pending_error, 5u);
  EXPECT_EQ(bad->count, 0);
  pending_error = 0;
  int64_t* wide = static_cast<int64_t*>(array_element(bad, 3, 64));
  ASSERT_NE(wide, nullptr);
  wide[7] = 5;
  EXPECT_EQ(pending_error, 9u);

  pending_error = 0;
  EXPECT_NE(array_element(nullptr, 0, 8), nullptr);  // an array record that was never made
  EXPECT_EQ(pending_error, 9u);
}

}  // namespace
