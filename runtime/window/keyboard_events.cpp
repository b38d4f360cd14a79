// Keyboard events (keeps the held keys, the key-hit and scan-code queues and the BIOS shift state).
#include <GL/freeglut.h>

#include <cstddef>
#include <mutex>
#include <vector>

#include "runtime/console/code_page.h"
#include "runtime/console/screen.h"
#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/keyboard.h"

// Bit of `passed`: the program named which buffer to clear.
constexpr int32_t passed_selector = 1;

int32_t allowed_fullscreen_mode = 0;
int32_t allowed_fullscreen_smooth = 0;

namespace {

// A queue of the last N entries: when full, a new entry pushes the oldest out.
template <typename T, int32_t N>
struct dropping_queue {
  T entries[N];
  int32_t head;   // oldest entry
  int32_t count;  // entries waiting
  void push(T entry) {
    if (count == N) {
      head = (head + 1) % N;
      --count;
    }
    entries[(head + count) % N] = entry;
    ++count;
  }
  const T* newest() const { return count > 0 ? &entries[(head + count - 1) % N] : nullptr; }
  bool take(T* out) {
    if (count == 0) return false;
    *out = entries[head];
    head = (head + 1) % N;
    --count;
    return true;
  }
  void clear() { head = count = 0; }
};

// Keyboard state. The window thread changes all of it; the program thread may ask
// key_is_held or read the queues, so every part sits behind `keyboard_mutex`.
// Made once with new: the window thread may still take keys while exit runs.
struct keyboard_state {
  std::mutex mutex;                  // guards everything below
  std::vector<int32_t> held_codes;   // held_keys: codes pressed now, no duplicates
  dropping_queue<int64_t, 8192> key_hits;  // presses as codes, releases negated; keypad with bit 32
  dropping_queue<uint8_t, 256> scan_codes;  // press and release scan codes for port reads
  bool insert_lock;                  // Insert toggles it
};
keyboard_state& keyboard = *new keyboard_state();

constexpr int64_t keypad_flag = int64_t{1} << 32;

bool held_locked(int32_t code) {
  for (int32_t held : keyboard.held_codes)
    if (held == code) return true;
  return false;
}

// The key that counts as the same physical key for key_is_held, or 0.
int32_t held_alias(int32_t code) {
  static const int32_t keypad_chars[16] = {'0', '1', '2', '3', '4', '5', '6', '7',
                                           '8', '9', '.', '/', '*', '-', '+', 13};
  static const int32_t keypad_nav[11] = {0x5200, 0x4F00, 0x5000, 0x5100, 0x4B00, 0x4C00,
                                         0x4D00, 0x4700, 0x4800, 0x4900, 0x5300};
  if (code >= key_keypad_first && code <= key_keypad_last) return keypad_chars[code - key_keypad_first];
  if (code >= key_keypad_nav_first && code <= key_keypad_nav_last) return keypad_nav[code - key_keypad_nav_first];
  return 0;
}

bool is_keypad_code(int32_t code) {
  return (code >= key_keypad_first && code <= key_keypad_last) ||
         (code >= key_keypad_nav_first && code <= key_keypad_nav_last);
}

bool is_modifier(int32_t code) { return code >= key_right_shift && code <= key_left_alt; }

int32_t modifier_scan(int32_t code) {
  switch (code) {
    case key_left_shift: return 42;
    case key_right_shift: return 54;
    case key_left_ctrl:
    case key_right_ctrl: return 29;
    default: return 56;
  }
}

// The scan code a key reports to traps and port reads; 0 when it has none.
int32_t key_scan_code(int32_t code) {
  if (code >= 0 && code < 256) return keyboard_table[code][key_column_scan];
  if (code >= 256 && code <= 65535) {
    int32_t scan = keyboard_table[256 + code / 256][key_column_scan];
    return scan ? scan : code / 256;
  }
  if (is_modifier(code)) return modifier_scan(code);
  if (code >= key_keypad_first && code <= key_keypad_last)
    return keyboard_table[512 + code - key_keypad_first][key_column_scan];
  if (code >= key_keypad_nav_first && code <= key_keypad_nav_last) return held_alias(code) / 256;
  return 0;
}

void key_hit_append_locked(int64_t entry) { keyboard.key_hits.push(entry); }

void scan_append_locked(int32_t scan) {
  if (scan <= 0 || scan > 255) return;
  // A repeated press or release of the same key is kept once.
  const uint8_t* last = keyboard.scan_codes.newest();
  if (last && *last == scan) return;
  keyboard.scan_codes.push(static_cast<uint8_t>(scan));
}

// Key traps and soft-key strings: this runtime defines none, so every key goes on to
// the key-hit queue and the key ring.
bool key_taken_by_trap(int32_t, int32_t) { return false; }
bool release_taken_by_trap(int32_t) { return false; }

// The shift-state bytes cross to the program thread, which may PEEK them.
void store_bios_byte(uint32_t address, uint8_t value) {
  __atomic_store_n(conventional_memory + address, value, __ATOMIC_RELAXED);
}
uint8_t load_bios_byte(uint32_t address) { return __atomic_load_n(conventional_memory + address, __ATOMIC_RELAXED); }

// Rebuilds the shift-state bits the keyboard owns from the held keys; lock bits other
// than Insert are left as they are.
void update_shift_state_locked() {
  bool right_shift = held_locked(key_right_shift), left_shift = held_locked(key_left_shift);
  bool right_ctrl = held_locked(key_right_ctrl), left_ctrl = held_locked(key_left_ctrl);
  bool right_alt = held_locked(key_right_alt), left_alt = held_locked(key_left_alt);
  bool insert_down = held_locked(key_insert);
  uint8_t state = load_bios_byte(bios_shift_state) & 0x70;
  state |= (right_shift ? 1 : 0) | (left_shift ? 2 : 0) | ((right_ctrl || left_ctrl) ? 4 : 0) |
           ((right_alt || left_alt) ? 8 : 0) | (keyboard.insert_lock ? 0x80 : 0);
  store_bios_byte(bios_shift_state, state);
  uint8_t state2 = load_bios_byte(bios_shift_state2) & 0x7C;
  state2 |= (left_ctrl ? 1 : 0) | (left_alt ? 2 : 0) | (insert_down ? 0x80 : 0);
  store_bios_byte(bios_shift_state2, state2);
  uint8_t state3 = load_bios_byte(bios_shift_state3) & 0xF3;
  state3 |= 0x10 | (right_ctrl ? 4 : 0) | (right_alt ? 8 : 0);  // 0x10: enhanced keyboard
  store_bios_byte(bios_shift_state3, state3);
}

// Step through windowed, stretched, stretched smooth, square, square smooth, windowed.
void cycle_fullscreen() {
  static const int32_t cycle[5][2] = {{fullscreen_windowed, 0},
                                       {fullscreen_stretched, 0},
                                       {fullscreen_stretched, 1},
                                       {fullscreen_square_pixels, 0},
                                       {fullscreen_square_pixels, 1}};
  int32_t mode = fullscreen_request.load();
  if (mode == fullscreen_none_asked) mode = fullscreen_mode.load();
  int32_t smooth = fullscreen_smooth.load() ? 1 : 0;
  int32_t position = mode == fullscreen_windowed ? 0 : 1 + (mode - 1) * 2 + smooth;
  if (position < 0 || position > 4) position = 0;
  int32_t chosen = 0;
  for (int32_t step = 1; step <= 5; ++step) {
    int32_t candidate = (position + step) % 5;
    int32_t candidate_mode = cycle[candidate][0], candidate_smooth = cycle[candidate][1];
    if (candidate_mode != fullscreen_windowed) {
      if ((allowed_fullscreen_mode == fullscreen_stretched || allowed_fullscreen_mode == fullscreen_square_pixels) &&
          candidate_mode != allowed_fullscreen_mode)
        continue;
      if (allowed_fullscreen_smooth == 1 && !candidate_smooth) continue;
      if (allowed_fullscreen_smooth == -1 && candidate_smooth) continue;
    }
    chosen = candidate;
    break;
  }
  if (cycle[chosen][0] != fullscreen_windowed) fullscreen_smooth = cycle[chosen][1];
  fullscreen_request = cycle[chosen][0] != fullscreen_mode.load() ? cycle[chosen][0] : fullscreen_none_asked;
  previous_frame_valid = 0;  // the next frame is painted in full
  screen_changed(nullptr);   // and built now
}

}  // namespace

int32_t glut_key_code(unsigned char key, int modifiers) {
  int32_t code = key;
  if (modifiers & GLUT_ACTIVE_CTRL) {
    // The toolkit hands Ctrl+letter over as the control character; the table wants the
    // letter back so that its Ctrl column decides.
    if (code == 10)
      code = 13;
    else if (code >= 1 && code <= 26)
      code += (modifiers & GLUT_ACTIVE_SHIFT) ? 64 : 96;
  }
  if (code == 127) code = 0x5300;  // Delete
  // The toolkit hands characters beyond ASCII over as Latin-1; the key table and the
  // screen speak code page 437.
  return key_code_from_latin1(code);
}

int32_t glut_special_code(int key) {
  if (key >= GLUT_KEY_F1 && key <= GLUT_KEY_F10) return (0x3B + key - GLUT_KEY_F1) * 256;
  switch (key) {
    case GLUT_KEY_F11: return 0x8500;
    case GLUT_KEY_F12: return 0x8600;
    case GLUT_KEY_LEFT: return 0x4B00;
    case GLUT_KEY_UP: return 0x4800;
    case GLUT_KEY_RIGHT: return 0x4D00;
    case GLUT_KEY_DOWN: return 0x5000;
    case GLUT_KEY_PAGE_UP: return 0x4900;
    case GLUT_KEY_PAGE_DOWN: return 0x5100;
    case GLUT_KEY_HOME: return 0x4700;
    case GLUT_KEY_END: return 0x4F00;
    case GLUT_KEY_INSERT: return key_insert;
    case GLUT_KEY_SHIFT_L: return key_left_shift;
    case GLUT_KEY_SHIFT_R: return key_right_shift;
    case GLUT_KEY_CTRL_L: return key_left_ctrl;
    case GLUT_KEY_CTRL_R: return key_right_ctrl;
    case GLUT_KEY_ALT_L: return key_left_alt;
    case GLUT_KEY_ALT_R: return key_right_alt;
    default: return 0;
  }
}

bool key_is_held(int32_t code) {
  if (code == 0) code = key_code_zero;
  std::lock_guard<std::mutex> guard(keyboard.mutex);
  if (held_locked(code)) return true;
  int32_t alias = held_alias(code);
  return alias != 0 && held_locked(alias);
}

void key_down(int32_t code) {
  if (code == 0) code = key_code_zero;
  std::lock_guard<std::mutex> guard(keyboard.mutex);
  if (!held_locked(code)) {
    keyboard.held_codes.push_back(code);
  }
  bool alt = held_locked(key_left_alt) || held_locked(key_right_alt);
  bool ctrl = held_locked(key_left_ctrl) || held_locked(key_right_ctrl);
  bool shift = held_locked(key_left_shift) || held_locked(key_right_shift);

  if (alt && code == 13 && allowed_fullscreen_mode >= 0) {
    cycle_fullscreen();
    return;
  }
  if (key_hit_recording) {
    if (key_taken_by_trap(code, key_scan_code(code))) return;
    key_hit_append_locked(code + (is_keypad_code(code) ? keypad_flag : 0));
  }
  auto column = [&](bool keypad) {
    if (alt) return key_column_alt;
    if (ctrl) return key_column_ctrl;
    if (keypad) return shift ? key_column_keypad_shift : key_column_keypad;
    return shift ? key_column_shift : key_column_normal;
  };

  if (code >= key_keypad_nav_first && code <= key_keypad_nav_last) code = held_alias(code);
  if (code >= 0 && code < 256) {
    scan_append_locked(keyboard_table[code][key_column_scan]);  // a row without a scan code adds none
    put_character_key(static_cast<uint8_t>(code), column(false));
  } else if (code >= 256 && code <= 65535) {
    const int32_t* row = keyboard_table[256 + code / 256];
    // A row the table leaves empty puts the bare code, and is no key the BIOS tracks.
    if (row[key_column_normal] != 0) {
      scan_append_locked(row[key_column_scan]);
      if (code == key_insert) {
        if (!alt && !ctrl && !shift) keyboard.insert_lock = !keyboard.insert_lock;
        update_shift_state_locked();
      }
    }
    put_extended_key(code, column(false));
  } else if (code >= key_keypad_first && code <= key_keypad_last) {
    const int32_t* row = keyboard_table[512 + code - key_keypad_first];
    scan_append_locked(row[key_column_scan]);
    put_translated_key(row[column(true)], row[key_column_scan]);
  } else if (is_modifier(code)) {
    scan_append_locked(modifier_scan(code));
    update_shift_state_locked();
  }
}

void key_up(int32_t code) {
  if (code == 0) code = key_code_zero;
  std::lock_guard<std::mutex> guard(keyboard.mutex);
  for (size_t i = 0; i < keyboard.held_codes.size(); ++i) {
    if (keyboard.held_codes[i] == code) {
      keyboard.held_codes.erase(keyboard.held_codes.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  if (key_hit_recording && !release_taken_by_trap(code))
    key_hit_append_locked(-(code + (is_keypad_code(code) ? keypad_flag : 0)));
  int32_t scan = key_scan_code(code);
  if (scan > 0 && scan < 128) scan_append_locked(scan + 128);
  if (is_modifier(code) || code == key_insert) update_shift_state_locked();
}

void release_held_modifiers() {
  // Without the pointer the window hears no releases: let go of every modifier and lock.
  std::vector<int32_t> released;
  {
    std::lock_guard<std::mutex> guard(keyboard.mutex);
    for (int32_t code : keyboard.held_codes)
      if (code >= key_right_shift && code <= key_modifier_last) released.push_back(code);
  }
  for (int32_t code : released) key_up(code);
}

int64_t key_hit_take() {
  std::lock_guard<std::mutex> guard(keyboard.mutex);
  int64_t entry = 0;
  keyboard.key_hits.take(&entry);
  return entry;
}

int32_t scan_code_take() {
  std::lock_guard<std::mutex> guard(keyboard.mutex);
  uint8_t scan = 0;
  return keyboard.scan_codes.take(&scan) ? scan : -1;
}

void key_hit_clear() {
  std::lock_guard<std::mutex> guard(keyboard.mutex);
  keyboard.key_hits.clear();
}

void scan_code_clear() {
  std::lock_guard<std::mutex> guard(keyboard.mutex);
  keyboard.scan_codes.clear();
}

void keyboard_callback(unsigned char key, int, int) {
  int32_t code = glut_key_code(key, glutGetModifiers());
  if (code >= 0) key_down(code);
}

void keyboard_up_callback(unsigned char key, int, int) {
  int32_t code = glut_key_code(key, glutGetModifiers());
  if (code >= 0) key_up(code);
}

void special_callback(int key, int, int) {
  int32_t code = glut_special_code(key);
  if (code) key_down(code);
}

void special_up_callback(int key, int, int) {
  int32_t code = glut_special_code(key);
  if (code) key_up(code);
}

void clear_key_buffers(int32_t selector, int32_t passed) {
  bool all = (passed & passed_selector) == 0;
  if (!all && (selector < 1 || selector > 3)) {
    raise_error(error_illegal_function_call);
    return;
  }
  if (all || selector == 1) key_ring_clear();
  if (all || selector == 2) key_hit_clear();
  if (all || selector == 3) scan_code_clear();
}
