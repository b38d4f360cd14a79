// Input devices (keeps the table of the keyboard and mouse devices a program can query).
#include "runtime/ground/program_settings.h"

input_device input_devices[3];
int32_t input_device_count = 0;

void input_devices_startup() {
  input_devices[1] = input_device{"Keyboard", "[KEYBOARD][BUTTON]", 512, 0, 0};
  input_devices[2] = input_device{"Mouse", "[MOUSE][BUTTON][AXIS][WHEEL]", 3, 2, 3};
  input_device_count = 2;
}
