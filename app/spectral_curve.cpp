// The brightness curve (keeps the segment table read from the DATA text, the cubic and the segment search).
#include "app/spectral_curve.h"

#include "app/segment_data.h"
#include "runtime/values/data_reader.h"

namespace {

struct segment_table {
  spectral_segment rows[spectral_segment_count];
};

// Six READs per row in the DATA text's order, each item taken as the DOUBLE READ stores.
segment_table read_table() {
  segment_table table{};
  int64_t position = 0;
  auto next = [&position] {
    return static_cast<double>(read_numeric(segment_data, &position, segment_data_length, type_double));
  };
  for (spectral_segment& row : table.rows) {
    row.from = next();
    row.to = next();
    row.c0 = next();
    row.c1 = next();
    row.c2 = next();
    row.c3 = next();
  }
  return table;
}

}  // namespace

double cubic_value(double c0, double c1, double c2, double c3, double l) {
  double s = c0;
  s = l * c1 + s;
  s = l * (c2 * l) + s;
  return l * ((c3 * l) * l) + s;
}

const spectral_segment* spectral_table() {
  static const segment_table table = read_table();
  return table.rows;
}

const spectral_segment* segment_of(double l) {
  const spectral_segment* rows = spectral_table();
  for (int i = 0; i < spectral_segment_count; ++i)
    if (l >= rows[i].from && rows[i].to >= l) return &rows[i];
  return nullptr;
}

bool spectral_brightness(double l, double* brightness) {
  const spectral_segment* s = segment_of(l);
  if (!s) return false;
  *brightness = cubic_value(s->c0, s->c1, s->c2, s->c3, l);
  return true;
}
