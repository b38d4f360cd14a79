// brightness-curve run as a user runs it: its command line, its values against the calculator's arithmetic, its plot through librsvg; and the calculator's --help.
#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/curve_plot.h"
#include "app/segment_data.cpp"
#include "runtime/values/number_text.h"
#include "support/child_process.h"
#include "support/reference_curve.h"
#include "support/runtime_strings.h"

namespace {

// One run: the program, its arguments and standard input, and what it prints and ends
// with. `out` is the whole standard output when it ends in a line break, else its start;
// `err` is a part of standard error, "" for none at all.
struct command_case {
  const char* name;
  const char* program;
  std::vector<std::string> args;
  const char* input;
  const char* out;
  const char* err;
  int status;
};
void PrintTo(const command_case& c, std::ostream* out) { *out << c.name; }

const char* const tool = BRIGHTNESS_CURVE_EXE;
const char* const calculator = BRIGHTNESS_EXE;

class command_line : public ::testing::TestWithParam<command_case> {};

TEST_P(command_line, PrintsAndEndsAsDocumented) {
  const command_case& c = GetParam();
  program_io io;
  io.unset_env.push_back("DISPLAY");  // the calculator's answers about itself need none
  const program_run run = run_program(c.program, c.args, c.input, io);
  const std::string out = c.out;
  if (!out.empty() && out.back() == '\n')
    EXPECT_EQ(run.out, out);
  else
    EXPECT_EQ(run.out.substr(0, out.size()), out) << run.out;
  if (*c.err)
    EXPECT_NE(run.err.find(c.err), std::string::npos) << run.err;
  else
    EXPECT_EQ(run.err, "");
  EXPECT_EQ(run.status, c.status);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, command_line,
    ::testing::Values(
        command_case{"Wavelengths", tool, {"550", "580.5", "429"}, "", "550\t84.120\n580.5\t82.670\n429\t0.807\n", "", 0},
        command_case{"DecimalComma", tool, {"550,5", "550.5"}, "", "550.5\t84.383\n550.5\t84.383\n", "", 0},
        command_case{"RangeReachesTo", tool, {"--range", "380:381:0.25"}, "",
                     "380\t0.610\n380.25\t0.609\n380.5\t0.608\n380.75\t0.608\n381\t0.607\n", "", 0},
        command_case{"RangeStopsShortOfTo", tool, {"--range=380:380,5:0.3", "--", "380.3"}, "",
                     "380\t0.610\n380.3\t0.609\n380.3\t0.609\n", "", 0},
        command_case{"RangeCutToTheTable", tool, {"--range", "370:381:2.5"}, "", "380\t0.610\n",
                     "--range 370:381:2.5 reaches outside the table", 1},
        command_case{"Csv", tool, {"--format", "csv", "550", "580"}, "",
                     "wavelength_nm,brightness\n550,84.120\n580,83.549\n", "", 0},
        command_case{"JsonFull", tool, {"--format=json", "--full", "550", "450"}, "",
                     "[\n  {\"wavelength_nm\": 550, \"brightness\": 84.120000012298988},\n"
                     "  {\"wavelength_nm\": 450, \"brightness\": 2.1399999980640132}\n]\n", "", 0},
        command_case{"JsonNothingLeft", tool, {"--format", "json", "900"}, "", "[]\n",
                     "'900' is outside the table: give a wavelength from 380 to 780 nm", 1},
        command_case{"StandardInputInItsPlace", tool, {"450", "-", "650"}, "380\n\n 385 \r\n",
                     "450\t2.139\n380\t0.610\n385\t0.600\n650\t35.820\n", "", 0},
        command_case{"BadAndOutsideRefusedOthersKept", tool, {"abc", "779.9", "780.001", "5x", "379,99"}, "",
                     "779.9\t34.390\n", "'5x' is not a wavelength: give a number of nm from 380 to 780", 1},
        command_case{"BadLineOfInput", tool, {"-"}, "550\n1e\n", "550\t84.120\n", "standard input, line 2: '1e'", 1},
        command_case{"Help", tool, {"--help"}, "", "Usage: brightness-curve [OPTION]... [WAVELENGTH]...", "", 0},
        command_case{"Version", tool, {"--version"}, "", "brightness-curve (brightness) 1.0.0\nCopyright", "", 0},
        command_case{"UnknownOption", tool, {"--colour", "550"}, "", "", "Try 'brightness-curve --help'", 2},
        command_case{"BadFormat", tool, {"--format", "xml", "550"}, "", "", "--format takes text, csv or json", 2},
        command_case{"BackwardRange", tool, {"--range", "780:380:1"}, "", "", "--range takes FROM:TO:STEP", 2},
        command_case{"NothingAsked", tool, {}, "", "", "no wavelength given", 2},
        command_case{"CalculatorHelp", calculator, {"--help"}, "", "Usage: brightness [OPTION]\nOpen a window", "", 0},
        command_case{"CalculatorVersion", calculator, {"--version"}, "", "brightness (brightness) 1.0.0\nCopyright", "", 0},
        command_case{"CalculatorOtherArgumentStillWantsADisplay", calculator, {"550"}, "", "", "cannot open X display", 1}),
    [](const ::testing::TestParamInfo<command_case>& info) { return info.param.name; });

// Every 0.1 nm and a few thousand random wavelengths: the full value is the calculator's
// arithmetic bit for bit, and the three decimals are the calculator's answer cut to three.
TEST(brightness_curve, ValuesAreTheCalculatorsBitForBit) {
  std::vector<std::string> texts;
  char text[32];
  for (int k = 3800; k <= 7800; ++k) {
    std::snprintf(text, sizeof text, "%d.%d", k / 10, k % 10);
    texts.push_back(text);
  }
  std::mt19937 random(19);
  for (int k = 0; k < 3000; ++k) {
    const int decimals = 1 + k % 6;
    const long long scale = std::llround(std::pow(10.0, decimals));
    const long long units = std::uniform_int_distribution<long long>(380 * scale, 780 * scale)(random);
    std::snprintf(text, sizeof text, "%lld.%0*lld", units / scale, decimals, units % scale);
    texts.push_back(text);
  }
  std::string input;
  for (const std::string& t : texts) input += t + "\n";
  const program_run full = run_program(tool, {"--full", "-"}, input), cut = run_program(tool, {"-"}, input);
  ASSERT_EQ(full.status, 0) << full.err;
  ASSERT_EQ(cut.status, 0) << cut.err;
  std::istringstream full_lines(full.out), cut_lines(cut.out);
  strings_ready();
  const uint32_t mark = temp_count;
  for (const std::string& t : texts) {
    std::string full_line, cut_line;
    ASSERT_TRUE(std::getline(full_lines, full_line) && std::getline(cut_lines, cut_line)) << t;
    // The answer typed is read in extended precision and kept as a DOUBLE, as VAL does.
    const double l = static_cast<double>(std::strtold(t.c_str(), nullptr));
    const double b = expected_brightness(l);
    const size_t tab = full_line.find('\t');
    ASSERT_EQ(std::strtod(full_line.c_str(), nullptr), l) << full_line;
    ASSERT_EQ(std::strtod(full_line.c_str() + tab + 1, nullptr), b) << full_line;
    const std::string answer = text_of(format_double(std::floor(b * 1000.0) / 1000.0));
    std::snprintf(text, sizeof text, "%.3f", std::strtod(answer.c_str(), nullptr));
    ASSERT_EQ(cut_line, full_line.substr(0, tab + 1) + text) << "the calculator answers " << answer;
    string_release_temporaries(mark, 0);
  }
  std::string extra;
  EXPECT_FALSE(std::getline(full_lines, extra)) << extra;
}

// The plot is well-formed XML, librsvg draws it without a word, and the curve stands at the
// height of its brightness at 450, 550 and 650 nm.
TEST(brightness_curve, PlotRendersWithTheCurveAtItsHeight) {
  const std::string svg = temp_path("curve") + ".svg", png = temp_path("curve") + ".png";
  const program_run plot = run_program(tool, {"--svg", svg});
  ASSERT_EQ(plot.status, 0) << plot.err;
  EXPECT_EQ(plot.out + plot.err, "");
  const program_run lint = run_program("/usr/bin/xmllint", {"--noout", svg});
  EXPECT_EQ(lint.status, 0);
  EXPECT_EQ(lint.out + lint.err, "");
  const program_run render = run_program("/usr/bin/rsvg-convert", {"-o", png, svg});
  ASSERT_EQ(render.status, 0) << render.err;
  EXPECT_EQ(render.out + render.err, "");

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, png.c_str())) << image.message;
  image.format = PNG_FORMAT_RGB;
  std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
  ASSERT_EQ(image.width, plot_page_width);
  for (double nm : {450.0, 550.0, 650.0}) {
    const int column = static_cast<int>(plot_frame_left + (nm - 380) / 400 * plot_frame_width);
    // The curve is the first dark run from the frame's top down (the colours beneath are bright).
    auto dark = [&](int row) {
      const png_byte* p = &pixels[(static_cast<size_t>(row) * image.width + column) * 3];
      return p[0] < 96 && p[1] < 96 && p[2] < 96;
    };
    int first = static_cast<int>(plot_frame_top) + 2, last;
    while (first < static_cast<int>(plot_frame_top + plot_frame_height) && !dark(first)) ++first;
    for (last = first; dark(last + 1); ++last) {
    }
    const double expected = plot_frame_top + (100 - expected_brightness(nm)) / 100 * plot_frame_height;
    EXPECT_NEAR((first + last + 1) / 2.0, expected, 2.0) << nm << " nm";
  }
  std::remove(svg.c_str());
  std::remove(png.c_str());
}

}  // namespace
