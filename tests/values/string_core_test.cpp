// Tests of the string records, the heap, temporaries and the conventional area.
#include <gtest/gtest.h>

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

rt_string* literal(const char* text) { return string_from_text(text); }

class StringCore : public strings_test {
 protected:
  void SetUp() override {
    strings_test::SetUp();
    ASSERT_TRUE(string_heap_check());
  }
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

// Every heap free sets heap_used from the last live string: 32 bytes of slack after its
// current end, whether that string grew in place (no slack) or was shortened.
TEST_F(StringCore, FreeingAnOlderStringSetsHeapUsedFromTheNewest) {
  rt_string* a = string_new(10, false);
  rt_string* b = string_new(10, false);
  rt_string* v = string_new(0, false);
  string_assign(v, literal("abcdefghijklmnopqrstuvwxyz"));  // in place, no slack after it
  const size_t v_at = static_cast<size_t>(v->chars - string_heap);
  ASSERT_EQ(heap_used, v_at + 26);
  string_free(a);
  EXPECT_EQ(heap_used, v_at + 26 + 32);
  string_assign(v, literal("xy"));  // shorter: the storage stays, the length drops
  EXPECT_EQ(heap_used, v_at + 26 + 32);
  string_free(b);
  EXPECT_EQ(heap_used, v_at + 2 + 32);
  EXPECT_EQ(text_of(v), "xy");
  EXPECT_TRUE(string_heap_check());
  string_free(v);
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

TEST_F(StringCore, ListsAndPoolGrowPastTheirFirstCapacity) {
  // 200,000 live temporaries outgrow the temporary list, the heap list and three
  // record blocks; releasing them all outgrows the free stack.
  const int n = 200000;
  for (int i = 0; i < n; ++i) {
    rt_string* t = string_new(i % 3, true);
    if (t->len) t->chars[0] = static_cast<uint8_t>(i);
  }
  EXPECT_GE(temp_capacity + 1, temp_count);
  EXPECT_GE(temp_capacity, 131070u);
  EXPECT_GE(heap_string_list.capacity, 131070u);
  EXPECT_TRUE(string_heap_check());
  // Zero-length conventional temporaries take no bytes and outgrow that list too.
  for (int i = 0; i < 70000; ++i) string_new_cmem(0, true);
  EXPECT_GE(cmem_string_list.capacity, 131070u);
  EXPECT_TRUE(string_heap_check());
  string_release_temporaries(mark, 0);
  EXPECT_EQ(temp_count, mark);
  EXPECT_TRUE(string_heap_check());
  // Records come back from the free stack zero-filled.
  rt_string* again = string_new(1, false);
  EXPECT_EQ(again->tmp, 0);
  EXPECT_EQ(again->tmp_index, 0u);
  EXPECT_EQ(again->field_link, nullptr);
  string_free(again);
}

TEST_F(StringCore, HeapCheckNoticesBrokenInvariants) {
  rt_string* a = string_new(4, false);
  rt_string* b = string_new(4, false);
  ASSERT_TRUE(string_heap_check());
  uint8_t* saved = b->chars;
  b->chars = a->chars + 2;  // overlaps a: address order broken
  EXPECT_FALSE(string_heap_check());
  b->chars = saved;
  uint32_t index = b->list_index;
  b->list_index = index + 7;
  EXPECT_FALSE(string_heap_check());
  b->list_index = index;
  size_t used = heap_used;
  heap_used = static_cast<size_t>(b->chars - string_heap) + 1;  // inside the last string
  EXPECT_FALSE(string_heap_check());
  heap_used = used;
  EXPECT_TRUE(string_heap_check());
  string_free(b);
  string_free(a);
}

TEST_F(StringCore, CompactionKeepsSmallGapsAndGrowsWhenFull) {
  // Fill the heap with strings, free every other one, then ask for a string that
  // only fits after compaction.
  std::vector<rt_string*> kept;
  std::vector<rt_string*> dropped;
  for (int i = 0; heap_used + 70000 < string_heap_size; ++i) {
    rt_string* s = string_new(1000, false);
    std::memset(s->chars, 'a' + i % 26, 1000);
    (i % 2 ? dropped : kept).push_back(s);
  }
  for (rt_string* s : dropped) string_free(s);
  size_t size = string_heap_size;
  rt_string* big = string_new(100000, false);
  EXPECT_EQ(string_heap_size, size);  // half of it was holes: no growth needed
  EXPECT_TRUE(string_heap_check());
  for (size_t i = 0; i < kept.size(); ++i) {
    EXPECT_EQ(kept[i]->chars[0], 'a' + (2 * i) % 26);
    EXPECT_EQ(kept[i]->chars[999], 'a' + (2 * i) % 26);
  }
  // Compaction packed the survivors: no gap wider than the slack remains.
  for (size_t i = 1; i < kept.size(); ++i) {
    EXPECT_LE(kept[i]->chars - (kept[i - 1]->chars + kept[i - 1]->len), 32);
  }
  rt_string* huge = string_new(static_cast<int32_t>(string_heap_size), false);  // must grow
  EXPECT_GT(string_heap_size, size);
  EXPECT_TRUE(string_heap_check());
  for (size_t i = 0; i < kept.size(); ++i) EXPECT_EQ(kept[i]->chars[500], 'a' + (2 * i) % 26);
  string_free(huge);
  string_free(big);
  for (rt_string* s : kept) string_free(s);
}

TEST_F(StringCore, FromBytesCopies) {
  char buffer[4] = {'a', '\0', 'c', 'd'};
  rt_string* s = string_from_bytes(buffer, 4);
  buffer[0] = 'z';
  EXPECT_EQ(text_of(s), std::string("a\0cd", 4));
  EXPECT_EQ(s->tmp, 1);
  EXPECT_EQ(s->readonly, 0);
  EXPECT_EQ(string_from_bytes(nullptr, 5)->len, 0);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(string_from_bytes(buffer, -1)->len, 0);
  EXPECT_EQ(pending_error, 5u);
}

TEST_F(StringCore, GrowthUsesDeadNeighboursThenRelocates) {
  rt_string* a = string_new(0, false);
  string_assign(a, literal("x"));
  rt_string* b = string_new(10, false);
  rt_string* c = string_new(0, false);
  string_assign(c, literal("c"));
  string_free(b);  // a hole between a and c
  uint8_t* bytes = a->chars;
  std::string forty(40, 'f');
  string_assign(a, literal(forty.c_str()));  // reaches into the hole, not into c
  EXPECT_EQ(a->chars, bytes);
  EXPECT_EQ(text_of(a), forty);
  std::string hundred(100, 'h');
  string_assign(a, literal(hundred.c_str()));  // would overwrite c: relocates
  EXPECT_NE(a->chars, bytes);
  EXPECT_EQ(text_of(a), hundred);
  EXPECT_EQ(text_of(c), "c");
  EXPECT_EQ(heap_string_list.slots[heap_string_list.count - 1], a);
  EXPECT_TRUE(string_heap_check());
  string_free(a);
  string_free(c);
}

// The pattern of a translated FUNCTION: marks saved at entry, a local string made,
// everything released at exit, the result handed to the caller as a temporary.
rt_string* routine_returning_text(const char* text) {
  uint32_t routine_mark = temp_count;
  void* arena = static_position();
  uint32_t top = cmem_top;
  rt_string* result = string_new(0, false);
  rt_string* local = string_new_cmem(0, false);
  string_assign(local, string_concat(string_from_text(text), string_from_text("!")));
  string_assign(result, local);
  string_release_temporaries(routine_mark, 0);
  string_free(local);
  static_release(arena);
  cmem_top = top;
  string_make_temporary(result);
  return result;
}

TEST_F(StringCore, RoutineResultBecomesCallersTemporary) {
  rt_string* v = string_new(0, false);
  uint32_t top = cmem_top;
  rt_string* r = routine_returning_text("hi");
  EXPECT_EQ(r->tmp, 1);
  EXPECT_EQ(cmem_top, top);
  uint8_t* bytes = r->chars;
  string_assign(v, r);  // taken over
  EXPECT_EQ(v->chars, bytes);
  EXPECT_EQ(text_of(v), "hi!");
  string_release_temporaries(mark, 0);
  EXPECT_EQ(temp_count, mark);
  EXPECT_TRUE(string_heap_check());
  string_free(v);
}

TEST_F(StringCore, ConcatBeyondThirtyTwoBitsIsOutOfStringSpace) {
  uint8_t storage[1] = {'a'};
  // The claimed length is never read: the sum is refused first.
  rt_string* huge = string_new_fixed(storage, INT32_MAX, true);
  rt_string* r = string_concat(huge, literal("x"));
  EXPECT_EQ(pending_error, 14u);
  EXPECT_EQ(r->len, 0);
  EXPECT_TRUE(string_heap_check());
}

}  // namespace
