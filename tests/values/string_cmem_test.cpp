// Tests of the conventional-memory string area: descriptors, compaction, take-over, fixed strings.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/static_arena.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"

namespace {

uint32_t u16_at(const uint8_t* p) { return p[0] + 256u * p[1]; }

rt_string* cmem_temp(const std::string& text) {
  rt_string* t = string_new_cmem(static_cast<int32_t>(text.size()), true);
  if (!text.empty()) std::memcpy(t->chars, text.data(), text.size());
  return t;
}

void expect_descriptor(const rt_string* s) {
  ASSERT_NE(s->cmem_descriptor, nullptr);
  EXPECT_EQ(s->cmem_descriptor, cmem_area + s->cmem_descriptor_offset);
  EXPECT_EQ(u16_at(s->cmem_descriptor), static_cast<uint32_t>(s->len));
  EXPECT_EQ(u16_at(s->cmem_descriptor + 2), static_cast<uint32_t>(s->chars - cmem_area));
}

class StringCmem : public strings_test {
 protected:
  void SetUp() override {
    strings_test::SetUp();
    saved_top = cmem_top;
  }
  void TearDown() override {
    strings_test::TearDown();
    for (rt_string* v : variables) string_free(v);
    cmem_top = saved_top;  // as a routine does at its exit
    EXPECT_TRUE(string_heap_check());
  }
  rt_string* variable() {
    rt_string* v = string_new_cmem(0, false);
    variables.push_back(v);
    return v;
  }
  uint32_t saved_top = 0;
  std::vector<rt_string*> variables;
};

TEST_F(StringCmem, AreaAvoidsBiosDataAndVideoMemory) {
  size_t offset = static_cast<size_t>(cmem_area - conventional_memory);
  EXPECT_EQ(offset, size_t{cmem_segment} * 16);
  EXPECT_TRUE(offset >= 0x500 || offset + cmem_area_size <= 0x400);
  EXPECT_LE(offset + cmem_area_size, 0xA0000u);
  EXPECT_LE(cmem_top, cmem_zero_cell);
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(cmem_area[cmem_zero_cell + i], 0);
}

TEST_F(StringCmem, NullStringHasADescriptor) {
  EXPECT_EQ(null_string->in_cmem, 1);
  EXPECT_EQ(null_string->len, 0);
  expect_descriptor(null_string);
}

TEST_F(StringCmem, PermanentStringsGetDescriptorsThatFollowAssignments) {
  uint32_t top = cmem_top;
  rt_string* v = variable();
  EXPECT_EQ(cmem_top, top - 4);
  EXPECT_EQ(v->cmem_descriptor_offset, top - 4);
  expect_descriptor(v);
  string_assign(v, string_from_text("conventional"));
  EXPECT_EQ(text_of(v), "conventional");
  EXPECT_EQ(v->in_cmem, 1);
  expect_descriptor(v);
  string_assign(v, string_from_text("short"));
  expect_descriptor(v);
  rt_string* heap_temp = string_new(3, true);
  std::memcpy(heap_temp->chars, "hea", 3);
  string_assign(v, heap_temp);  // a heap temporary is copied, never taken over
  EXPECT_EQ(v->in_cmem, 1);
  EXPECT_EQ(text_of(v), "hea");
  expect_descriptor(v);
  EXPECT_TRUE(string_heap_check());
}

TEST_F(StringCmem, TemporariesHaveNoDescriptor) {
  uint32_t top = cmem_top;
  rt_string* t = cmem_temp("abc");
  EXPECT_EQ(cmem_top, top);
  EXPECT_EQ(t->cmem_descriptor, nullptr);
  EXPECT_EQ(t->tmp, 1);
}

TEST_F(StringCmem, ConventionalTakeOverMovesNoBytes) {
  rt_string* v = variable();
  rt_string* t = cmem_temp("taken over");
  uint8_t* bytes = t->chars;
  string_assign(v, t);
  EXPECT_EQ(v->chars, bytes);
  EXPECT_EQ(text_of(v), "taken over");
  expect_descriptor(v);
  EXPECT_TRUE(string_heap_check());
}

TEST_F(StringCmem, GrowthInPlaceAndRelocation) {
  rt_string* v = variable();
  string_assign(v, string_from_text("ab"));
  uint8_t* bytes = v->chars;
  string_assign(v, string_from_text("abcdef"));  // newest conventional string: grows in place
  EXPECT_EQ(v->chars, bytes);
  EXPECT_EQ(cmem_used, static_cast<uint32_t>(v->chars - cmem_area) + 6);
  rt_string* w = variable();
  string_assign(w, string_from_text("w"));
  string_assign(v, string_from_text("abcdefghijkl"));  // w follows now: relocation
  EXPECT_NE(v->chars, bytes);
  EXPECT_EQ(text_of(v), "abcdefghijkl");
  EXPECT_EQ(text_of(w), "w");
  expect_descriptor(v);
  expect_descriptor(w);
  EXPECT_TRUE(string_heap_check());
}

TEST_F(StringCmem, CompactionPacksAndUpdatesDescriptors) {
  std::vector<rt_string*> kept;
  std::vector<std::string> texts;
  // Fill most of the area with temporaries and a few variables between them.
  for (int i = 0; cmem_used + 3000 < cmem_top; ++i) {
    cmem_temp(std::string(1000, 't'));
    rt_string* v = variable();
    std::string text(200 + i, static_cast<char>('a' + i % 26));
    string_assign(v, string_from_text_len(text.data(), static_cast<int32_t>(text.size())));
    kept.push_back(v);
    texts.push_back(text);
    string_release_temporaries(mark + 0, 0);  // the statement ends: its temporaries go
  }
  uint32_t used_before = cmem_used;
  rt_string* big = cmem_temp(std::string(8000, 'B'));  // does not fit without compaction
  EXPECT_LT(cmem_used, used_before);
  EXPECT_EQ(text_of(big), std::string(8000, 'B'));
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(text_of(kept[i]), texts[i]);
    expect_descriptor(kept[i]);
  }
  EXPECT_TRUE(string_heap_check());
}

TEST_F(StringCmem, FixedStringsInsideTheAreaGetDescriptors) {
  uint8_t* inside = cmem_area + 100;  // below the first string byte: storage of a variable
  std::memset(inside, 'x', 4);
  uint32_t top = cmem_top;
  rt_string* f = string_new_fixed(inside, 4, false);
  EXPECT_EQ(cmem_top, top - 4);
  expect_descriptor(f);
  string_assign(f, string_from_text("ab"));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(inside), 4), "ab  ");
  expect_descriptor(f);
  uint8_t outside[4];
  rt_string* g = string_new_fixed(outside, 4, false);
  EXPECT_EQ(g->cmem_descriptor, nullptr);
  EXPECT_EQ(cmem_top, top - 4);
  string_free(f);
  string_free(g);
}

TEST_F(StringCmem, FreeingLastConventionalStringLowersListCount) {
  rt_string* t = cmem_temp("x");
  uint32_t count = cmem_string_list.count;
  EXPECT_EQ(cmem_string_list.slots[count - 1], t);
  string_free(t);
  EXPECT_EQ(cmem_string_list.count, count - 1);
  EXPECT_TRUE(string_heap_check());
}

// Exhaustion is fatal: the box (text on stderr without a display), then exit status 0.
TEST(StringCmemDeath, ExhaustionEndsWithNumberedCriticalErrors) {
  string_storage_init();
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        string_new_cmem(70000, false);
      },
      ::testing::ExitedWithCode(0), "Critical Error #13");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        string_new_cmem(static_cast<int32_t>(cmem_top - cmem_used - 2), false);
      },
      ::testing::ExitedWithCode(0), "Critical Error #14");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        string_new_cmem(static_cast<int32_t>(cmem_top - cmem_used - 2), true);
        string_new_fixed(cmem_area + 100, 4, false);
      },
      ::testing::ExitedWithCode(0), "Critical Error #15");
  EXPECT_EXIT(
      {
        unsetenv("DISPLAY");
        static_alloc(SIZE_MAX / 2);
      },
      ::testing::ExitedWithCode(0), "Critical Error #4");
}

}  // namespace
