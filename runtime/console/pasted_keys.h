// Pasted text as keys: the rules a paste follows into the key ring, in a window or a terminal.
#pragma once
#include <cstdint>
#include <vector>

constexpr int32_t paste_capacity = 4096;  // keys one paste may feed at most

// Pasted text as keys: code page 437 codes, Enter for each line end (CR, LF or CR LF),
// Tab for a tab; characters the screen cannot show are skipped, and at most
// paste_capacity keys are made.
std::vector<uint8_t> paste_keys(const std::vector<char32_t>& text);

// Puts pasted text into the key ring as typed keys (paste_keys, each as if typed with no
// modifier held). The keys belong to the time of the ring's clear count `clear_mark` (the
// click, or the paste's arrival): once the ring is cleared after it (END drops the keys
// typed before it), the rest of the paste is dropped too. True when it made any key.
bool put_pasted_keys(const std::vector<char32_t>& text, uint32_t clear_mark);
