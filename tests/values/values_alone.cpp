// A program of the values layer alone: VAL of a text and READ of a DATA item, linked without the window.
#include <cstdio>
#include <cstring>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/values/data_reader.h"
#include "runtime/values/number_text.h"
#include "runtime/values/strings.h"

int main() {
  conventional_memory_clear();
  string_storage_init();
  long double value = string_val(string_from_text("550.5"));
  const char data[] = "380,";
  int64_t position = 0;
  long double item = read_numeric(data, &position, static_cast<int64_t>(std::strlen(data)), type_double);
  bool right = value == 550.5L && item == 380.0L && !pending_error;
  std::printf("%s\n", right ? "values alone: VAL and READ work" : "values alone: wrong results");
  return right ? 0 : 1;
}
