// Accessible text model (turns the cells and cursor of a page into text and caret, two pages into edits, offsets into lines and words).
#include "runtime/window/accessible_text_model.h"

#include <algorithm>

#include "runtime/console/code_page.h"

namespace {

// Codes that show nothing at a row's end: a blank and code 0, which reads as one.
bool blank_code(uint8_t code) { return code == ' ' || code == 0; }

// Characters between words: blanks, no-break spaces and line breaks.
bool word_character(char32_t c) { return c != U' ' && c != U'\n' && c != U'\u00A0'; }

bool word_start(const std::u32string& text, size_t at) {
  return at < text.size() && word_character(text[at]) && (at == 0 || !word_character(text[at - 1]));
}

int32_t clamp(int32_t value, int32_t low, int32_t high) { return std::max(low, std::min(value, high)); }

// A row's characters without the blanks it ends in.
std::u32string::const_iterator trimmed_end(const accessible_page& page, int32_t row) {
  auto start = page.text.begin() + page.row_starts[size_t(row)];
  auto end = start + row_length(page, row);
  while (end != start && *(end - 1) == U' ') --end;
  return end;
}

bool rows_read_alike(const accessible_page& a, int32_t row_a, const accessible_page& b, int32_t row_b) {
  auto start_a = a.text.begin() + a.row_starts[size_t(row_a)];
  auto start_b = b.text.begin() + b.row_starts[size_t(row_b)];
  return std::equal(start_a, trimmed_end(a, row_a), start_b, trimmed_end(b, row_b));
}

}  // namespace

accessible_page page_from_cells(const uint8_t* cells, int32_t columns, int32_t rows, int32_t cursor_x,
                                int32_t cursor_y) {
  accessible_page page;
  if (columns <= 0 || rows <= 0 || !cells) return page;
  cursor_y = clamp(cursor_y, 0, rows - 1);
  cursor_x = clamp(cursor_x, 0, columns);
  page.columns = columns;
  page.text.reserve(size_t(columns + 1) * rows);
  for (int32_t row = 0; row < rows; ++row) {
    if (row > 0) page.text.push_back(U'\n');
    page.row_starts.push_back(int32_t(page.text.size()));
    const uint8_t* line = cells + size_t(row) * columns * 2;
    int32_t kept = columns;
    while (kept > 0 && blank_code(line[(kept - 1) * 2])) --kept;
    // The cursor's row keeps its blanks up to the cursor, so the caret stands on text.
    if (row == cursor_y) {
      kept = std::max(kept, cursor_x);
      page.caret = page.row_starts.back() + cursor_x;
    }
    for (int32_t column = 0; column < kept; ++column) page.text.push_back(code_page_437[line[column * 2]]);
  }
  return page;
}

int32_t scrolled_rows(const accessible_page& before, const accessible_page& after) {
  int32_t rows = int32_t(before.row_starts.size());
  if (rows != int32_t(after.row_starts.size())) return 0;
  for (int32_t shift = 1; shift < rows; ++shift) {
    bool alike = true, any_text = false;
    for (int32_t row = 0; alike && row + shift < rows; ++row) {
      alike = rows_read_alike(before, row + shift, after, row);
      if (alike && trimmed_end(after, row) != after.text.begin() + after.row_starts[size_t(row)]) any_text = true;
    }
    if (alike && any_text) return shift;
  }
  return 0;
}

page_change page_difference(const accessible_page& before, const accessible_page& after) {
  page_change change;
  std::u32string current = before.text;
  int32_t shift = scrolled_rows(before, after);
  if (shift > 0) {
    size_t gone = size_t(before.row_starts[size_t(shift)]);
    change.edits.push_back({false, 0, current.substr(0, gone)});
    current.erase(0, gone);
  }
  const std::u32string& target = after.text;
  size_t common = std::min(current.size(), target.size());
  size_t prefix = 0;
  while (prefix < common && current[prefix] == target[prefix]) ++prefix;
  size_t suffix = 0;
  while (suffix < common - prefix && current[current.size() - 1 - suffix] == target[target.size() - 1 - suffix])
    ++suffix;
  size_t removed = current.size() - prefix - suffix, inserted = target.size() - prefix - suffix;
  if (removed > 0) change.edits.push_back({false, int32_t(prefix), current.substr(prefix, removed)});
  if (inserted > 0) change.edits.push_back({true, int32_t(prefix), target.substr(prefix, inserted)});
  // The caret also moves when the text before it changed, though its offset may not.
  change.caret_moved = before.caret != after.caret || shift > 0 || (!change.edits.empty() && prefix < size_t(after.caret));
  return change;
}

int32_t row_length(const accessible_page& page, int32_t row) {
  size_t next = size_t(row) + 1;
  int32_t end = next < page.row_starts.size() ? page.row_starts[next] - 1 : int32_t(page.text.size());
  return end - page.row_starts[size_t(row)];
}

text_place place_of_offset(const accessible_page& page, int32_t offset) {
  if (page.row_starts.empty()) return {0, 0};
  offset = clamp(offset, 0, int32_t(page.text.size()));
  auto after = std::upper_bound(page.row_starts.begin(), page.row_starts.end(), offset);
  int32_t row = int32_t(after - page.row_starts.begin()) - 1;
  return {row, offset - page.row_starts[size_t(row)]};
}

int32_t offset_of_place(const accessible_page& page, int32_t row, int32_t column) {
  if (page.row_starts.empty()) return 0;
  row = clamp(row, 0, int32_t(page.row_starts.size()) - 1);
  return page.row_starts[size_t(row)] + clamp(column, 0, row_length(page, row));
}

text_span span_at(const accessible_page& page, int32_t offset, text_unit unit) {
  int32_t size = int32_t(page.text.size());
  offset = clamp(offset, 0, size);
  switch (unit) {
    case text_unit::character:
      return {offset, std::min(offset + 1, size)};
    case text_unit::line: {
      if (page.row_starts.empty()) return {0, 0};
      size_t row = size_t(place_of_offset(page, offset).row);
      int32_t end = row + 1 < page.row_starts.size() ? page.row_starts[row + 1] : size;
      return {page.row_starts[row], end};
    }
    case text_unit::word:
    default: {
      int32_t start = offset;
      while (start > 0 && !word_start(page.text, size_t(start))) --start;
      int32_t end = offset + 1;
      while (end < size && !word_start(page.text, size_t(end))) ++end;
      return {start, std::min(end, size)};
    }
  }
}
