// The curve worked out in the tests apart from the programs: the table text read with strtod, the first segment holding a wavelength, the cubic in its stated order.
#pragma once
#include <cstdlib>
#include <vector>

#include "app/segment_data.h"

struct segment {
  double from, to, c[4];
};

// The 87 rows, read once.
inline const std::vector<segment>& parse_table() {
  static const std::vector<segment> table = [] {
    std::vector<double> items;
    for (const char* p = segment_data; p < segment_data + segment_data_length;) {
      char* stop = nullptr;
      items.push_back(std::strtod(p, &stop));
      p = stop + 1;  // the comma after each item
    }
    std::vector<segment> rows;
    for (size_t k = 0; k + 5 < items.size(); k += 6)
      rows.push_back({items[k], items[k + 1], {items[k + 2], items[k + 3], items[k + 4], items[k + 5]}});
    return rows;
  }();
  return table;
}

// Index of the first segment whose closed range holds l, or -1.
inline int expected_segment(double l) {
  const std::vector<segment>& table = parse_table();
  for (size_t k = 0; k < table.size(); ++k) {
    if (table[k].from <= l && table[k].to >= l) return static_cast<int>(k);
  }
  return -1;
}

// The brightness at l, 0 outside the table (as the calculator answers).
inline double expected_brightness(double l) {
  int k = expected_segment(l);
  if (k < 0) return 0.0;
  const segment& s = parse_table()[k];
  // The stated order of evaluation, each step rounded to DOUBLE.
  double y = s.c[0];
  y = l * s.c[1] + y;
  y = l * (s.c[2] * l) + y;
  return l * ((s.c[3] * l) * l) + y;
}
