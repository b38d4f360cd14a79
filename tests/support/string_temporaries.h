// Temporaries as a statement makes them (a literal, a heap temporary, a concatenation) and what an assignment leaves, for string tests and fuzz targets.
#pragma once
#include <cstring>
#include <deque>
#include <string>

#include "runtime/values/strings.h"

// `sort` 0: a literal, its bytes kept in `literals` (which must outlive the statement);
// 1: a modifiable heap temporary; 2: the concatenation of a literal of the first `cut`
// bytes and a heap temporary of the rest.
inline rt_string* make_temporary_of_sort(const std::string& text, int sort, size_t cut,
                                         std::deque<std::string>& literals) {
  if (sort == 0) {
    literals.push_back(text);
    return string_from_text_len(literals.back().data(), static_cast<int32_t>(text.size()));
  }
  if (sort == 1) {
    rt_string* t = string_new(static_cast<int32_t>(text.size()), true);
    if (!text.empty()) std::memcpy(t->chars, text.data(), text.size());
    return t;
  }
  literals.push_back(text.substr(0, cut));
  rt_string* a = string_from_text_len(literals.back().data(), static_cast<int32_t>(cut));
  rt_string* b = string_new(static_cast<int32_t>(text.size() - cut), true);
  if (text.size() > cut) std::memcpy(b->chars, text.data() + cut, text.size() - cut);
  return string_concat(a, b);
}

// The text a variable holds after `value` is assigned to it: a fixed-length variable keeps
// its length (`held`'s), cutting or padding with spaces.
inline std::string assigned_text(const std::string& held, bool fixed, const std::string& value) {
  if (!fixed) return value;
  std::string padded = value.substr(0, held.size());
  padded.resize(held.size(), ' ');
  return padded;
}
