// Threads: starting the runtime's detached threads, and the program thread's parking place at shutdown.
#pragma once
#include <cstdint>

// Starts `function(argument)` on a detached thread; its handle goes to `handle_cell`
// (may be null), which keeps 0 when no thread could be made.
void start_thread(uint64_t* handle_cell, void* (*function)(void*), void* argument);
// The program thread stops here for good once it is done (END, the error box's No) or
// shutdown has begun: it marks itself parked and sleeps until the process ends.
[[noreturn]] void park_program_thread();
