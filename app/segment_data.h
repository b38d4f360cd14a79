// The calculator's DATA block: its 87-row segment table as one comma-terminated text.
#pragma once
#include <cstdint>

// Each item keeps its source spelling and is followed by a comma, the last one too.
extern const char segment_data[];
extern const int64_t segment_data_length;  // bytes, without the closing NUL
