// The keypad's decimal key: it types "." whatever the keyboard layout prints on it.
#pragma once

typedef struct _XDisplay Display;

// Window thread, once the window exists: key events of `display` for the keypad's decimal
// key on its Num Lock level reach the toolkit as the "." key (see keypad_decimal.cpp).
void keypad_decimal_install(Display* display);
// Window thread, every pass: reads the key map again after the X server changed it.
void keypad_decimal_serve();
