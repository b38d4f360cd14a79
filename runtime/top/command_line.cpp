// The command line (keeps the building of COMMAND$ and of the start directory record).
#include <cstring>

#include "runtime/ground/program_settings.h"
#include "runtime/top/startup.h"
#include "runtime/values/strings.h"

int64_t command_line_join(int argc, char** argv, char* out, int64_t capacity) {
  int64_t length = 0;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) {
      if (out && length < capacity) out[length] = ' ';
      ++length;
    }
    const char* argument = argv[i] ? argv[i] : "";
    for (const char* p = argument; *p; ++p) {
      if (out && length < capacity) out[length] = *p;
      ++length;
    }
  }
  return length;
}

void command_line_startup(int argc, char** argv) {
  argument_count = argc;
  argument_vector = argv;
  int64_t length = command_line_join(argc, argv, nullptr, 0);
  if (length > INT32_MAX) length = 0;  // a string cannot hold it; COMMAND$ stays empty
  if (!command_line) command_line = string_new(0, false);
  rt_string* text = string_new(static_cast<int32_t>(length), true);  // may move heap strings
  command_line_join(argc, argv, reinterpret_cast<char*>(text->chars), length);
  string_assign(command_line, text);  // may move heap strings: old chars pointers die
}

void start_directory_startup() {
  if (!start_directory) start_directory = string_new(0, false);
  string_assign(start_directory, start_up_directory());  // may move heap strings
}
