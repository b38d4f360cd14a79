// Wavelength text (keeps the number syntax brightness-curve accepts and the hand-over of the text to VAL).
#include "app/wavelength_text.h"

#include <cstdint>
#include <string>

#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// Digits from `at` on; returns how many.
size_t digit_run(std::string_view text, size_t at) {
  size_t end = at;
  while (end < text.size() && is_digit(text[end])) ++end;
  return end - at;
}

// [sign] digits [point-or-comma digits] [exponent]; at least one digit before the exponent.
bool is_decimal_number(std::string_view text) {
  size_t at = 0;
  if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
  size_t digits = digit_run(text, at);
  at += digits;
  if (at < text.size() && (text[at] == '.' || text[at] == ',')) {
    size_t fraction = digit_run(text, at + 1);
    at += 1 + fraction;
    digits += fraction;
  }
  if (digits == 0) return false;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) ++at;
    size_t exponent = digit_run(text, at);
    if (exponent == 0) return false;
    at += exponent;
  }
  return at == text.size();
}

}  // namespace

std::string_view trimmed_text(std::string_view text) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return text;
}

bool wavelength_value(std::string_view text, double* value) {
  text = trimmed_text(text);
  if (text.size() > INT32_MAX || !is_decimal_number(text)) return false;  // a string record's length is 32 bits
  std::string point_text(text);
  for (char& c : point_text)
    if (c == ',') c = '.';
  // VAL reads a string record; one over the text, outside the string storage, is enough
  // (VAL never keeps or frees its argument).
  rt_string record{};
  record.chars = reinterpret_cast<uint8_t*>(point_text.data());
  record.len = static_cast<int32_t>(point_text.size());
  record.readonly = 1;
  *value = static_cast<double>(string_val(&record));
  return true;
}
