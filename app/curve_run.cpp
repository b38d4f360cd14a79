// One run of brightness-curve (keeps the walk over the inputs, the refusal messages and the plot's sampling).
#include "app/curve_run.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "app/curve_plot.h"
#include "app/spectral_curve.h"
#include "app/wavelength_text.h"

namespace {

constexpr int64_t lowest_nm = 380, highest_nm = 780;  // the table's range
constexpr int64_t plot_step_tenths = 5;               // the plot samples at least every 0.5 nm

struct run_state {
  std::FILE* err;
  int status;
};

// The wavelength of `text` and its brightness; else why the text is refused.
const char* refusal(std::string_view text, curve_point* point) {
  if (!wavelength_value(text, &point->wavelength))
    return "is not a wavelength: give a number of nm from 380 to 780, with a decimal point or comma";
  if (!spectral_brightness(point->wavelength, &point->brightness))
    return "is outside the table: give a wavelength from 380 to 780 nm";
  return nullptr;
}

// `where` names the input's place ("" on the command line, "standard input, line 3: ").
void refuse(run_state& run, const std::string& where, std::string_view text, const char* why) {
  text = trimmed_text(text);
  std::fprintf(run.err, "%s: %s'%.*s' %s\n", curve_program_name, where.c_str(), static_cast<int>(text.size()),
               text.data(), why);
  run.status = 1;
}

// The point of `text`; false, with the message, when it is refused.
bool curve_point_of(run_state& run, const std::string& where, std::string_view text, curve_point* point) {
  const char* why = refusal(text, point);
  if (why) refuse(run, where, text, why);
  return !why;
}

void print_standard_input(run_state& run, table_writer& table, std::FILE* in) {
  char* line = nullptr;
  size_t capacity = 0;
  ssize_t length;
  for (int64_t number = 1; (length = getline(&line, &capacity, in)) >= 0; ++number) {
    std::string_view text(line, static_cast<size_t>(length));
    if (!text.empty() && text.back() == '\n') text.remove_suffix(1);
    if (trimmed_text(text).empty()) continue;  // blank lines separate nothing
    curve_point point;
    if (const char* why = refusal(text, &point))
      refuse(run, "standard input, line " + std::to_string(number) + ": ", text, why);
    else
      table_row(table, point.wavelength, point.brightness);
  }
  std::free(line);
}

// The range's points inside the table; a range reaching outside it is cut, with a message.
decimal_range range_inside_table(run_state& run, const curve_input& input) {
  decimal_range range = input.range;
  if (clamp_range(&range, lowest_nm, highest_nm)) {
    std::fprintf(run.err, "%s: --range %s reaches outside the table: only its wavelengths from 380 to 780 nm are "
                 "used\n", curve_program_name, input.text.c_str());
    run.status = 1;
  }
  return range;
}

// Calls `use` with each point of the range, through the same text and VAL as a typed wavelength.
template <typename Use>
void for_each_range_point(run_state& run, const curve_input& input, const decimal_range& range, Use use) {
  const int64_t count = range_point_count(range);
  const std::string where = "--range " + input.text + ": ";
  char text[48];
  for (int64_t k = 0; k < count; ++k) {
    curve_point point;
    if (curve_point_of(run, where, std::string_view(text, range_point_text(range, k, text)), &point)) use(point);
  }
}

int write_plot(run_state& run, const curve_request& request, std::FILE* out) {
  curve_input input{input_kind::range, "380:780:0.5", {lowest_nm, highest_nm, 1, 0}};
  if (!request.inputs.empty()) input = request.inputs[0];
  const decimal_range range = finer_range(range_inside_table(run, input), plot_step_tenths);
  std::vector<curve_point> points;
  for_each_range_point(run, input, range, [&points](const curve_point& p) { points.push_back(p); });
  // The range's own end, when the finer steps do not land on it.
  char text[48];
  const std::string_view end_text(text, decimal_text(range.to, range.scale, text));
  curve_point end;
  if (range.to > range.from && (range.to - range.from) % range.step != 0 && !refusal(end_text, &end))
    points.push_back(end);
  if (points.size() < 2) {
    std::fprintf(run.err, "%s: --range %s leaves nothing to draw inside 380 to 780 nm\n", curve_program_name,
                 input.text.c_str());
    return 1;
  }
  const bool to_file = request.svg_path != "-";
  std::FILE* target = to_file ? std::fopen(request.svg_path.c_str(), "w") : out;
  if (target) write_curve_svg(target, points);
  if (!target || (to_file && std::fclose(target) != 0)) {
    std::fprintf(run.err, "%s: cannot write %s: %s\n", curve_program_name, request.svg_path.c_str(),
                 std::strerror(errno));
    return 1;
  }
  return run.status;
}

}  // namespace

int run_curve_request(const curve_request& request, std::FILE* in, std::FILE* out, std::FILE* err) {
  run_state run{err, 0};
  if (request.plot) {
    run.status = write_plot(run, request, out);
  } else {
    table_writer table{out, request.format, request.full, 0};
    table_begin(table);
    for (const curve_input& input : request.inputs) {
      curve_point point;
      if (input.kind == input_kind::wavelength && curve_point_of(run, "", input.text, &point))
        table_row(table, point.wavelength, point.brightness);
      if (input.kind == input_kind::standard_input) print_standard_input(run, table, in);
      if (input.kind == input_kind::range)
        for_each_range_point(run, input, range_inside_table(run, input),
                             [&table](const curve_point& p) { table_row(table, p.wavelength, p.brightness); });
    }
    table_end(table);
  }
  if (std::fflush(out) != 0 || std::ferror(out)) {
    std::fprintf(err, "%s: cannot write the output: %s\n", curve_program_name, std::strerror(errno));
    return 1;
  }
  return run.status;
}
