// One run of brightness-curve: the request's wavelengths as table rows or as a plot, and a line on standard error for each one refused.
#pragma once
#include <cstdio>

#include "app/curve_request.h"

// Wavelengths from standard input come from `in`; the table or the plot goes to `out`
// (the plot to its file unless that is "-"), messages to `err`. Returns the exit status:
// 0, or 1 when a wavelength was refused or the output could not be written.
int run_curve_request(const curve_request& request, std::FILE* in, std::FILE* out, std::FILE* err);
