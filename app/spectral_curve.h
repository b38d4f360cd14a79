// The brightness curve both programs share: the segment table as READ gives it, the cubic of a segment, the segment of a wavelength.
#pragma once

// One row of the table: the closed wavelength range from..to in nm and the cubic's coefficients.
struct spectral_segment {
  double from, to;
  double c0, c1, c2, c3;
};

constexpr int spectral_segment_count = 87;

// c0 + c1 L + c2 L^2 + c3 L^3 in the calculator's order, each product and sum rounded to a
// DOUBLE: the order decides the last bits of the answer.
double cubic_value(double c0, double c1, double c2, double c3, double l);

// The table read from the calculator's DATA text through the runtime's DATA reader, so each
// coefficient is the DOUBLE the calculator's READ stores (read once, on first use).
const spectral_segment* spectral_table();

// The first segment whose range holds `l`, as the calculator searches; null when none does
// (outside 380 to 780 nm, or not a number).
const spectral_segment* segment_of(double l);

// The brightness of wavelength `l`; false when no segment holds it.
bool spectral_brightness(double l, double* brightness);
