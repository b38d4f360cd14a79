// The ways the process ends: their exit statuses, and the closing of open handles before an exit.
#pragma once

// Exit statuses of the ways the process ends.
constexpr int exit_status_orderly = 0;          // END, close button, dialog No, critical error
constexpr int exit_status_no_display_mode = 1;  // no usable display or visual
constexpr int exit_status_no_handler = 99;      // error-handler jump with no handler

// Closes the program's open handles; none exist in this runtime (files and devices have no
// handles here), so it only keeps a pending error in place.
void close_all();
