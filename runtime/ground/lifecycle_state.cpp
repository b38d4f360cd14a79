// Lifecycle state (keeps the translation-time settings and the command line records).
#include "runtime/ground/lifecycle.h"

// Translation-time settings; a program's main sets them before runtime_main.
int32_t start_hidden = 0;  // window made only when the program first shows it
int32_t has_console = 0;   // console page on standard output

// The command line and directories.
rt_string* command_line = nullptr;     // COMMAND$ (permanent)
rt_string* start_directory = nullptr;  // working directory at process start (permanent)
int32_t argument_count = 0;            // argc
char** argument_vector = nullptr;      // argv

program_routine main_routine = nullptr;  // the translated main program
