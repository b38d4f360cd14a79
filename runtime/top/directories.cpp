// Working directories (keeps the current-directory query and the move to the executable's folder).
#include <errno.h>
#include <libgen.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/strings.h"

rt_string* get_current_directory() {
  size_t size = 512;
  for (;;) {
    char* buffer = static_cast<char*>(std::malloc(size));
    if (!buffer) {
      raise_error(error_out_of_memory);
      return string_new(0, true);
    }
    if (getcwd(buffer, size)) {
      int32_t length = static_cast<int32_t>(std::strlen(buffer));
      rt_string* text = string_new(length, true);  // may move heap strings
      std::memcpy(text->chars, buffer, static_cast<size_t>(length));
      std::free(buffer);
      return text;
    }
    int failure = errno;
    std::free(buffer);
    if (failure != ERANGE) {
      raise_error(error_internal);
      return string_new(0, true);
    }
    size += 512;
  }
}

void change_to_executable_folder() {
  // Failures leave the inherited working directory.
  char* path = static_cast<char*>(std::calloc(65536, 1));
  if (!path) return;
  if (readlink("/proc/self/exe", path, 65535) > 0) {
    if (chdir(dirname(path)) != 0) {
      // the inherited directory stays
    }
  }
  std::free(path);
}
