// Keyboard: GLUT key callbacks, translation to PC key codes, the shift state and the raw key queues.
#pragma once
#include <cstdint>

#include "runtime/console/key_ring.h"
#include "runtime/console/keyboard_table.h"

void key_down(int32_t code);
void key_up(int32_t code);
bool key_is_held(int32_t code);
void release_held_modifiers();  // the pointer left the window

// GLUT callbacks (window thread).
void keyboard_callback(unsigned char key, int x, int y);
void keyboard_up_callback(unsigned char key, int x, int y);
void special_callback(int key, int x, int y);
void special_up_callback(int key, int x, int y);

// What Alt+Enter may switch to; the program's statements set them (none in this program).
extern int32_t allowed_fullscreen_mode;    // 0 any, -1 Alt+Enter off, 1 or 2 only that mode
extern int32_t allowed_fullscreen_smooth;  // 0 either, 1 only smooth, -1 only not smooth

// 1 key ring, 2 key-hit queue, 3 scan-code queue; passed 0 = all three.
void clear_key_buffers(int32_t selector, int32_t passed);

// Key codes beyond the character and extended range.
constexpr int32_t key_right_shift = 100303;
constexpr int32_t key_left_shift = 100304;
constexpr int32_t key_right_ctrl = 100305;
constexpr int32_t key_left_ctrl = 100306;
constexpr int32_t key_right_alt = 100307;
constexpr int32_t key_left_alt = 100308;
// Last code of the modifier and lock keys, which run from key_right_shift; no key the
// toolkit reports here gives the codes after key_left_alt, but they count as modifiers.
constexpr int32_t key_modifier_last = 100313;
constexpr int32_t key_keypad_first = 100256;  // keypad 0; up to 100271 keypad Enter
constexpr int32_t key_keypad_last = 100271;
constexpr int32_t key_keypad_nav_first = 200000;  // keypad Insert; up to 200010 keypad Delete
constexpr int32_t key_keypad_nav_last = 200010;
constexpr int32_t key_code_zero = 200013;  // what a key code of 0 becomes

// Toolkit values to key codes, kept apart from the callbacks so they can be checked
// without a window. `modifiers` are the GLUT_ACTIVE_* bits.
// Ctrl adjustment, 127 -> Delete, Latin-1 128-255 -> code page 437 (-1: no such character there).
int32_t glut_key_code(unsigned char key, int modifiers);
int32_t glut_special_code(int key);                       // 0 = a key this runtime ignores

// ---- Shift-state bytes and the program's raw keyboard views ---------------------------
constexpr uint32_t bios_shift_state = 0x417;   // Shift, Ctrl, Alt, locks, Insert
constexpr uint32_t bios_shift_state2 = 0x418;  // left Ctrl, left Alt, keys pressed
constexpr uint32_t bios_shift_state3 = 0x496;  // right Ctrl, right Alt
// Oldest entry of the key-hit queue (codes, releases negated; keypad keys with bit 32), 0 when empty.
int64_t key_hit_take();
// Oldest byte of the scan-code queue, -1 when empty.
int32_t scan_code_take();
void key_hit_clear();
void scan_code_clear();
