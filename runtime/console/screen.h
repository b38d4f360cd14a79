// Screen pages and text cells: the image record, the image and page tables, and the text statements.
#pragma once
#include <cstdint>

#include "runtime/console/shared_cells.h"

struct mem_lock;

// One drawing surface (text page or graphics image); fields in this order. The frame
// builder reads the cursor fields and wrap_pending of the visible page while the program
// thread writes them, hence their shared_field type (same size and layout).
struct screen_image {
  mem_lock* lock_handle;       // lock for the image's memory blocks, or null
  uint64_t lock_id;            // id of that lock; 0 = none
  uint8_t in_use;              // 1 while the slot holds a live image
  uint8_t is_text;             // 1: cells of character and attribute (mode 0)
  uint8_t is_console;          // 1: output goes to standard output
  uint16_t width;              // text: columns; graphics: pixels
  uint16_t height;             // text: rows; graphics: pixels
  uint8_t bytes_per_pixel;     // text: 2 (one cell)
  uint8_t bits_per_pixel;      // text: 16
  uint32_t color_mask;         // (1 << bits_per_pixel) - 1; text: 65535
  uint16_t screen_mode;        // 0 text; 1, 2, 7-13, 32, 256 graphics
  uint32_t fg_color;           // text: 0-31 (16-31 blinking)
  uint32_t bg_color;           // text: 0-7
  uint32_t pen_color;          // graphics drawing colour
  uint32_t font_id;            // index into the font tables
  int16_t view_top;            // first row of the scrolling region (1-based)
  int16_t view_bottom;         // last row of the scrolling region
  shared_field<int16_t> cursor_col;        // 1-based
  shared_field<int16_t> cursor_row;        // 1-based
  shared_field<uint8_t> cursor_visible;    // 1: the renderer draws the text cursor
  shared_field<uint8_t> cursor_start_line; // first scan line of the cursor shape
  shared_field<uint8_t> cursor_end_line;   // last scan line of the cursor shape
  uint8_t* buffer;             // cells or pixels, row by row
  uint32_t owner_flags;        // 1 owns palette; 2 screen page; 4 owns buffer
  uint32_t* palette;           // 256 entries 0xAARRGGBB, or null
  int32_t transparent_index;   // -1 = none
  uint8_t alpha_off;           // 1: graphics writes ignore alpha
  shared_field<uint8_t> wrap_pending;      // wrap_none, wrap_deferred or wrap_cursor_next_row
  uint8_t glyph_mode;          // graphics PRINT: 1 fg only, 2 bg only, 3 both
  uint8_t page_state_marker;   // start of the graphics state block copied between pages
  int32_t viewport[4];         // graphics viewport x1, y1, x2, y2
  int32_t viewport_offset[2];  // graphics viewport offset x, y
  float graphics_cursor[2];    // last graphics point
  uint8_t coord_transform;     // 0 none, 1 viewport clipping, 2 WINDOW scaling
  float scale[4];              // WINDOW scale x, y, offset x, y
  float window_coords[4];      // WINDOW x1, y1, x2, y2
  double draw_angle;           // DRAW turn angle
  double draw_scale;           // DRAW scale
  uint8_t page_state_end;      // end of the copied graphics block
};

// wrap_pending values; PRINT treats the two pending ones alike.
constexpr uint8_t wrap_none = 0;
constexpr uint8_t wrap_deferred = 1;         // PRINT filled the last column; the next text moves to a new line first
constexpr uint8_t wrap_cursor_next_row = 2;  // the same, and the cursor shows at column 1 of the next row (LOCATE)

constexpr uint32_t owns_palette = 1;
constexpr uint32_t is_screen_page = 2;
constexpr uint32_t owns_buffer = 4;

// The one checked way to a text cell: null when the image is not text or the place is outside it.
uint8_t* text_cell(screen_image* image, int32_t row, int32_t col);

// The three current images: index into the image table and the record (re-pointed when the table grows).
extern int32_t write_target_index;
extern screen_image* write_target;
extern int32_t read_source_index;
extern screen_image* read_source;
extern int32_t visual_page_index;
extern int32_t active_page_number;

extern int32_t requested_cols, requested_rows, requested_font;  // -1 when nothing is requested
extern int32_t auto_extend_rows;                                 // LOCATE may switch once to 50 rows

// Largest side of a software frame in pixels, within every GL texture limit met in
// practice: WIDTH refuses a text grid whose frame would be larger.
constexpr int32_t frame_side_limit = 8192;

// Statements that change `image` call screen_changed, so that when it is the visual page
// (or `image` is null: the screen itself changed) whoever draws the page (the frame thread,
// or a terminal's painter), asleep until told, shows it at once. Calls while a change is
// already pending cost two loads.
void screen_changed(const screen_image* image);
// While on, this thread's screen_changed calls are held back; the caller tells the change
// itself once it is complete (INPUT: a key's echo, its validation and the cursor move show
// as one picture, not first the echo and then the rest).
void hold_screen_changes(bool on);
// Whoever draws the page shows a change at once, but a program that prints without pause
// gets at most one picture per this many milliseconds, each showing all it changed meanwhile.
constexpr int64_t screen_change_gap_ms = 4;
// Set by a front-end that can show a change at once on the thread that made it (the
// terminal, whose painter would otherwise need a wake-up of its own): screen_changed calls
// it when the visual page changed and no change was pending yet, and leaves nothing
// pending when it returns true. Null: every change waits for the frame thread.
extern bool (*show_screen_change_now)();

// Image table.
screen_image* image_at(int32_t index);  // null unless a live image
int32_t image_slot_new();
int32_t image_slot_release(int32_t index);
int32_t image_over_buffer(uint8_t* buffer, int32_t width, int32_t height, int32_t mode);
int32_t image_new(int32_t width, int32_t height, int32_t mode);
void palette_restore(screen_image* image);
void font_select(int32_t font, screen_image* image);
void page_colors_reset();
int32_t ensure_page(int32_t page);

// Start-up: fonts, image table, palettes, glyphs, SCREEN 0, then auto_extend_rows = 1.
// Safe to call again (tests): the old images are released and the table reused.
void screen_startup();

// Image table bookkeeping (records live in fixed blocks of 4,096 that never move, so a
// record pointer stays good while the table grows under the frame builder).
constexpr int32_t image_table_step = 4096;
extern int32_t image_table_size;    // records available so far
extern int32_t next_unused_slot;    // slots handed out so far
extern int32_t free_slot_top;       // top of free_slot_stack; -1 when empty
void image_table_clear();           // zero-fill, then claim slots 0 and 1 marked not in use
void image_release(int32_t index);  // frees the owned buffer and palette, then the slot

// Page table: entry n is the image index of page n, 0 = not created yet.
extern int32_t* page_table;
extern int32_t page_table_size;

// The attribute byte of an image's current colours; the blank cell uses the background AND 7.
uint8_t text_attribute(const screen_image* image);
uint8_t blank_attribute(const screen_image* image, uint32_t background);
// Fills rows first..last (1-based, inclusive) with character 32 and the given attribute.
void text_fill_rows(screen_image* image, int32_t first_row, int32_t last_row, uint8_t attribute);
// Text rows of an image (text: height).
int32_t text_rows(const screen_image* image);
// Image index for a page number (0 or more, made on demand) or a handle; -1 after raising an error.
int32_t image_resolve(int32_t page_or_handle);
// Points the three current images at the given indices (after the table changed).
void current_images_set(int32_t write_index, int32_t read_index, int32_t visual_index);
// An 80x25 text image whose output goes to standard output (the console option).
int32_t console_page_new();

// Statements (optional arguments come with a `passed` bit mask).
// SCREEN passed: 1 mode (only 0, text, is built), 2 colour switch, 4 active page, 8 visual page, 16 refresh.
void screen_set(int32_t mode, int32_t color_switch, int32_t active_page, int32_t visual_page_number,
                int32_t refresh, int32_t passed);
// passed: 1 columns, 2 rows, 4 and 8 the two values the screen ignores.
void screen_width(int32_t file, int32_t columns, int32_t rows, int32_t extra1, int32_t extra2, int32_t passed);
// True when WIDTH accepts a text grid of this many columns and rows (both given).
bool text_grid_allowed(int32_t columns, int32_t rows);
// True when the frame of such a grid drawn in `font` stays within the frame size limit.
bool text_frame_fits(int32_t columns, int32_t rows, int32_t font);
// COLOR passed: 1 foreground, 2 background, 4 border. CLS: 1 method, 2 colour.
// LOCATE: 1 row, 2 column, 4 cursor, 8 start line, 16 end line. VIEW PRINT: nonzero = top and bottom.
void color_set(uint32_t foreground, uint32_t background, uint32_t border, int32_t passed);
void screen_clear(int32_t method, uint32_t color, int32_t passed);
void cursor_locate(int32_t row, int32_t column, int32_t cursor, int32_t start_line, int32_t end_line,
                   int32_t passed);
void view_print_set(int32_t top, int32_t bottom, int32_t passed);
int32_t cursor_row_get();
int32_t cursor_col_get(int32_t n);
void set_write_target(int32_t page_or_handle);
int32_t get_write_target();
void set_read_source(int32_t page_or_handle);
int32_t get_read_source();
int32_t image_copy(int32_t page_or_handle, int32_t mode, int32_t passed);
void image_free(int32_t handle, int32_t passed);
void page_copy(int32_t source, int32_t destination);
