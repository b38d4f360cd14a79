// The spectrum's colour ramp (keeps the wavelength bands of the ramp and its fade at both ends).
#include "app/spectrum_colour.h"

#include <algorithm>
#include <cmath>

uint32_t spectrum_rgb(double nm) {
  double r = 0, g = 0, b = 0;
  if (nm < 440) {
    r = (440 - nm) / 60, b = 1;
  } else if (nm < 490) {
    g = (nm - 440) / 50, b = 1;
  } else if (nm < 510) {
    g = 1, b = (510 - nm) / 20;
  } else if (nm < 580) {
    r = (nm - 510) / 70, g = 1;
  } else if (nm < 645) {
    r = 1, g = (645 - nm) / 65;
  } else {
    r = 1;
  }
  double fade = nm < 420 ? 0.3 + 0.7 * (nm - 380) / 40 : nm > 700 ? 0.3 + 0.7 * (780 - nm) / 80 : 1.0;
  auto level = [fade](double c) {
    return static_cast<uint32_t>(std::lround(255 * std::pow(std::min(1.0, std::max(0.0, c * fade)), 0.8)));
  };
  return level(r) << 16 | level(g) << 8 | level(b);
}
