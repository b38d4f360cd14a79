// The curve as a table (keeps the row layout of each format and the number forms of its two columns).
#include "app/curve_table.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

// The wavelength with the fewest decimals that still read back as the same DOUBLE ("580.5").
int wavelength_text(double wavelength, char* out) {
  return static_cast<int>(std::to_chars(out, out + 40, wavelength, std::chars_format::fixed).ptr - out);
}

}  // namespace

int brightness_text(double brightness, bool full, char* out) {
  if (full) return static_cast<int>(std::to_chars(out, out + 40, brightness, std::chars_format::general, 17).ptr - out);
  const double rounded = std::floor(brightness * 1000.0) / 1000.0;
  return static_cast<int>(std::to_chars(out, out + 40, rounded, std::chars_format::fixed, 3).ptr - out);
}

void table_begin(table_writer& table) {
  table.rows = 0;
  if (table.format == table_format::csv) std::fputs("wavelength_nm,brightness\n", table.out);
  if (table.format == table_format::json) std::fputs("[", table.out);
}

void table_row(table_writer& table, double wavelength, double brightness) {
  char line[128];
  char* p = line;
  const bool json = table.format == table_format::json;
  if (json) {
    const char* opening = table.rows == 0 ? "\n  {\"wavelength_nm\": " : ",\n  {\"wavelength_nm\": ";
    p = std::strcpy(p, opening) + std::strlen(opening);
  }
  p += wavelength_text(wavelength, p);
  if (json) {
    std::memcpy(p, ", \"brightness\": ", 16);
    p += 16;
  } else {
    *p++ = table.format == table_format::csv ? ',' : '\t';
  }
  p += brightness_text(brightness, table.full, p);
  *p++ = json ? '}' : '\n';
  std::fwrite(line, 1, static_cast<size_t>(p - line), table.out);
  ++table.rows;
}

void table_end(table_writer& table) {
  if (table.format == table_format::json) std::fputs(table.rows ? "\n]\n" : "]\n", table.out);
}
