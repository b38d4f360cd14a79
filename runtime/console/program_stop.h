// Stopping the program at shutdown: the steps that the frame thread and the terminal's painter share.
#pragma once

// Stops the program and event timer threads, wakes whatever they may sleep on (and what
// `also_wake` wakes, when given: a front-end's own waits), waits until both are done and
// closes the program's files. The caller then ends the process its own way.
void stop_program_threads(void (*also_wake)());
