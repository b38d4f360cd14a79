// Selections (primary, clipboard) read and taken for the tests through xclip.
#include "support/x_selection.h"

#include <cstdio>

#include "support/wait_clock.h"

std::string x_selection_text(const std::string& selection) {
  // A holder that never answers must not hang the test.
  std::string command = "timeout 10 xclip -o -selection " + selection + " 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return "";
  std::string text;
  char buffer[4096];
  size_t got = 0;
  while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) text.append(buffer, got);
  pclose(pipe);
  return text;
}

bool x_set_selection(const std::string& selection, const std::string& text) {
  // xclip stays behind to serve the text until another client takes the selection; its
  // output goes nowhere so that it holds none of the test's streams open.
  std::string command = "xclip -i -selection " + selection + " >/dev/null 2>&1";
  FILE* pipe = popen(command.c_str(), "w");
  if (!pipe) return false;
  std::fwrite(text.data(), 1, text.size(), pipe);
  pclose(pipe);
  return x_wait_selection_text(selection, text);
}

bool x_wait_selection_text(const std::string& selection, const std::string& text) {
  int64_t deadline = now_ms() + 10000;
  while (x_selection_text(selection) != text) {
    if (now_ms() >= deadline) return false;
    pause_ms(20);
  }
  return true;
}
