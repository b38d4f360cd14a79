// Decimal ranges FROM:TO:STEP: their points worked out in whole decimal units, so none drifts.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string_view>

// The range's values as whole numbers of 10^-scale (380.5 at scale 1 is 3805).
struct decimal_range {
  int64_t from, to, step;  // step above 0, to not below from
  int scale;               // decimals, at most decimal_range_max_scale
};

constexpr int decimal_range_max_scale = 14;

// Reads "FROM:TO:STEP", each a decimal number with a point or a comma (no exponent).
// False when the text is not one, STEP is not above 0, TO is below FROM, or a value has
// more digits than the whole units hold.
bool parse_decimal_range(std::string_view text, decimal_range* range);

// Points FROM + k STEP that do not pass TO (TO itself when reached); 0 for none.
int64_t range_point_count(const decimal_range& range);

// `units` of 10^-scale as plain decimal text without trailing zeros ("380.3", "400"),
// written to `out` (room for 48 bytes); returns its length.
size_t decimal_text(int64_t units, int scale, char* out);

// Point k of the range as decimal text, as decimal_text.
size_t range_point_text(const decimal_range& range, int64_t k, char* out);

// Narrows the range to its points between the whole numbers `low` and `high`: FROM moves
// up to the first point at or above `low`, TO down to `high`. True when anything was cut.
bool clamp_range(decimal_range* range, int64_t low, int64_t high);

// The same span at a step no wider than `step_tenths` / 10 (the range's own when finer).
decimal_range finer_range(const decimal_range& range, int64_t step_tenths);
