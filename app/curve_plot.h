// The curve as a plot: a standalone SVG 1.1 page with axes, a grid, the curve and the spectrum's colours beneath it.
#pragma once
#include <cstdio>
#include <vector>

// The page and the frame of the axes, in SVG user units (pixels when drawn at its own size).
constexpr double plot_page_width = 800, plot_page_height = 500;
constexpr double plot_frame_left = 80, plot_frame_top = 50, plot_frame_width = 680, plot_frame_height = 380;
constexpr double plot_brightness_top = 100;  // the frame's top edge; its bottom edge is 0

struct curve_point {
  double wavelength, brightness;
};

// The frame's horizontal axis runs from the first point's wavelength to the last one's
// (at least two points, in rising order).
void write_curve_svg(std::FILE* out, const std::vector<curve_point>& points);
