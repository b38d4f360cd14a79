// A cell as the terminal shows it: a code page 437 code and its colours, packed into one word.
#pragma once
#include <cstdint>

// Bits 0-7 the code, 8-11 the foreground (0-15), 12-15 the background (0-15), bit 16 blink.
typedef uint32_t terminal_cell;

inline terminal_cell make_terminal_cell(uint8_t code, uint32_t foreground, uint32_t background, bool blink) {
  return code | (foreground & 15) << 8 | (background & 15) << 12 | (blink ? 1u << 16 : 0u);
}
inline uint8_t terminal_cell_code(terminal_cell cell) { return cell & 0xFF; }
// The colours and blink of a cell: everything but the code.
inline uint32_t terminal_cell_pen(terminal_cell cell) { return cell >> 8; }
