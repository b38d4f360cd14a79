// The keypad's decimal key (keeps a copy of the key map and turns the key's separator into the "." key).
#include "runtime/window/keypad_decimal.h"

#include <initializer_list>

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>

// The PC keypad's decimal key types "." whatever the layout prints on it: a German layout
// gives "," (KP_Separator, or comma), which a number answer refuses, so "550,5" would be
// read as 5505. The toolkit turns a key event into a character itself, so the event is
// changed on its way in: as Xlib converts it from the wire, the decimal key on its Num
// Lock level becomes the main keyboard's "." key, press and release alike. Everything
// here runs on the window thread; the converter runs inside Xlib and makes no request,
// so it works on a copy of the key map read beforehand.
namespace {

struct keypad_decimal_state {
  Display* display = nullptr;
  XkbDescPtr keyboard = nullptr;   // the key map, read on the window thread
  unsigned int decimal_key = 0;    // the keypad's decimal key (KP_Delete on its first level); 0 none
  unsigned int period_key = 0;     // a key of the main keyboard that types "."; 0 none
  unsigned int period_mods = 0;    // the modifiers it takes for that (Shift or none)
  bool map_changed = false;        // the X server's key map changed since it was read
  int xkb_event = -1;              // event code of the keyboard extension's events
};
keypad_decimal_state& state = *new keypad_decimal_state();  // never freed: events may come while exit runs

Bool (*previous_converters[128])(Display*, XEvent*, xEvent*) = {};

// The shift level `mods` (core state, group bits included) selects on `key`; -1 when the
// key has no symbols.
int key_level(unsigned int key, unsigned int mods, int* group_out) {
  XkbDescPtr xkb = state.keyboard;
  int groups = XkbKeyNumGroups(xkb, key);
  if (groups <= 0) return -1;
  int group = XkbGroupForCoreState(mods) % groups;
  *group_out = group;
  XkbKeyTypePtr type = XkbKeyKeyType(xkb, key, group);
  unsigned int active = mods & type->mods.mask;
  for (int i = 0; i < type->map_count; ++i)
    if (type->map[i].active && type->map[i].mods.mask == active) return type->map[i].level;
  return 0;
}

KeySym key_symbol(unsigned int key, int group, int level) {
  if (level < 0 || level >= XkbKeyGroupWidth(state.keyboard, key, group)) return NoSymbol;
  return XkbKeySymEntry(state.keyboard, key, level, group);
}

void find_keys() {
  state.decimal_key = state.period_key = 0;
  XkbDescPtr xkb = state.keyboard;
  if (!xkb || !xkb->map) return;
  for (unsigned int key = xkb->min_key_code; key <= xkb->max_key_code; ++key) {
    if (XkbKeyNumGroups(xkb, key) <= 0) continue;
    KeySym first = key_symbol(key, 0, 0);
    if (first == XK_KP_Delete && !state.decimal_key) state.decimal_key = key;
    if (IsKeypadKey(first) || first == XK_KP_Delete || state.period_key) continue;
    for (unsigned int mods : {0u, unsigned(ShiftMask)}) {
      int group = 0;
      if (key_symbol(key, 0, key_level(key, mods, &group)) == XK_period && group == 0) {
        state.period_key = key;
        state.period_mods = mods;
        break;
      }
    }
  }
}

void read_key_map() {
  if (state.keyboard) XkbFreeKeyboard(state.keyboard, 0, True);
  state.keyboard = XkbGetMap(state.display, XkbKeyTypesMask | XkbKeySymsMask, XkbUseCoreKbd);
  state.map_changed = false;
  find_keys();
}

void type_period_from_keypad(XKeyEvent* key) {
  if (!state.keyboard || !state.decimal_key || !state.period_key || key->keycode != state.decimal_key) return;
  int group = 0;
  // Level 2 (index 1) is the one Num Lock gives every keypad key type: the digits' level.
  if (key_level(key->keycode, key->state, &group) != 1) return;
  KeySym separator = key_symbol(key->keycode, group, 1);
  if (separator == XK_KP_Decimal || separator == XK_period) return;  // types "." already
  key->keycode = state.period_key;
  key->state = (key->state & ~(ShiftMask | LockMask | 0x6000u)) | state.period_mods;  // 0x6000: the group bits
}

Bool convert_event(Display* display, XEvent* event, xEvent* wire) {
  int type = wire->u.u.type & 0x7F;
  Bool keep = previous_converters[type] ? previous_converters[type](display, event, wire) : True;
  if (type == state.xkb_event)
    state.map_changed = true;  // Xlib keeps its own map up to date from these; ours follows on the next pass
  else if (keep && (event->type == KeyPress || event->type == KeyRelease))
    type_period_from_keypad(&event->xkey);
  return keep;
}

}  // namespace

void keypad_decimal_install(Display* display) {
  if (!display) return;
  int opcode = 0, event = 0, error = 0, major = XkbMajorVersion, minor = XkbMinorVersion;
  if (!XkbQueryExtension(display, &opcode, &event, &error, &major, &minor)) return;
  state.display = display;
  state.xkb_event = event;
  read_key_map();
  XkbSelectEvents(display, XkbUseCoreKbd, XkbNewKeyboardNotifyMask | XkbMapNotifyMask,
                  XkbNewKeyboardNotifyMask | XkbMapNotifyMask);
  for (int type : {KeyPress, KeyRelease, event})
    if (type >= 0 && type < 128) previous_converters[type] = XESetWireToEvent(display, type, convert_event);
}

void keypad_decimal_serve() {
  if (state.display && state.map_changed) read_key_map();
}
