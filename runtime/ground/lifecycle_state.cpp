// Lifecycle state (keeps the words the threads share, the settings and the command line records).
#include "runtime/ground/lifecycle.h"

// Lifecycle words shared between the threads.
std::atomic<uint8_t> close_requested{0};   // END, dialog No or break asked to end
std::atomic<uint8_t> stop_all{0};          // shutdown has begun
std::atomic<uint32_t> threads_done{0};     // bit 0 program thread parked, bit 1 event timer thread ended
std::atomic<int32_t> threads_started{0};   // program and event timer threads run
std::atomic<int32_t> program_ended{0};     // END has run

// Translation-time settings; a program's main sets them before runtime_main.
int32_t start_hidden = 0;  // window made only when the program first shows it
int32_t has_console = 0;   // console page on standard output

// The command line and directories.
rt_string* command_line = nullptr;     // COMMAND$ (permanent)
rt_string* start_directory = nullptr;  // working directory at process start (permanent)
int32_t argument_count = 0;            // argc
char** argument_vector = nullptr;      // argv

program_routine main_routine = nullptr;  // the translated main program
