// Keyboard: GLUT key callbacks, translation to PC key codes, the BIOS key ring and INKEY$.
#pragma once
#include <cstdint>

struct rt_string;

void key_down(int32_t code);
void key_up(int32_t code);
bool key_is_held(int32_t code);
void release_held_modifiers();  // the pointer left the window

// GLUT callbacks (window thread).
void keyboard_callback(unsigned char key, int x, int y);
void keyboard_up_callback(unsigned char key, int x, int y);
void special_callback(int key, int x, int y);
void special_up_callback(int key, int x, int y);

// INKEY$: a temporary string, empty when no key waits (program thread).
rt_string* read_key();
// 1 key ring, 2 key-hit queue, 3 scan-code queue; passed 0 = all three.
void clear_key_buffers(int32_t selector, int32_t passed);
// Start-up: head and tail of the key ring to 0x1E.
void key_buffer_startup();
