// Desktop identity (keeps the window class names and sets the identity properties on a window).
#include "runtime/window/desktop_identity.h"

#include <limits.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

char class_instance[] = "brightness";
char class_name[] = "Brightness";

// The byte pattern of UTF-8: a lead byte, then as many continuation bytes as it announces.
bool valid_utf8(const std::string& text) {
  size_t n = text.size();
  for (size_t k = 0; k < n;) {
    unsigned char c = static_cast<unsigned char>(text[k]);
    size_t extra = c < 0x80 ? 0 : (c & 0xE0) == 0xC0 ? 1 : (c & 0xF0) == 0xE0 ? 2 : (c & 0xF8) == 0xF0 ? 3 : 4;
    if (extra > 3 || n - k <= extra) return false;
    for (size_t m = 1; m <= extra; ++m)
      if ((static_cast<unsigned char>(text[k + m]) & 0xC0) != 0x80) return false;
    k += extra + 1;
  }
  return true;
}

std::string latin1_to_utf8(const std::string& text) {
  std::string out;
  for (unsigned char c : text) {
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else {
      out += static_cast<char>(0xC0 | c >> 6);
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

void set_window_identity(Display* display, unsigned long window) {
  if (!display || !window) return;
  XClassHint class_hint;
  class_hint.res_name = class_instance;
  class_hint.res_class = class_name;
  XSetClassHint(display, window, &class_hint);

  // A desktop may offer to end a program that hangs: it needs the process and its host.
  char host[HOST_NAME_MAX + 1] = {};
  if (gethostname(host, sizeof host - 1) == 0 && host[0]) {
    char* hosts[] = {host};
    XTextProperty machine;
    if (XStringListToTextProperty(hosts, 1, &machine)) {
      XSetWMClientMachine(display, window, &machine);
      XFree(machine.value);
      long pid = static_cast<long>(getpid());  // format 32 items travel as longs
      XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32,
                      PropModeReplace, reinterpret_cast<unsigned char*>(&pid), 1);
    }
  }

  std::vector<unsigned long> icon(window_icon_cardinals, window_icon_cardinals + window_icon_cardinal_count);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_ICON", False), XA_CARDINAL, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(icon.data()), static_cast<int>(icon.size()));
}

const char* desktop_program_name() { return class_instance; }

std::string desktop_title_text(const char* title) {
  std::string text = title ? title : "";
  return valid_utf8(text) ? text : latin1_to_utf8(text);
}

void set_window_utf8_title(Display* display, unsigned long window, const char* title) {
  if (!display || !window) return;
  std::string text = desktop_title_text(title);
  XChangeProperty(display, window, XInternAtom(display, "_NET_WM_NAME", False),
                  XInternAtom(display, "UTF8_STRING", False), 8, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(text.data()), static_cast<int>(text.size()));
}
