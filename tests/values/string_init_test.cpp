// Start-up of the string storage over emulated memory that nobody zeroed yet.
#include <gtest/gtest.h>

#include <cstring>

#include "runtime/ground/conventional_memory.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/strings.h"

namespace {

TEST(StringInit, PreparesTheAreaOverDirtyMemoryAndRunsOnce) {
  // This executable calls string_storage_init here for the first time.
  std::memset(conventional_memory + cmem_area_offset, 0xA5, cmem_area_size);
  std::memset(conventional_memory + 0x41A, 0x1E, 4);  // key buffer words outside the area
  string_storage_init();
  ASSERT_TRUE(string_heap_check());
  EXPECT_EQ(cmem_used, cmem_first_byte);
  EXPECT_EQ(cmem_top, cmem_zero_cell - 4);  // one descriptor: null_string's
  EXPECT_EQ(conventional_memory[0x41A], 0x1E);  // memory outside the area is left alone
  rt_string* first_null = null_string;
  rt_string* first_space = one_space;
  uint32_t temps = temp_count;
  EXPECT_EQ(temps, 1u);
  string_storage_init();
  EXPECT_EQ(null_string, first_null);
  EXPECT_EQ(one_space, first_space);
  EXPECT_EQ(cmem_top, cmem_zero_cell - 4);
  EXPECT_EQ(temp_count, temps);
  EXPECT_TRUE(string_heap_check());
}

}  // namespace
