// Alert box (internal faults reported as printf-style text in a box titled "Alert").
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "runtime/window/message_box.h"

int alert(const char* format, ...) {
  if (!format) return 0;
  // Room for twice the format plus 255 bytes covers the usual case; longer text gets a
  // buffer of its measured size, so it is neither overrun nor cut.
  size_t size = 2 * std::strlen(format) + 255;
  va_list arguments;
  va_start(arguments, format);
  va_list measure;
  va_copy(measure, arguments);
  int needed = std::vsnprintf(nullptr, 0, format, measure);
  va_end(measure);
  if (needed < 0) {
    va_end(arguments);
    return 0;
  }
  if (static_cast<size_t>(needed) + 1 > size) size = static_cast<size_t>(needed) + 1;
  char* text = static_cast<char*>(std::malloc(size));
  if (!text) {
    va_end(arguments);
    return 0;
  }
  int written = std::vsnprintf(text, size, format, arguments);
  va_end(arguments);
  if (written < 0) {
    std::free(text);
    return 0;
  }
  message_box("Alert", text, "ok", "error", 1);
  std::free(text);
  return 1;
}
