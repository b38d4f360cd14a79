// brightness-curve's command line (keeps the option table, the usage errors and the --help text).
#include <getopt.h>

#include <cstdio>
#include <cstring>

#include "app/curve_request.h"
#include "app/version_text.h"

namespace {

const char* const help_text =
    "Usage: brightness-curve [OPTION]... [WAVELENGTH]...\n"
    "Print the relative brightness of the full colour of light wavelengths from 380 to 780 nm,\n"
    "worked out as the calculator brightness works it out, or draw the curve as an SVG plot.\n"
    "\n"
    "A WAVELENGTH is a number of nanometres with a decimal point or a decimal comma\n"
    "(550, 580.5, 550,5); with -, wavelengths are read from standard input, one per line.\n"
    "Each one gives a line: the wavelength, a tab and its brightness rounded down to\n"
    "three decimals, as the calculator rounds it.\n"
    "\n"
    "      --range FROM:TO:STEP  the wavelengths FROM, FROM+STEP, ... up to TO (TO included\n"
    "                            when reached), worked out in decimal: 380:780:0.5\n"
    "      --format FORMAT       text (the default), csv (with a header line) or json\n"
    "                            (an array of objects)\n"
    "      --full                the unrounded brightness with 17 significant digits\n"
    "      --svg FILE            draw the curve over the range (380:780 unless --range says\n"
    "                            otherwise) into FILE, - for standard output, instead of\n"
    "                            printing a table\n"
    "      --help                display this help and exit\n"
    "      --version             output version information and exit\n"
    "\n"
    "Exit status: 0 when every wavelength was printed; 1 when one was not a number or lay\n"
    "outside 380 to 780 nm (the others are still printed), or the output could not be\n"
    "written; 2 when the command line is wrong.\n"
    "\n"
    "Examples:\n"
    "  brightness-curve 550 580.5 429\n"
    "  brightness-curve --range 380:780:1 --format csv > curve.csv\n"
    "  seq 380 780 | brightness-curve -\n"
    "  brightness-curve --svg - | rsvg-convert -o curve.png\n";

int usage_error(const char* message, const char* value) {
  if (message) {
    std::fprintf(stderr, "%s: ", curve_program_name);
    std::fprintf(stderr, message, value);
    std::fputc('\n', stderr);
  }
  std::fprintf(stderr, "Try '%s --help' for more information.\n", curve_program_name);
  return 2;
}

enum option_code { option_range = 'r', option_format = 'f', option_full = 'F', option_svg = 's',
                   option_help = 'h', option_version = 'V', option_operand = 1 };

const option long_options[] = {
    {"range", required_argument, nullptr, option_range}, {"format", required_argument, nullptr, option_format},
    {"full", no_argument, nullptr, option_full},         {"svg", required_argument, nullptr, option_svg},
    {"help", no_argument, nullptr, option_help},         {"version", no_argument, nullptr, option_version},
    {nullptr, 0, nullptr, 0}};

curve_input operand_input(const char* text) {
  return {std::strcmp(text, "-") == 0 ? input_kind::standard_input : input_kind::wavelength, text, {}};
}

}  // namespace

int read_command_line(int argc, char** argv, curve_request* request) {
  optind = 0;  // a fresh scan, however often it is called
  int code;
  // The leading "-" hands back operands in their place among the options, so the inputs
  // keep their order. Long options only; getopt reports unknown or incomplete ones itself.
  while ((code = getopt_long(argc, argv, "-", long_options, nullptr)) != -1) {
    switch (code) {
      case option_operand:
        request->inputs.push_back(operand_input(optarg));
        break;
      case option_range: {
        curve_input input{input_kind::range, optarg, {}};
        if (!parse_decimal_range(optarg, &input.range))
          return usage_error("--range takes FROM:TO:STEP, three decimal numbers with STEP above 0 and TO "
                             "not below FROM, not '%s'", optarg);
        request->inputs.push_back(input);
        break;
      }
      case option_format:
        if (std::strcmp(optarg, "text") == 0) request->format = table_format::text;
        else if (std::strcmp(optarg, "csv") == 0) request->format = table_format::csv;
        else if (std::strcmp(optarg, "json") == 0) request->format = table_format::json;
        else return usage_error("--format takes text, csv or json, not '%s'", optarg);
        break;
      case option_full:
        request->full = true;
        break;
      case option_svg:
        request->plot = true;
        request->svg_path = optarg;
        break;
      case option_help:
        std::fputs(help_text, stdout);
        return 0;
      case option_version:
        print_version(stdout, curve_program_name);
        return 0;
      default:
        return usage_error(nullptr, nullptr);
    }
  }
  for (; optind < argc; ++optind) request->inputs.push_back(operand_input(argv[optind]));  // after "--"

  if (request->plot) {
    for (const curve_input& input : request->inputs)
      if (input.kind != input_kind::range)
        return usage_error("--svg draws a range; it takes no wavelength ('%s')", input.text.c_str());
    if (request->inputs.size() > 1) return usage_error("--svg draws one range, not %s", "several");
    if (!request->inputs.empty() && request->inputs[0].range.from == request->inputs[0].range.to)
      return usage_error("--svg needs a range wider than one wavelength, not '%s'", request->inputs[0].text.c_str());
  } else if (request->inputs.empty()) {
    return usage_error("no wavelength given (a number, -, or --range FROM:TO:STEP)", "");
  }
  return -1;
}
