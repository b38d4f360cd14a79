// Program settings: what the translated program's `main` sets before the runtime starts, and the command line.
#pragma once
#include <cstdint>

struct rt_string;

// The translated program's main routine; it runs on the program thread from its
// prologue to END and never returns normally.
using program_routine = void (*)();

// Translation-time settings of the program: its `main` sets them before it calls runtime_main.
extern int32_t start_hidden;  // 1: the window is created only when the program first shows its screen
extern int32_t has_console;   // 1: the program also has a console page on standard output

extern rt_string* command_line;     // COMMAND$ (permanent)
extern rt_string* start_directory;  // the working directory when the process started (permanent)
extern int32_t argument_count;      // the process's argc
extern char** argument_vector;      // the process's argv

// The translated main program, as given to runtime_main (the error-handler jump calls it again).
extern program_routine main_routine;

// Input devices the program can query (keyboard and mouse; their events are the keyboard's and unused).
struct input_device {
  const char* name;         // "Keyboard", "Mouse"
  const char* description;  // capability tags
  int32_t buttons;          // button count
  int32_t axes;             // axis count
  int32_t wheels;           // wheel count
};
extern input_device input_devices[3];  // entry 0 unused, 1 the keyboard, 2 the mouse
extern int32_t input_device_count;     // devices registered
void input_devices_startup();
