// Event traps: the ON KEY and device trap tables, and running the handlers of triggered traps and due timers.
#pragma once
#include <cstdint>

// Trapped events (ON KEY and similar device traps). The calculator defines none, so
// `trap_handler_switch` stays null and no entry ever has a handler.
struct event_trap {
  int32_t code;          // key code (or device code) that triggers the trap
  int32_t alt_code;      // second code that triggers it (arrow keys of the keypad), 0 = none
  int32_t handler;       // handler number in the program's switch, 0 = none
  uint8_t on;            // KEY(n) ON
  int32_t count;         // triggers not yet handled
  uint8_t running;       // its handler runs now
};
extern event_trap key_traps[32];     // slots 1..31 used
extern event_trap device_traps[31];  // other device traps
extern void (*trap_handler_switch)(int32_t handler);  // the program's handler switch, or null

// ON KEY codes of the key trap table and timer slot 0 (safe to call again).
void event_traps_startup();
// Runs the handlers of triggered traps, then of due timers (program thread, between lines).
void dispatch_event_traps();
