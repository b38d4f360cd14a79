// Decimal ranges (keeps the reading of FROM:TO:STEP into whole units and the points' decimal text).
#include "app/decimal_range.h"

#include <algorithm>
#include <string>

namespace {

// Whole units stay below this, so a sum of two or a tenfold one still fits 64 bits.
constexpr int64_t units_limit = 100000000000000000;  // 10^17

struct decimal_part {
  bool negative;
  std::string digits;  // integer and fraction digits in order
  int decimals;        // how many of them are fraction digits
};

bool read_part(std::string_view text, decimal_part* part) {
  part->negative = false;
  part->digits.clear();
  part->decimals = 0;
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) part->negative = text[at++] == '-';
  bool point = false;
  for (; at < text.size(); ++at) {
    const char c = text[at];
    if (c >= '0' && c <= '9') {
      part->digits += c;
      if (point) ++part->decimals;
    } else if ((c == '.' || c == ',') && !point) {
      point = true;
    } else {
      return false;
    }
  }
  return !part->digits.empty() && part->decimals <= decimal_range_max_scale;
}

// The part in whole units of 10^-scale (scale at least its decimals); false past the limit.
bool part_units(const decimal_part& part, int scale, int64_t* units) {
  int64_t value = 0;
  for (char c : part.digits) {
    value = value * 10 + (c - '0');
    if (value >= units_limit) return false;
  }
  for (int k = part.decimals; k < scale; ++k) {
    value *= 10;
    if (value >= units_limit) return false;
  }
  *units = part.negative ? -value : value;
  return true;
}

int64_t power_of_ten(int exponent) {
  int64_t p = 1;
  while (exponent-- > 0) p *= 10;
  return p;
}

// Division rounding towards minus infinity (divisor above 0).
int64_t floor_div(int64_t a, int64_t b) { return a / b - (a % b != 0 && a < 0 ? 1 : 0); }

}  // namespace

bool parse_decimal_range(std::string_view text, decimal_range* range) {
  decimal_part parts[3];
  for (int k = 0; k < 3; ++k) {
    const size_t colon = k < 2 ? text.find(':') : text.size();
    if (colon == std::string_view::npos || !read_part(text.substr(0, colon), &parts[k])) return false;
    text.remove_prefix(k < 2 ? colon + 1 : colon);
  }
  decimal_range r{};
  r.scale = std::max({parts[0].decimals, parts[1].decimals, parts[2].decimals});
  if (!part_units(parts[0], r.scale, &r.from) || !part_units(parts[1], r.scale, &r.to) ||
      !part_units(parts[2], r.scale, &r.step))
    return false;
  if (r.step <= 0 || r.to < r.from) return false;
  *range = r;
  return true;
}

int64_t range_point_count(const decimal_range& range) {
  if (range.to < range.from) return 0;
  return (range.to - range.from) / range.step + 1;
}

size_t decimal_text(int64_t units, int scale, char* out) {
  const int64_t unit = power_of_ten(scale);
  const bool negative = units < 0;
  const uint64_t magnitude = negative ? 0 - static_cast<uint64_t>(units) : static_cast<uint64_t>(units);
  std::string text = (negative ? "-" : "") + std::to_string(magnitude / unit);
  std::string fraction = std::to_string(magnitude % unit + unit).substr(1);  // leading zeros kept
  fraction.erase(fraction.find_last_not_of('0') + 1);
  if (!fraction.empty()) text += "." + fraction;
  text.copy(out, text.size());
  return text.size();
}

size_t range_point_text(const decimal_range& range, int64_t k, char* out) {
  return decimal_text(range.from + k * range.step, range.scale, out);
}

bool clamp_range(decimal_range* range, int64_t low, int64_t high) {
  const int64_t unit = power_of_ten(range->scale);
  const int64_t low_units = low * unit, high_units = high * unit;
  bool cut = false;
  if (range->from < low_units) {
    range->from += -floor_div(range->from - low_units, range->step) * range->step;
    cut = true;
  }
  if (range->to > high_units) {
    range->to = high_units;
    cut = true;
  }
  return cut;
}

decimal_range finer_range(const decimal_range& range, int64_t step_tenths) {
  decimal_range r = range;
  if (r.scale == 0) {
    r.from *= 10, r.to *= 10, r.step *= 10;
    r.scale = 1;
  }
  const int64_t widest = step_tenths * power_of_ten(r.scale - 1);
  if (r.step > widest) r.step = widest;
  return r;
}
