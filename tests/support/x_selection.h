// Selections (primary, clipboard) read and taken for the tests through xclip.
#pragma once
#include <string>

// The text of the selection ("primary" or "clipboard"); "" when nobody holds it.
std::string x_selection_text(const std::string& selection);
// xclip takes the selection with `text`; returns once reading it back gives the text.
bool x_set_selection(const std::string& selection, const std::string& text);
// Reads the selection again until it gives `text`; false when it never does.
bool x_wait_selection_text(const std::string& selection, const std::string& text);
