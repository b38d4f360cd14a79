// Wavelength text: what brightness-curve takes as a wavelength, and its value read by VAL as the calculator reads its answer.
#pragma once
#include <string_view>

// Blanks (spaces, tabs, a carriage return) around `text` are left out.
std::string_view trimmed_text(std::string_view text);

// Reads `text` (trimmed first) as a decimal number: an optional sign, digits with one
// decimal point or decimal comma, and an optional exponent (E or e). The comma becomes a
// point and the text goes through VAL, so a wavelength gets the very DOUBLE the calculator
// makes of the same answer. False when the text is not such a number.
bool wavelength_value(std::string_view text, double* value);
