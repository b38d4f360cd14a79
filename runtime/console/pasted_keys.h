// Pasted text as keys: the rules a paste follows into the key ring, in a window or a terminal.
#pragma once
#include <cstdint>
#include <vector>

constexpr int32_t paste_capacity = 4096;  // keys one paste may feed at most

// Pasted text as keys: code page 437 codes, Enter for each line end (CR, LF or CR LF),
// Tab for a tab; characters the screen cannot show are skipped, and at most
// paste_capacity keys are made.
std::vector<uint8_t> paste_keys(const std::vector<char32_t>& text);
