// The screen reader's text model without any bus: cells and cursor to text and caret, two pages to edits, lines and words.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/window/accessible_text_model.h"

namespace {

// A page of rows.size() rows; each row's bytes are its codes, padded with blanks.
accessible_page page_of(const std::vector<std::string>& rows, int columns, int cursor_x, int cursor_y) {
  std::vector<uint8_t> cells;
  for (const std::string& row : rows)
    for (int column = 0; column < columns; ++column) {
      cells.push_back(column < int(row.size()) ? uint8_t(row[size_t(column)]) : uint8_t(' '));
      cells.push_back(7);
    }
  return page_from_cells(cells.data(), columns, int(rows.size()), cursor_x, cursor_y);
}

struct cells_case {
  const char* name;
  std::vector<std::string> rows;
  int columns, cursor_x, cursor_y;
  std::u32string text;
  int caret;
};

TEST(AccessibleTextModel, CellsAndCursorGiveTextAndCaret) {
  const cells_case cases[] = {
      {"blank rows", {"", "", ""}, 4, 0, 0, U"\n\n", 0},
      {"full rows", {"ABCD", "EFGH", "IJKL"}, 4, 0, 2, U"ABCD\nEFGH\nIJKL", 10},
      {"blanks kept up to the cursor", {"A?  ", "  B ", ""}, 4, 3, 0, U"A? \n  B\n", 3},
      {"deferred wrap past the last column", {"", "", "ABCD"}, 4, 4, 2, U"\n\nABCD", 6},
      {"line drawing and accents", {"\xC9\xCD\xBB", "\x84\xE1\x81"}, 4, 0, 1, U"╔═╗\näßü", 4},
      {"codes 0 and 255", {std::string("A\0B\xFF\0", 5), "x"}, 5, 1, 1, U"A B\u00A0\nx", 6},
      {"cursor off the page: the nearest place", {"AB", "CD"}, 4, 9, 7, U"AB\nCD  ", 7},
  };
  for (const cells_case& c : cases) {
    accessible_page page = page_of(c.rows, c.columns, c.cursor_x, c.cursor_y);
    EXPECT_EQ(page.text, c.text) << c.name;
    EXPECT_EQ(page.caret, c.caret) << c.name;
    EXPECT_EQ(page.row_starts.size(), c.rows.size()) << c.name;
  }
}

// The old text with the edits done in order.
std::u32string edited(std::u32string text, const std::vector<text_edit>& edits) {
  for (const text_edit& e : edits) {
    if (e.inserted) {
      text.insert(size_t(e.offset), e.text);
    } else {
      EXPECT_EQ(text.substr(size_t(e.offset), e.text.size()), e.text) << "removed text is not where it is said to be";
      text.erase(size_t(e.offset), e.text.size());
    }
  }
  return text;
}

struct change_case {
  const char* name;
  std::vector<std::string> before, after;
  int before_x, before_y, after_x, after_y;
  std::vector<text_edit> edits;
  bool caret_moved;
};

TEST(AccessibleTextModel, PagesGiveRemoveInsertAndCaret) {
  const change_case cases[] = {
      {"no change", {"AB", "CD"}, {"AB", "CD"}, 1, 0, 1, 0, {}, false},
      {"append at the caret", {"N? ", ""}, {"N? 5", ""}, 3, 0, 4, 0, {{true, 3, U"5"}}, true},
      {"change mid-screen", {"ABCD", "EFGH", "IJKL"}, {"ABCD", "EXGH", "IJKL"}, 0, 0, 0, 0,
       {{false, 6, U"F"}, {true, 6, U"X"}}, false},
      {"one-row scroll", {"A", "B", "C"}, {"B", "C", "D"}, 1, 2, 1, 2, {{false, 0, U"A\n"}, {true, 3, U"\nD"}}, true},
      {"clear screen", {"AB", "CD", ""}, {"", "", ""}, 2, 1, 0, 0, {{false, 0, U"AB\nCD"}, {true, 0, U"\n"}}, true},
      {"cursor-only move", {"ABCD", ""}, {"ABCD", ""}, 1, 0, 3, 0, {}, true},
  };
  for (const change_case& c : cases) {
    accessible_page before = page_of(c.before, 4, c.before_x, c.before_y);
    accessible_page after = page_of(c.after, 4, c.after_x, c.after_y);
    page_change change = page_difference(before, after);
    ASSERT_EQ(change.edits.size(), c.edits.size()) << c.name;
    for (size_t i = 0; i < c.edits.size(); ++i) {
      EXPECT_EQ(change.edits[i].inserted, c.edits[i].inserted) << c.name << " edit " << i;
      EXPECT_EQ(change.edits[i].offset, c.edits[i].offset) << c.name << " edit " << i;
      EXPECT_EQ(change.edits[i].text, c.edits[i].text) << c.name << " edit " << i;
    }
    EXPECT_EQ(edited(before.text, change.edits), after.text) << c.name;
    EXPECT_EQ(change.caret_moved, c.caret_moved) << c.name;
  }
}

TEST(AccessibleTextModel, AScrollIsToldAsTopRowsGoneNotAWholeNewScreen) {
  std::vector<std::string> rows;
  for (int r = 0; r < 25; ++r) rows.push_back("line " + std::to_string(r));
  std::vector<std::string> scrolled(rows.begin() + 2, rows.end());
  scrolled.push_back("new 25");
  scrolled.push_back("");
  accessible_page before = page_of(rows, 80, 7, 24), after = page_of(scrolled, 80, 0, 24);
  EXPECT_EQ(scrolled_rows(before, after), 2);
  page_change change = page_difference(before, after);
  ASSERT_EQ(change.edits.size(), 2u);
  EXPECT_EQ(change.edits[0].text, U"line 0\nline 1\n");
  EXPECT_EQ(change.edits[1].text, U"\nnew 25\n");
  EXPECT_EQ(edited(before.text, change.edits), after.text);
}

struct span_case {
  const char* name;
  int offset;
  text_unit unit;
  int start, end;
};

TEST(AccessibleTextModel, BoundariesOfCharactersWordsAndLines) {
  // "AB CD\n  EF\nG": rows start at 0, 6 and 11.
  accessible_page page = page_of({"AB CD", "  EF", "G"}, 6, 0, 0);
  ASSERT_EQ(page.text, U"AB CD\n  EF\nG");
  const span_case cases[] = {
      {"line at a row's start", 6, text_unit::line, 6, 11},
      {"line at a row's end (its line break)", 10, text_unit::line, 6, 11},
      {"line at the last row's end", 12, text_unit::line, 11, 12},
      {"first line", 0, text_unit::line, 0, 6},
      {"character", 4, text_unit::character, 4, 5},
      {"character past the end", 12, text_unit::character, 12, 12},
      {"word at its start", 0, text_unit::word, 0, 3},
      {"word inside, up to the next word", 4, text_unit::word, 3, 8},
      {"word from blanks at a row's start", 6, text_unit::word, 3, 8},
      {"last word", 11, text_unit::word, 11, 12},
  };
  for (const span_case& c : cases) {
    text_span span = span_at(page, c.offset, c.unit);
    EXPECT_EQ(span.start, c.start) << c.name;
    EXPECT_EQ(span.end, c.end) << c.name;
  }
  EXPECT_EQ(row_length(page, 1), 4);
  EXPECT_EQ(place_of_offset(page, 10).row, 1);  // the line break belongs to its row
  EXPECT_EQ(place_of_offset(page, 10).column, 4);
  EXPECT_EQ(place_of_offset(page, 11).row, 2);
  EXPECT_EQ(offset_of_place(page, 1, 79), 10);  // past the text: the row's end
  EXPECT_EQ(offset_of_place(page, 2, 0), 11);
}

}  // namespace
