// The runtime's own message box (Xlib, drawn with the built-in glyphs) and the alert box.
#pragma once

// dialog_type "ok" or "yesno"; icon_type is accepted for the caller's intent ("error", "info").
// Returns 1 for Yes or OK, 0 for No or a closed box. Without a display the title and the
// message go to stderr and the result is 0.
int message_box(const char* title, const char* message, const char* dialog_type,
                const char* icon_type, int default_button);

// The error box: message_box with the "error" intent and Yes (or OK) first.
int show_error_box(const char* message, const char* title, const char* dialog_type);

// printf-style internal error report in a box titled "Alert"; 1 when shown, 0 when the
// format is null or formatting failed. Execution continues afterwards.
int alert(const char* format, ...) __attribute__((format(printf, 1, 2)));
