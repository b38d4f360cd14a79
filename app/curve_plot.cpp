// The curve as a plot (keeps the page layout, the ticks, the labels in the calculator's German and the SVG text).
#include "app/curve_plot.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "app/spectrum_colour.h"

namespace {

// The end of the range the calculator's banner names ("Berechnungsbereich 380 nm bis 700 nm").
constexpr double banner_range_end = 700;
constexpr int colour_stops = 80;  // stops of the spectrum's gradient across the frame
// The plot's title: the calculator's banner.
const char* const plot_title = "Interpolation Vollstfarbenhelligkeit nach Korlu";

struct plot_scale {
  double from, to;  // wavelengths at the frame's left and right edges
  double x(double nm) const { return plot_frame_left + (nm - from) / (to - from) * plot_frame_width; }
  static double y(double brightness) {
    return plot_frame_top + (plot_brightness_top - brightness) / plot_brightness_top * plot_frame_height;
  }
};

std::string format(const char* pattern, double a, double b = 0, double c = 0, double d = 0) {
  char text[256];
  std::snprintf(text, sizeof text, pattern, a, b, c, d);
  return text;
}

// A round tick distance (1, 2 or 5 times a power of ten) giving at most ten ticks.
double tick_step(double span) {
  const double power = std::pow(10.0, std::floor(std::log10(span)));
  for (double factor : {0.1, 0.2, 0.5, 1.0, 2.0, 5.0})
    if (span / (factor * power) <= 10) return factor * power;
  return 10 * power;
}

std::string wavelength_ticks(const plot_scale& s) {
  std::string text;
  const double step = tick_step(s.to - s.from);
  for (double k = std::ceil(s.from / step - 1e-9); k * step <= s.to + 1e-9 * step; ++k) {
    const double nm = k * step, x = s.x(nm);
    text += format("    <line class=\"grid\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", x, plot_frame_top, x,
                   plot_frame_top + plot_frame_height);
    text += format("    <line class=\"tick\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", x,
                   plot_frame_top + plot_frame_height, x, plot_frame_top + plot_frame_height + 6);
    text += format("    <text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">%g</text>\n", x,
                   plot_frame_top + plot_frame_height + 22, nm);
  }
  return text;
}

std::string brightness_ticks() {
  std::string text;
  for (int b = 0; b <= 100; b += 10) {
    const double y = plot_scale::y(b);
    text += format("    <line class=\"grid\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", plot_frame_left, y,
                   plot_frame_left + plot_frame_width, y);
    text += format("    <line class=\"tick\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\"/>\n", plot_frame_left - 6, y,
                   plot_frame_left, y);
    text += format("    <text x=\"%.2f\" y=\"%.2f\" text-anchor=\"end\">%g</text>\n", plot_frame_left - 10, y + 5, b);
  }
  return text;
}

// The spectrum's colours across the frame, left to right.
std::string spectrum_gradient(const plot_scale& s) {
  std::string text = format(
      "    <linearGradient id=\"spectrum\" gradientUnits=\"userSpaceOnUse\" x1=\"%.2f\" y1=\"0\" x2=\"%.2f\" y2=\"0\">\n",
      s.x(s.from), s.x(s.to));
  for (int k = 0; k <= colour_stops; ++k) {
    const double nm = s.from + (s.to - s.from) * k / colour_stops;
    char stop[80];
    std::snprintf(stop, sizeof stop, "      <stop offset=\"%.4f\" stop-color=\"#%06X\"/>\n",
                  static_cast<double>(k) / colour_stops, spectrum_rgb(nm));
    text += stop;
  }
  return text + "    </linearGradient>\n";
}

// The points as path data, each brightness kept inside the frame.
std::string curve_path(const plot_scale& s, const std::vector<curve_point>& points) {
  std::string data;
  for (const curve_point& p : points) {
    const double b = std::min(plot_brightness_top, std::max(0.0, p.brightness));
    data += format(data.empty() ? "M%.2f,%.2f" : " L%.2f,%.2f", s.x(p.wavelength), plot_scale::y(b));
  }
  return data;
}

std::string page_head(const plot_scale& s) {
  return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"no\"?>\n" +
         format("<svg xmlns=\"http://www.w3.org/2000/svg\" version=\"1.1\" width=\"%g\" height=\"%g\" "
                "viewBox=\"0 0 %g %g\">\n",
                plot_page_width, plot_page_height, plot_page_width, plot_page_height) +
         "  <title>" + plot_title + "</title>\n  <defs>\n" + spectrum_gradient(s) +
         "    <style type=\"text/css\">\n"
         "      text { font-family: 'DejaVu Sans', sans-serif; font-size: 14px; fill: #000000; }\n"
         "      .grid { stroke: #DDDDDD; stroke-width: 1; }\n"
         "      .tick { stroke: #000000; stroke-width: 1; }\n"
         "    </style>\n  </defs>\n" +
         format("  <rect x=\"0\" y=\"0\" width=\"%g\" height=\"%g\" fill=\"#FFFFFF\"/>\n", plot_page_width,
                plot_page_height);
}

// The area under the curve in the spectrum's colours (its outline runs from the baseline up
// along the curve and back down), then the curve itself over it.
std::string curve_and_area(const plot_scale& s, const std::vector<curve_point>& points) {
  const std::string curve = curve_path(s, points);
  const double bottom = plot_frame_top + plot_frame_height;
  return format("  <path id=\"spectrum-area\" fill=\"url(#spectrum)\" stroke=\"none\" d=\"M%.2f,%.2f L", s.x(s.from),
                bottom) +
         curve.substr(1) + format(" L%.2f,%.2f Z\"/>\n", s.x(s.to), bottom) +
         "  <path id=\"curve\" fill=\"none\" stroke=\"#000000\" stroke-width=\"2\" stroke-linejoin=\"round\" d=\"" +
         curve + "\"/>\n";
}

// A dashed line at the end of the banner's range, named upright along its right side in
// the empty corner above the curve's flat end.
std::string range_end_mark(const plot_scale& s) {
  if (banner_range_end < s.from || banner_range_end > s.to) return "";
  const double x = s.x(banner_range_end);
  const double label_x = x + 18, label_y = plot_frame_top + plot_frame_height * 0.3;
  return format("  <line id=\"range-end\" x1=\"%.2f\" y1=\"%.2f\" x2=\"%.2f\" y2=\"%.2f\" stroke=\"#555555\" "
                "stroke-width=\"1.5\" stroke-dasharray=\"6,4\"/>\n",
                x, plot_frame_top, x, plot_frame_top + plot_frame_height) +
         format("  <text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\" transform=\"rotate(-90 %.2f %.2f)\">", label_x,
                label_y, label_x, label_y) +
         "Berechnungsbereich bis 700 nm</text>\n";
}

// The frame, the title and the axes' names.
std::string frame_and_labels() {
  const double middle_y = plot_frame_top + plot_frame_height / 2;
  return format("  <rect x=\"%.2f\" y=\"%.2f\" width=\"%.2f\" height=\"%.2f\" fill=\"none\" stroke=\"#000000\"/>\n",
                plot_frame_left, plot_frame_top, plot_frame_width, plot_frame_height) +
         format("  <text x=\"%.2f\" y=\"30\" text-anchor=\"middle\" font-size=\"18\">", plot_page_width / 2) +
         plot_title + "</text>\n" +
         format("  <text x=\"%.2f\" y=\"%.2f\" text-anchor=\"middle\">Spektralwellenlänge [nm]</text>\n",
                plot_frame_left + plot_frame_width / 2, plot_page_height - 20) +
         format("  <text x=\"24\" y=\"%.2f\" text-anchor=\"middle\" transform=\"rotate(-90 24 %.2f)\">", middle_y,
                middle_y) +
         "Helligkeit Vollstfarbe (relativ, 0 bis 100)</text>\n";
}

}  // namespace

void write_curve_svg(std::FILE* out, const std::vector<curve_point>& points) {
  const plot_scale s{points.front().wavelength, points.back().wavelength};
  const std::string page = page_head(s) + "  <g id=\"grid\">\n" + wavelength_ticks(s) + brightness_ticks() + "  </g>\n" +
                           curve_and_area(s, points) + range_end_mark(s) + frame_and_labels() + "</svg>\n";
  std::fwrite(page.data(), 1, page.size(), out);
}
