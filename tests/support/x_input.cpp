// Keyboard and mouse for the tests through XTest: typed text, single keys with modifiers, clicks and drags.
#include <gtest/gtest.h>

#include "support/x_input.h"

#include <cstdint>
#include <cstdlib>
#include <map>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include "runtime/console/code_page.h"
#include "support/wait_clock.h"

namespace {

// Key codes given to characters that have no key in the map, so they are made once.
std::map<KeySym, KeyCode>& spare_keys() {
  static auto* keys = new std::map<KeySym, KeyCode>;
  return *keys;
}

// A key code for the keysym: the mapped one, or a spare key code set to it.
KeyCode key_for(Display* display, KeySym keysym) {
  KeyCode code = XKeysymToKeycode(display, keysym);
  if (code) return code;
  auto known = spare_keys().find(keysym);
  if (known != spare_keys().end()) return known->second;
  int min_code = 0, max_code = 0;
  XDisplayKeycodes(display, &min_code, &max_code);
  int per_code = 0;
  KeySym* map = XGetKeyboardMapping(display, static_cast<KeyCode>(min_code), max_code - min_code + 1, &per_code);
  if (!map) return 0;
  KeyCode spare = 0;
  for (int c = max_code; c >= min_code && !spare; --c) {
    bool empty = true;
    for (int i = 0; i < per_code; ++i) empty = empty && map[(c - min_code) * per_code + i] == NoSymbol;
    bool taken = false;
    for (auto& k : spare_keys()) taken = taken || k.second == c;
    if (empty && !taken) spare = static_cast<KeyCode>(c);
  }
  XFree(map);
  if (!spare) return 0;
  KeySym both[2] = {keysym, keysym};
  XChangeKeyboardMapping(display, spare, 2, both, 1);
  XSync(display, False);
  pause_ms(100);  // clients refresh their key maps on the MappingNotify
  spare_keys()[keysym] = spare;
  return spare;
}

void press_code(Display* display, KeyCode code, bool down) {
  XTestFakeKeyEvent(display, code, down ? True : False, CurrentTime);
}

KeySym keysym_for_code_point(uint32_t cp) {
  switch (cp) {
    case '\n':
    case '\r':
      return XK_Return;
    case '\t':
      return XK_Tab;
    case '\b':
      return XK_BackSpace;
    case 27:
      return XK_Escape;
    default:
      break;
  }
  if ((cp >= 0x20 && cp <= 0x7E) || (cp >= 0xA0 && cp <= 0xFF)) return cp;
  return 0x01000000 | cp;
}

}  // namespace

void x_type_text(Display* display, const std::string& text, int pause_ms_each) {
  KeyCode shift = XKeysymToKeycode(display, XK_Shift_L);
  for (char32_t cp : utf8_code_points(text)) {
    KeySym keysym = keysym_for_code_point(cp);
    KeyCode code = key_for(display, keysym);
    if (!code) {
      ADD_FAILURE() << "no key code for code point " << cp;
      continue;
    }
    bool unshifted = XkbKeycodeToKeysym(display, code, 0, 0) == keysym;
    bool shifted = !unshifted && XkbKeycodeToKeysym(display, code, 0, 1) == keysym;
    if (shifted) press_code(display, shift, true);
    press_code(display, code, true);
    press_code(display, code, false);
    if (shifted) press_code(display, shift, false);
    XSync(display, False);
    if (pause_ms_each > 0) pause_ms(pause_ms_each);
  }
}

void x_key(Display* display, unsigned long keysym, const std::vector<unsigned long>& modifier_keysyms) {
  std::vector<KeyCode> modifiers;
  for (unsigned long m : modifier_keysyms) {
    KeyCode code = key_for(display, m);
    if (code) modifiers.push_back(code);
  }
  KeyCode code = key_for(display, keysym);
  if (!code) {
    ADD_FAILURE() << "no key code for keysym " << keysym;
    return;
  }
  for (KeyCode m : modifiers) press_code(display, m, true);
  press_code(display, code, true);
  press_code(display, code, false);
  for (size_t i = modifiers.size(); i-- > 0;) press_code(display, modifiers[i], false);
  XSync(display, False);
}

namespace {

void move_pointer(Display* display, unsigned long window, int x, int y) {
  int root_x = 0, root_y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, DefaultRootWindow(display), x, y, &root_x, &root_y, &child);
  XTestFakeMotionEvent(display, -1, root_x, root_y, CurrentTime);
  XSync(display, False);
}

}  // namespace

void x_click(Display* display, unsigned long window, int x, int y, int button, int count) {
  move_pointer(display, window, x, y);
  for (int i = 0; i < count; ++i) {
    XTestFakeButtonEvent(display, static_cast<unsigned>(button), True, CurrentTime);
    XTestFakeButtonEvent(display, static_cast<unsigned>(button), False, CurrentTime);
  }
  XSync(display, False);
}

void x_drag(Display* display, unsigned long window, int x0, int y0, int x1, int y1) {
  move_pointer(display, window, x0, y0);
  XTestFakeButtonEvent(display, 1, True, CurrentTime);
  XSync(display, False);
  // Through the middle, as a hand moves, then to the end.
  move_pointer(display, window, (x0 + x1) / 2, (y0 + y1) / 2);
  move_pointer(display, window, x1, y1);
  XTestFakeButtonEvent(display, 1, False, CurrentTime);
  XSync(display, False);
}

void x_map_keys(Display* display, const std::string& text) {
  for (char32_t cp : utf8_code_points(text)) key_for(display, keysym_for_code_point(cp));
}

bool x_set_keyboard_layout(Display* display, const std::string& setxkbmap_arguments) {
  XSync(display, False);
  std::string command = "setxkbmap " + setxkbmap_arguments + " >/dev/null 2>&1";
  bool done = std::system(command.c_str()) == 0;
  spare_keys().clear();
  XSync(display, False);
  return done;
}

void x_set_num_lock(Display* display, bool on) {
  unsigned int mask = XkbKeysymToModifiers(display, XK_Num_Lock);
  XkbLockModifiers(display, XkbUseCoreKbd, mask, on ? mask : 0);
  XSync(display, False);
}
