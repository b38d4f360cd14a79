// The text screen as a screen reader reads it: the visible page as one text with a caret, the edits between two pages, and offsets, lines and words.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// One page as text: each row's characters (code page 437 mapped to Unicode), trailing
// blanks dropped but kept up to the cursor, rows joined by '\n'. Offsets count characters.
struct accessible_page {
  std::u32string text;
  std::vector<int32_t> row_starts;  // offset of each row's first character
  int32_t caret = 0;                // offset of the cursor cell
  int32_t columns = 0;              // cells per row
};

// The page of `columns` x `rows` cells (character, attribute; row by row) with the cursor
// in cell (cursor_x, cursor_y), 0-based; cursor_x may be `columns` while a line waits to
// wrap. A cursor outside the page sits on the nearest cell.
accessible_page page_from_cells(const uint8_t* cells, int32_t columns, int32_t rows, int32_t cursor_x,
                                int32_t cursor_y);

// One step from an old text towards a new one: `text` removed or inserted at `offset`.
struct text_edit {
  bool inserted;  // false: removed
  int32_t offset;
  std::u32string text;
};

// What a screen reader is told when `before` becomes `after`: the edits in order (a page
// that scrolled loses its top rows first; then what differs between the common start and
// the common end is removed and the new part inserted), and whether the caret moved (its
// offset changed, or the text before it did).
struct page_change {
  std::vector<text_edit> edits;
  bool caret_moved = false;
};
page_change page_difference(const accessible_page& before, const accessible_page& after);

// Rows the page moved up between `before` and `after` (0: none): the smallest shift under
// which every row still on the page reads as before, trailing blanks aside, and one of
// them holds text.
int32_t scrolled_rows(const accessible_page& before, const accessible_page& after);

// Row of an offset and column in it (an offset past a row's end is its line break).
struct text_place {
  int32_t row, column;
};
text_place place_of_offset(const accessible_page& page, int32_t offset);
// The offset of a cell; a column past the row's text gives the row's end.
int32_t offset_of_place(const accessible_page& page, int32_t row, int32_t column);

// The stretch of text around an offset, as screen readers step through it: one character;
// a word from its start to the next word's start; a line with its line break.
enum class text_unit { character, word, line };
struct text_span {
  int32_t start, end;  // end is one past the last character
};
text_span span_at(const accessible_page& page, int32_t offset, text_unit unit);
// A row's characters from its start, without its line break.
int32_t row_length(const accessible_page& page, int32_t row);
