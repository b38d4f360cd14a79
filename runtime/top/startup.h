// Start-up: the runtime's whole start, the program thread, the command line and the directories.
#pragma once
#include <cstdint>

#include "runtime/ground/program_settings.h"

struct rt_string;

// The whole start-up sequence on the main thread, then the chosen front-end's loop (the
// GLUT loop, or the terminal's keys); returns only if the loop ever does. `main` of a translated program calls it with its routine.
int runtime_main(int argc, char** argv, program_routine routine);
void* program_thread_main(void* unused);

// Start-up pieces (each safe to call again).
void change_to_executable_folder();  // chdir to the folder of /proc/self/exe; failures ignored
// COMMAND$ text: arguments 1..argc-1 joined by single spaces, empty with fewer than 2.
// Writes at most `capacity` bytes to `out` (may be null) and returns the full length.
int64_t command_line_join(int argc, char** argv, char* out, int64_t capacity);
void command_line_startup(int argc, char** argv);  // builds command_line, keeps argc and argv
void start_directory_startup();                    // start_directory = the current directory, empty when unreadable
rt_string* get_current_directory();                // CURDIR$: a temporary string
rt_string* start_up_directory();                   // the same at start-up, empty (unknown) instead of an error
