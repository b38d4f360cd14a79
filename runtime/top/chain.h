// CHAIN hand-over: the contents of a hand-over file applied to the screen.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

// Applies the screen records of a hand-over file's bytes and returns the working
// directory it names ("" when it names none or the file is damaged before the records).
std::string chain_apply(const uint8_t* bytes, size_t size);
