// The error box in the terminal: drawn over the page by the painter, answered by the keys the key thread reads.
#pragma once
#include <cstdint>
#include <vector>

#include "runtime/terminal/key_decoder.h"
#include "runtime/terminal/terminal_cells.h"

// The terminal's counterpart of the window's message box: the same texts, keys and
// answers (1 for Yes or OK, 0 for No or shutdown). Waits for the answer, so never called
// on the key thread or the painter, which the box needs; one box at a time. Without the
// terminal the title and the message go to stderr and the answer is 0.
int terminal_message_box(const char* title, const char* message, const char* dialog_type);
// Counts every change of what the box shows (opened, focus moved, closed): the painter
// draws again when the count moved.
uint32_t terminal_box_changes();

// Key thread: gives `key` to the open box; false when no box is open (the key goes on).
bool terminal_box_key(const terminal_key& key);
// Painter: lays the open box over `cells` (columns x rows); false when none is open.
bool terminal_box_overlay(std::vector<terminal_cell>* cells, int32_t columns, int32_t rows);
// Shutdown: a waiting box looks at stop_all now (and answers No).
void terminal_box_wake();
