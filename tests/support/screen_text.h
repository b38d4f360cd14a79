// One text screen as a test reads it back: its rows as code page 437 codes, its colours and its cursor.
#pragma once
#include <string>
#include <vector>

// One decoded text screen, from a window's pixels or a terminal's cells. lines[r] holds
// cols bytes (code page 437 codes; '?' for cells that match no glyph or code). fg/bg are
// text colour indices 0-15; fg is -1 for cells that show no foreground pixel (blank cells
// in a window) and both are -1 for undecodable cells or a terminal's default colours.
// cursor marks the cell under the cursor: in a window the cells that matched only with
// pixel row 14 (the text cursor line) ignored, in a terminal the cell under the shown cursor.
struct screen_text {
  int cols = 0, rows = 0;
  std::vector<std::string> lines;
  std::vector<std::vector<int>> fg, bg;
  std::vector<std::vector<bool>> cursor;
  // Read from a window a whole multiple larger: each block of window pixels behind one
  // frame pixel is a single colour (always true at the frame's own size).
  bool uniform_blocks = true;
  // Row r without trailing blanks.
  std::string trimmed(int r) const;
  // All rows joined with '\n', each trimmed, trailing empty rows dropped.
  std::string text() const;
  // First row holding `needle`, -1 when none.
  int find_row(const std::string& needle) const;
};
