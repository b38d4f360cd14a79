// One text screen as a test reads it back (keeps the row text helpers).
#include "support/screen_text.h"

std::string screen_text::trimmed(int r) const {
  if (r < 0 || r >= static_cast<int>(lines.size())) return "";
  std::string line = lines[r];
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line;
}

std::string screen_text::text() const {
  std::vector<std::string> rows_text;
  for (int r = 0; r < rows; ++r) rows_text.push_back(trimmed(r));
  while (!rows_text.empty() && rows_text.back().empty()) rows_text.pop_back();
  std::string out;
  for (size_t i = 0; i < rows_text.size(); ++i) out += (i ? "\n" : "") + rows_text[i];
  return out;
}

int screen_text::find_row(const std::string& needle) const {
  for (int r = 0; r < rows; ++r)
    if (lines[r].find(needle) != std::string::npos) return r;
  return -1;
}
