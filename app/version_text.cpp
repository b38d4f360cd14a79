// The --version text (keeps the package version the build passes in, the copyright and the licence line).
#include "app/version_text.h"

void print_version(std::FILE* out, const char* program_name) {
  std::fprintf(out,
               "%s (brightness) %s\n"
               "Copyright (c) 2026 the brightness authors.\n"
               "License MIT: <https://opensource.org/licenses/MIT>.\n"
               "This is free software: you are free to change and redistribute it.\n"
               "There is NO WARRANTY, to the extent permitted by law.\n",
               program_name, BRIGHTNESS_VERSION);
}
