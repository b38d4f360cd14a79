// The spectrum's colour ramp: the colour a screen shows for light of one wavelength (the icon's and the plot's).
#pragma once
#include <cstdint>

// Approximate colour of light of `nm` nanometres on a screen, as 0xRRGGBB; it fades towards
// both ends of 380 to 780 nm, where the eye sees little.
uint32_t spectrum_rgb(double nm);
