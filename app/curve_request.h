// What one run of brightness-curve is asked to do, read from its command line: the inputs in order, the table's form, or a plot.
#pragma once
#include <string>
#include <vector>

#include "app/curve_table.h"
#include "app/decimal_range.h"

// The name the program gives itself in its messages.
constexpr const char* curve_program_name = "brightness-curve";

enum class input_kind { wavelength, standard_input, range };

struct curve_input {
  input_kind kind;
  std::string text;     // the wavelength or the range as written
  decimal_range range;  // kind range: its points
};

struct curve_request {
  std::vector<curve_input> inputs;  // in command-line order
  table_format format = table_format::text;
  bool full = false;
  bool plot = false;
  std::string svg_path;  // with plot: the file, "-" for standard output
};

// Reads the command line into `request`. Returns -1 when the request is to be run, else
// the exit status once --help or --version has printed (0) or a usage error has been
// reported on standard error (2).
int read_command_line(int argc, char** argv, curve_request* request);
