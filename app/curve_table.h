// The curve as a table: one row per wavelength in text, CSV or JSON, the brightness to three decimals or in full.
#pragma once
#include <cstdint>
#include <cstdio>

enum class table_format { text, csv, json };

struct table_writer {
  std::FILE* out;
  table_format format;
  bool full;     // the unrounded value with 17 significant digits, not three decimals
  int64_t rows;  // rows written so far
};

// The brightness as the calculator rounds it (down, to three decimals), with exactly three
// decimals ("83.549"), or with `full` the unrounded value to 17 significant digits; written
// to `out` (room for 40 bytes). Returns the length.
int brightness_text(double brightness, bool full, char* out);

// The header (CSV's column names, JSON's opening bracket), each row, and the closing line.
void table_begin(table_writer& table);
void table_row(table_writer& table, double wavelength, double brightness);
void table_end(table_writer& table);
