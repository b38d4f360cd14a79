// Event traps (keeps the ON KEY and device trap tables and runs triggered trap handlers).
#include "runtime/ground/event_traps.h"

#include <cstddef>

#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/timers.h"

// Trap tables.
event_trap key_traps[32];
event_trap device_traps[31];
void (*trap_handler_switch)(int32_t handler) = nullptr;

void event_traps_startup() {
  for (int32_t slot = 1; slot <= 10; ++slot) key_traps[slot].code = 0x3B00 + (slot - 1) * 0x100;  // F1..F10
  key_traps[11].code = 0x4800;
  key_traps[11].alt_code = 100264;
  key_traps[12].code = 0x4B00;
  key_traps[12].alt_code = 100260;
  key_traps[13].code = 0x4D00;
  key_traps[13].alt_code = 100262;
  key_traps[14].code = 0x5000;
  key_traps[14].alt_code = 100258;
  key_traps[30].code = 0x8500;
  key_traps[31].code = 0x8600;
  timer_slot& slot0 = timer_table.load()[0];
  slot0.in_use = 1;
  slot0.armed = 0;
  slot0.active = 0;
  slot0.pending = timer_event_idle;
  timers_changed();
}

void dispatch_event_traps() {
  bool again = true;
  while (again && !in_error_handler) {
    again = false;
    event_trap* tables[2] = {key_traps, device_traps};
    size_t sizes[2] = {sizeof key_traps / sizeof key_traps[0], sizeof device_traps / sizeof device_traps[0]};
    for (int t = 0; t < 2 && !again; ++t) {
      for (size_t i = 0; i < sizes[t]; ++i) {
        event_trap& trap = tables[t][i];
        if (!trap.handler || !trap.on || trap.count <= 0 || trap.running) continue;
        --trap.count;
        trap.running = 1;
        if (trap_handler_switch) trap_handler_switch(trap.handler);
        trap.running = 0;
        again = true;  // rescan from the start
        break;
      }
    }
  }
  if (in_error_handler) return;
  timer_slot* slots = timer_table.load();
  int32_t count = timer_slot_count.load();
  for (int32_t i = 0; i < count; ++i) {
    timer_slot& slot = slots[i];
    if (!slot.in_use || !slot.armed || !slot.active || slot.pending != timer_event_due) continue;
    slot.pending = timer_event_running;
    if (trap_handler_switch) trap_handler_switch(slot.armed);  // armed holds the handler number
    slot.pending = timer_event_idle;
    timers_changed();
  }
}
