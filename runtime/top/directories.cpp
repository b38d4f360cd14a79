// Working directories (keeps the current-directory query and the move to the executable's folder).
#include <errno.h>
#include <libgen.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "runtime/ground/errors.h"
#include "runtime/values/strings.h"

namespace {

// The working directory as a temporary string; on failure an empty one, with the error
// it would raise (out of memory, or an internal error) in `error`, else 0.
rt_string* working_directory_text(int32_t* error) {
  *error = 0;
  size_t size = 512;
  for (;;) {
    char* buffer = static_cast<char*>(std::malloc(size));
    if (!buffer) {
      *error = error_out_of_memory;
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
      *error = error_internal;
      return string_new(0, true);
    }
    size += 512;
  }
}

}  // namespace

rt_string* get_current_directory() {
  int32_t error = 0;
  rt_string* text = working_directory_text(&error);
  if (error) raise_error(error);
  return text;
}

rt_string* start_up_directory() {
  // A directory that was deleted or made unreadable under the starting shell is nothing
  // the user can act on when the program starts: it is recorded as unknown (empty).
  int32_t error = 0;
  return working_directory_text(&error);
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
