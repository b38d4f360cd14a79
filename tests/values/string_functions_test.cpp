// Tests of the BASIC string functions: boundaries, in-place results and argument consumption.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "runtime/ground/errors.h"
#include "runtime/values/string_functions.h"
#include "runtime/values/string_storage.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"

namespace {

// A modifiable temporary holding text.
rt_string* temp_of(const std::string& text) {
  rt_string* s = string_new(static_cast<int32_t>(text.size()), true);
  if (!text.empty()) std::memcpy(s->chars, text.data(), text.size());
  return s;
}

// A permanent variable holding text (freed by the fixture).
class StringFunctions : public strings_test {
 protected:
  void TearDown() override {
    for (rt_string* v : variables) string_free(v);
    strings_test::TearDown();
    EXPECT_EQ(temp_count, mark);
  }
  rt_string* variable(const std::string& text) {
    rt_string* v = string_new(0, false);
    string_assign(v, temp_of(text));
    variables.push_back(v);
    return v;
  }
  std::vector<rt_string*> variables;
};

enum class kind { left, right, mid3, mid2 };
struct substring_case {
  kind op;
  int64_t a, b;
  const char* expected;
};

TEST_F(StringFunctions, SubstringBoundaries) {
  const substring_case cases[] = {
      {kind::left, 5, 0, "abc"},   {kind::left, -1, 0, ""},    {kind::left, 0, 0, ""},
      {kind::left, 2, 0, "ab"},    {kind::right, 2, 0, "bc"},  {kind::right, 9, 0, "abc"},
      {kind::right, -3, 0, ""},    {kind::mid2, 4, 0, ""},     {kind::mid2, 0, 0, "abc"},
      {kind::mid2, 2, 0, "bc"},    {kind::mid2, -5, 0, "abc"}, {kind::mid3, 0, 2, "a"},
      {kind::mid3, -1, 4, "ab"},   {kind::mid3, 2, 1, "b"},    {kind::mid3, 2, 99, "bc"},
      {kind::mid3, 4, 1, ""},      {kind::mid3, 1, 0, ""},     {kind::mid3, 1, -4, ""},
      {kind::mid3, -5, 3, ""},     {kind::mid3, 1, 3, "abc"},  {kind::mid3, INT64_MIN, INT64_MAX, ""},
      {kind::mid3, 3, INT64_MAX, "c"},
  };
  for (const substring_case& c : cases) {
    SCOPED_TRACE(testing::Message() << static_cast<int>(c.op) << " " << c.a << " " << c.b);
    for (int as_temporary = 0; as_temporary < 2; ++as_temporary) {
      rt_string* s = as_temporary ? temp_of("abc") : variable("abc");
      rt_string* r = nullptr;
      switch (c.op) {
        case kind::left: r = string_left(s, c.a); break;
        case kind::right: r = string_right(s, c.a); break;
        case kind::mid3: r = string_mid(s, c.a, c.b); break;
        case kind::mid2: r = string_mid_to_end(s, c.a); break;
      }
      EXPECT_EQ(text_of(r), c.expected);
      if (as_temporary) {
        EXPECT_EQ(r, s);  // a modifiable temporary is changed in place
      } else {
        EXPECT_EQ(text_of(s), "abc");  // a variable is never changed
        if (r != s) {
          EXPECT_EQ(r->tmp, 1);
        }
      }
      EXPECT_TRUE(string_heap_check());
    }
  }
  EXPECT_EQ(pending_error, 0u);
}

TEST_F(StringFunctions, WholeStringResultIsTheArgument) {
  rt_string* v = variable("abc");
  EXPECT_EQ(string_left(v, 5), v);
  EXPECT_EQ(string_left(v, 3), v);
  EXPECT_EQ(string_right(v, 3), v);
  EXPECT_EQ(string_mid(v, 1, 3), v);
  EXPECT_EQ(string_mid_to_end(v, 1), v);
  EXPECT_EQ(string_ltrim(v), v);
  EXPECT_EQ(string_rtrim(v), v);
}

TEST_F(StringFunctions, LiteralArgumentIsCopiedNotWritten) {
  static const char text[] = "Hello";
  rt_string* r = string_ucase(string_from_text(text));
  EXPECT_EQ(text_of(r), "HELLO");
  EXPECT_STREQ(text, "Hello");
  rt_string* m = string_mid(string_from_text(text), 2, 2);
  EXPECT_EQ(text_of(m), "el");
}

struct case_conversion {
  const char* input;
  const char* upper;
  const char* lower;
};

TEST_F(StringFunctions, CaseConversionTouchesOnlyAsciiLetters) {
  const case_conversion cases[] = {
      {"", "", ""},
      {"abcXYZ", "ABCXYZ", "abcxyz"},
      {"@[`{ 09", "@[`{ 09", "@[`{ 09"},
      {"\x81\xe4z", "\x81\xe4Z", "\x81\xe4z"},
  };
  for (const case_conversion& c : cases) {
    EXPECT_EQ(text_of(string_ucase(variable(c.input))), c.upper);
    EXPECT_EQ(text_of(string_lcase(variable(c.input))), c.lower);
    rt_string* t = temp_of(c.input);
    rt_string* r = string_ucase(t);
    EXPECT_EQ(r, t);
    EXPECT_EQ(text_of(r), c.upper);
  }
}

TEST_F(StringFunctions, TrimsRemoveOnlySpaces) {
  const struct {
    const char* input;
    const char* left;
    const char* right;
    const char* both;
  } cases[] = {
      {"", "", "", ""},
      {"   ", "", "", ""},
      {"  a b  ", "a b  ", "  a b", "a b"},
      {"\ta\t", "\ta\t", "\ta\t", "\ta\t"},
      {" x", "x", " x", "x"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(text_of(string_ltrim(variable(c.input))), c.left);
    EXPECT_EQ(text_of(string_rtrim(variable(c.input))), c.right);
    EXPECT_EQ(text_of(string_trim(variable(c.input))), c.both);
    EXPECT_EQ(text_of(string_trim(temp_of(c.input))), c.both);
  }
}

TEST_F(StringFunctions, ChrRange) {
  EXPECT_EQ(text_of(string_chr(65)), "A");
  EXPECT_EQ(string_chr(0)->chars[0], 0);
  EXPECT_EQ(string_chr(255)->chars[0], 255);
  EXPECT_EQ(pending_error, 0u);
  rt_string* r = string_chr(256);
  EXPECT_EQ(r->len, 0);
  EXPECT_EQ(r->tmp, 1);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  EXPECT_EQ(string_chr(-1)->len, 0);
  EXPECT_EQ(pending_error, 5u);
}

TEST_F(StringFunctions, SpaceAndStringOfNegativeCountAreEmpty) {
  EXPECT_EQ(text_of(string_space(3)), "   ");
  EXPECT_EQ(string_space(0)->len, 0);
  EXPECT_EQ(string_space(-5)->len, 0);
  EXPECT_EQ(text_of(string_repeat(3, 65 + 256)), "AAA");
  EXPECT_EQ(string_repeat(2, -1)->chars[1], 255);
  EXPECT_EQ(string_repeat(-1, 65)->len, 0);
  EXPECT_EQ(pending_error, 0u);
  EXPECT_EQ(string_space(int64_t{1} << 40)->len, 0);  // no 32-bit length holds it
  EXPECT_EQ(pending_error, 5u);
}

struct instr_case {
  const char* s;
  const char* find;
  int64_t start;
  int32_t passed;
  int32_t expected;
};

TEST_F(StringFunctions, InstrBoundaries) {
  const instr_case cases[] = {
      {"abc", "", 0, 0, 1},     {"abc", "", 4, 1, 0},     {"abc", "", 3, 1, 3},   {"", "", 0, 0, 0},
      {"", "a", 0, 0, 0},       {"abab", "ab", 2, 1, 3},  {"abab", "ab", 0, 0, 1}, {"abab", "ab", 4, 1, 0},
      {"abc", "", -2, 1, 0},    {"abc", "b", -2, 1, 2},   {"abc", "abcd", 1, 1, 0}, {"aab", "ab", 1, 1, 2},
      {"abc", "c", 3, 1, 3},    {"abc", "x", 1, 1, 0},    {"a\0b", "b", 1, 1, 0},
  };
  for (const instr_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.s << " / " << c.find << " from " << c.start);
    rt_string* s = variable(c.s);
    rt_string* find = variable(c.find);
    EXPECT_EQ(string_instr(c.start, s, find, c.passed), c.expected);
  }
  // Embedded zero bytes are ordinary bytes.
  rt_string* z = string_from_text_len("a\0b", 3);
  EXPECT_EQ(string_instr(0, z, string_from_text("b"), 0), 3);
}

TEST_F(StringFunctions, InstrDoesNotConsume) {
  rt_string* s = temp_of("hello");
  rt_string* f = temp_of("l");
  EXPECT_EQ(string_instr(0, s, f, 0), 3);
  EXPECT_EQ(text_of(s), "hello");
  EXPECT_EQ(text_of(f), "l");
}

struct mid_statement_case {
  int64_t start;
  int64_t count;
  int32_t passed;
  const char* src;
  const char* expected;
};

TEST_F(StringFunctions, MidStatementBoundaries) {
  const mid_statement_case cases[] = {
      {2, 0, 0, "XY", "aXYde"},  {4, 0, 0, "XYZ", "abcXY"},  {1, 1, 1, "XYZ", "Xbcde"},
      {0, 0, 0, "XYZ", "YZcde"}, {-1, 0, 0, "XYZ", "Zbcde"}, {-2, 0, 0, "XYZ", "abcde"},
      {6, 0, 0, "X", "abcde"},   {2, 0, 1, "XY", "abcde"},   {2, -3, 1, "XY", "abcde"},
      {1, 9, 1, "", "abcde"},    {0, 2, 1, "XYZ", "Ybcde"},  {INT64_MIN, INT64_MAX, 1, "XYZ", "abcde"},
      {3, INT64_MAX, 1, "XYZW", "abXYZ"},
  };
  for (const mid_statement_case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.start << " " << c.count << " " << c.src);
    rt_string* dest = variable("abcde");
    string_mid_statement(dest, c.start, c.count, variable(c.src), c.passed);
    EXPECT_EQ(text_of(dest), c.expected);
    EXPECT_EQ(dest->len, 5);
  }
}

TEST_F(StringFunctions, MidStatementEdges) {
  rt_string* dest = variable("abcdef");
  string_mid_statement(dest, 2, 0, dest, 0);  // overlapping copy within one string
  EXPECT_EQ(text_of(dest), "aabcde");
  string_mid_statement(null_string, 1, 0, temp_of("xyz"), 0);
  EXPECT_EQ(null_string->len, 0);
  pending_error = 7;
  string_mid_statement(dest, 1, 0, temp_of("Q"), 0);
  EXPECT_EQ(text_of(dest), "aabcde");
  pending_error = 0;
  uint32_t before = temp_count;
  rt_string* t = temp_of("ZZ");
  string_mid_statement(dest, 1, 0, t, 0);  // a temporary source is consumed
  EXPECT_EQ(temp_count, before);
  EXPECT_EQ(text_of(dest), "ZZbcde");
}

TEST_F(StringFunctions, ComparisonsUseUnsignedByteOrder) {
  const struct {
    const char* a;
    const char* b;
    int expected;  // sign of a - b
  } cases[] = {
      {"", "", 0},      {"", "a", -1},    {"a", "", 1},       {"ab", "abc", -1}, {"abc", "ab", 1},
      {"Z", "a", -1},   {"a", "Z", 1},    {"abc", "abd", -1}, {"\x80", "\x7f", 1}, {"same", "same", 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.a << " vs " << c.b);
    rt_string* a = variable(c.a);
    rt_string* b = variable(c.b);
    EXPECT_EQ(string_equal(a, b), c.expected == 0 ? -1 : 0);
    EXPECT_EQ(string_not_equal(a, b), c.expected != 0 ? -1 : 0);
    EXPECT_EQ(string_less(a, b), c.expected < 0 ? -1 : 0);
    EXPECT_EQ(string_greater(a, b), c.expected > 0 ? -1 : 0);
    EXPECT_EQ(string_less_equal(a, b), c.expected <= 0 ? -1 : 0);
    EXPECT_EQ(string_greater_equal(a, b), c.expected >= 0 ? -1 : 0);
  }
}

TEST_F(StringFunctions, SwapExchangesValues) {
  rt_string* a = variable("first");
  rt_string* b = variable("second value");
  string_swap(a, b);
  EXPECT_EQ(text_of(a), "second value");
  EXPECT_EQ(text_of(b), "first");
  uint8_t storage[4];
  rt_string* f = string_new_fixed(storage, 4, false);
  string_assign(f, string_from_text("ab"));
  string_swap(a, f);
  EXPECT_EQ(text_of(a), "ab  ");
  EXPECT_EQ(text_of(f), "seco");
  string_free(f);
}

TEST_F(StringFunctions, LsetRsetAlignIntoLength) {
  const struct {
    bool right;
    const char* dest;
    const char* src;
    const char* expected;
  } cases[] = {
      {false, "abcde", "XY", "XY   "}, {true, "abcde", "XY", "   XY"}, {false, "abc", "WXYZ", "WXY"},
      {true, "abc", "WXYZ", "WXY"},    {false, "abc", "", "   "},     {true, "", "XY", ""},
  };
  for (const auto& c : cases) {
    rt_string* dest = variable(c.dest);
    if (c.right) {
      string_rset(dest, temp_of(c.src));
    } else {
      string_lset(dest, temp_of(c.src));
    }
    EXPECT_EQ(text_of(dest), c.expected);
  }
  rt_string* dest = variable("abc");
  pending_error = 9;
  string_lset(dest, temp_of("Q"));
  EXPECT_EQ(text_of(dest), "abc");
  pending_error = 0;
}

TEST_F(StringFunctions, AscRange) {
  rt_string* s = variable("AB");
  EXPECT_EQ(string_asc(s, 0, 0), 65);
  EXPECT_EQ(string_asc(s, 2, 1), 66);
  EXPECT_EQ(pending_error, 0u);
  const int64_t bad_positions[] = {0, 3, -1, INT64_MAX};
  for (int64_t p : bad_positions) {
    pending_error = 0;
    EXPECT_EQ(string_asc(s, p, 1), 0);
    EXPECT_EQ(pending_error, 5u);
  }
  pending_error = 0;
  EXPECT_EQ(string_asc(variable(""), 0, 0), 0);
  EXPECT_EQ(pending_error, 5u);
}

TEST_F(StringFunctions, ConsumedTemporariesLeaveNoSlots) {
  uint32_t before = temp_count;
  rt_string* r = string_left(string_ucase(string_from_text("abc")), 2);
  EXPECT_EQ(text_of(r), "AB");
  int live = 0;
  for (uint32_t i = before; i < temp_count; ++i) live += !slot_is_dead(temp_list[i]);
  EXPECT_EQ(live, 1);  // only the result stays listed
  EXPECT_EQ(temp_list[temp_count - 1], r);
}

}  // namespace
