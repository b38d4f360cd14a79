// Tests of the string records, the heap, temporaries and the conventional area.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/console/conventional_memory.h"
#include "runtime/core/errors.h"
#include "runtime/values/strings.h"

namespace {

std::string text_of(const rt_string* s) { return std::string(reinterpret_cast<const char*>(s->chars), s->len); }

rt_string* literal(const char* text) { return string_from_text(text); }

class StringCore : public ::testing::Test {
 protected:
  void SetUp() override {
    string_storage_init();
    pending_error = 0;
    mark = temp_count;
    ASSERT_TRUE(string_heap_check());
  }
  void TearDown() override {
    string_release_temporaries(mark, 0);
    EXPECT_TRUE(string_heap_check());
    pending_error = 0;
  }
  uint32_t mark = 1;
};

TEST_F(StringCore, InitTwiceKeepsPermanentStrings) {
  rt_string* before = null_string;
  string_storage_init();
  EXPECT_EQ(before, null_string);
  EXPECT_EQ(null_string->len, 0);
  EXPECT_EQ(null_string->in_cmem, 1);
  EXPECT_EQ(text_of(one_space), " ");
  for (uint32_t i = 0; i < 8; ++i) EXPECT_EQ(cmem_area[cmem_zero_cell + i], 0);
}

TEST_F(StringCore, AssignLiteralCopiesBytes) {
  rt_string* v = string_new(0, false);
  string_assign(v, literal("hello"));
  EXPECT_EQ(text_of(v), "hello");
  EXPECT_EQ(temp_count, mark);
  EXPECT_TRUE(string_heap_check());
  string_free(v);
}

TEST_F(StringCore, TakeOverLeavesNoTemporary) {
  rt_string* v = string_new(0, false);
  rt_string* keep = string_new(1, true);  // a live temporary below the one taken over
  rt_string* t = string_new(4, true);
  std::memcpy(t->chars, "abcd", 4);
  uint8_t* bytes = t->chars;
  uint32_t before = temp_count;
  string_assign(v, t);
  EXPECT_EQ(temp_count, before - 1);
  EXPECT_EQ(v->chars, bytes);  // no copy: the variable took the bytes over
  EXPECT_EQ(text_of(v), "abcd");
  EXPECT_EQ(temp_list[temp_count - 1], keep);
  EXPECT_TRUE(string_heap_check());
  string_free(v);
}

TEST_F(StringCore, NewestStringGrowsInPlace) {
  rt_string* v = string_new(0, false);
  string_assign(v, literal("abc"));
  uint8_t* bytes = v->chars;
  string_assign(v, literal("abcdefghijklmnopqrstuvwxyz"));
  EXPECT_EQ(v->chars, bytes);
  EXPECT_EQ(text_of(v), "abcdefghijklmnopqrstuvwxyz");
  EXPECT_EQ(heap_used, static_cast<size_t>(v->chars - string_heap) + 26);
  EXPECT_TRUE(string_heap_check());
  string_free(v);
}

TEST_F(StringCore, FreeingNewestLowersHeapUsed) {
  rt_string* a = string_new(10, false);
  size_t after_a = heap_used;
  rt_string* b = string_new(20, false);
  rt_string* c = string_new(5, false);
  size_t after_c = heap_used;
  string_free(b);  // a hole in the middle waits for compaction
  EXPECT_EQ(heap_used, after_c);
  string_free(c);
  EXPECT_EQ(heap_used, after_a);
  EXPECT_EQ(heap_used, static_cast<size_t>(a->chars - string_heap) + 10 + 32);
  EXPECT_TRUE(string_heap_check());
  string_free(a);
}

TEST_F(StringCore, ConcatWithEmptyOperandReturnsTheOther) {
  rt_string* a = literal("xy");
  rt_string* e = literal("");
  EXPECT_EQ(string_concat(a, e), a);
  EXPECT_EQ(string_concat(e, a), a);
  rt_string* r = string_concat(literal("ab"), literal("c"));
  EXPECT_EQ(text_of(r), "abc");
}

TEST_F(StringCore, ReleaseRestoresMark) {
  uint32_t m = temp_count;
  string_new(3, true);
  literal("x");
  string_concat(literal("a"), literal("b"));
  EXPECT_GT(temp_count, m);
  EXPECT_EQ(string_release_temporaries(m, 42), 42);
  EXPECT_EQ(temp_count, m);
}

TEST_F(StringCore, ReleaseWithMarkZeroKeepsSlotZero) {
  string_new(1, true);
  string_release_temporaries(0, 0);
  EXPECT_EQ(temp_count, 1u);
  EXPECT_EQ(temp_list[0], nullptr);
  rt_string* t = string_new(1, true);
  EXPECT_EQ(t->tmp_index, 1u);
  mark = 1;
}

TEST_F(StringCore, MakeTemporaryTwiceListsOnce) {
  rt_string* s = string_new(4, false);
  string_make_temporary(s);
  uint32_t count = temp_count;
  string_make_temporary(s);
  EXPECT_EQ(temp_count, count);
  string_release_temporaries(mark, 0);
  EXPECT_TRUE(string_heap_check());
}

TEST_F(StringCore, NegativeLengthsNeverAllocate) {
  rt_string* s = string_new(-5, true);
  EXPECT_EQ(s->len, 0);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  rt_string* l = string_from_text_len("abc", -1);
  EXPECT_EQ(l->len, 0);
  pending_error = 0;
  rt_string* c = string_new_cmem(-1, true);
  EXPECT_EQ(c->len, 0);
  pending_error = 0;
  uint8_t bytes[4] = {};
  rt_string* f = string_new_fixed(bytes, -7, true);
  EXPECT_EQ(f->len, 0);
  EXPECT_TRUE(string_heap_check());
}

TEST_F(StringCore, FixedDestinationPadsAndTruncates) {
  uint8_t storage[6];
  std::memset(storage, 'z', sizeof storage);
  rt_string* f = string_new_fixed(storage, 5, false);
  string_assign(f, literal("ab"));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(storage), 6), "ab   z");
  string_assign(f, literal("abcdefgh"));
  EXPECT_EQ(std::string(reinterpret_cast<char*>(storage), 6), "abcdez");
  EXPECT_EQ(f->len, 5);
  string_free(f);
}

TEST_F(StringCore, AssignToSelfKeepsValue) {
  rt_string* v = string_new(0, false);
  string_assign(v, literal("same"));
  string_assign(v, v);
  EXPECT_EQ(text_of(v), "same");
  rt_string* t = string_concat(literal("t"), literal("mp"));
  EXPECT_EQ(string_assign(t, t), t);
  EXPECT_EQ(text_of(t), "tmp");
  EXPECT_TRUE(string_heap_check());
  string_free(v);
}

TEST_F(StringCore, AssignIntoLiteralRecordDoesNotWriteTheLiteral) {
  static const char text[] = "lit";
  rt_string* l = string_from_text(text);
  string_assign(l, literal("xy"));
  EXPECT_STREQ(text, "lit");
  EXPECT_EQ(text_of(l), "xy");
  EXPECT_EQ(l->readonly, 0);
  EXPECT_TRUE(string_heap_check());
}

TEST_F(StringCore, StaticArenaRoundsAndReleases) {
  void* start = static_position();
  char* a = static_cast<char*>(static_alloc(3));
  char* b = static_cast<char*>(static_alloc(8));
  EXPECT_EQ(b - a, 8);
  static_release(start);
  EXPECT_EQ(static_position(), start);
  // A block larger than the current one starts a new block; old allocations stay.
  std::memset(a, 7, 3);
  char* big = static_cast<char*>(static_alloc(4 << 20));
  big[(4 << 20) - 1] = 1;
  EXPECT_EQ(a[2], 7);
  static_release(start);  // from another block: back to the current block's start
  EXPECT_EQ(static_position(), static_cast<void*>(big));
}

}  // namespace
