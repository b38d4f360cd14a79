// Program settings (keeps the translation-time settings and the command line records).
#include "runtime/ground/program_settings.h"

// Translation-time settings.
int32_t start_hidden = 0;
int32_t has_console = 0;

// The command line and directories.
rt_string* command_line = nullptr;
rt_string* start_directory = nullptr;
int32_t argument_count = 0;
char** argument_vector = nullptr;

program_routine main_routine = nullptr;
