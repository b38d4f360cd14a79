// INPUT line editor (keeps the state of one INPUT statement: the typed line and the screen copies).
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>

#include "runtime/console/input.h"
#include "runtime/console/key_ring.h"
#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/stop_signal.h"
#include "runtime/values/strings.h"

void* input_dest_ptrs[input_dest_capacity];
uint32_t input_dest_types[input_dest_capacity];

namespace {

// The line being typed. Every key edits it in place; it lies outside the string heap,
// so storing a field (which may move heap strings) leaves it where it is. Kept from one
// INPUT to the next, so a statement allocates only when its line is longer than any before.
struct line_buffer {
  uint8_t* bytes;
  int32_t length;
  int32_t capacity;
};

// Where a field's text stands against its quotes, as the line is split.
enum field_quotes : int32_t {
  quotes_outside = 0,  // no quote opened
  quotes_inside = 1,   // opened: commas belong to the text
  quotes_closed = 2,   // closed: only a comma may follow
};

// State of the INPUT statement that runs now (program thread only).
struct input_editor {
  int32_t count;                                // destinations 1 to count
  line_buffer line;                             // the text as typed and accepted so far
  int32_t input_snapshot;                       // handle: the write target before the first key
  int32_t input_canvas;                         // handle: where the line is redrawn
  int16_t saved_col, saved_row;                 // where the echo of the line begins
  uint8_t saved_wrap;                           // wrap_pending at that place
  int32_t pending_spaces;                       // spaces still to feed after a TAB
  bool whole_line;                              // the line form: one string takes everything
  int32_t quote_state;                          // a field_quotes value
  bool console;                                 // the write target is the console page
  uint32_t temp_mark;                           // temporary count at entry
};
input_editor editor;

// One readonly byte per value, so a key is printed without allocating a string.
struct byte_table {
  char bytes[256];
  byte_table() {
    for (int i = 0; i < 256; ++i) bytes[i] = static_cast<char>(i);
  }
};
const byte_table all_bytes;

rt_string* byte_string(uint8_t byte) { return string_from_text_len(&all_bytes.bytes[byte], 1); }

// Appends a byte to the line; false when no memory is left for a longer line.
bool line_append(uint8_t byte) {
  line_buffer& line = editor.line;
  if (line.length == line.capacity) {
    if (line.capacity > INT32_MAX / 2) return false;  // past the longest a string may be
    int32_t capacity = line.capacity ? line.capacity * 2 : 256;
    void* grown = std::realloc(line.bytes, static_cast<size_t>(capacity));
    if (!grown) return false;
    line.bytes = static_cast<uint8_t*>(grown);
    line.capacity = capacity;
  }
  line.bytes[line.length++] = byte;
  return true;
}

// Splits the line into fields and checks the one being typed, the last, against its
// destination, storing it when valid. False rejects the line. A field's text is one run
// of the line (its quotes left out), so it is checked where it lies.
bool split_and_validate() {
  const uint8_t* line = editor.line.bytes;
  int32_t field = 1;
  int32_t text_begin = 0, text_end = 0;  // the field's text: line[text_begin, text_end)
  bool at_field_start = true;            // no byte of the field's text yet
  editor.quote_state = quotes_outside;
  for (int32_t at = 0; at < editor.line.length; ++at) {
    uint8_t c = line[at];
    if (c == ',' && editor.quote_state != quotes_inside && !editor.whole_line) {
      editor.quote_state = quotes_outside;
      if (++field > editor.count) return false;
      text_begin = text_end = 0;
      at_field_start = true;
    } else if (c == '"' && !editor.whole_line && editor.quote_state == quotes_inside) {
      editor.quote_state = quotes_closed;  // closes the quotes, "" included
    } else if (c == '"' && !editor.whole_line && at_field_start) {
      editor.quote_state = quotes_inside;
    } else {
      // Nothing but a comma may follow the closing quote, so the text never has a gap.
      if (editor.quote_state == quotes_closed) return false;
      if (at_field_start) text_begin = at;
      text_end = at + 1;
      at_field_start = false;
    }
  }
  return validate_field(line + text_begin, text_end - text_begin, input_dest_types[field], input_dest_ptrs[field]);
}

// Rebuilds the echo from the snapshot taken before the first key, so wraps and scrolls
// come out exactly as typing the line afresh would make them.
void redraw_line() {
  int32_t remembered = get_write_target();
  page_copy(editor.input_snapshot, editor.input_canvas);
  set_write_target(editor.input_canvas);
  write_target->cursor_col = editor.saved_col;
  write_target->cursor_row = editor.saved_row;
  write_target->wrap_pending = editor.saved_wrap;
  for (int32_t at = 0; at < editor.line.length; ++at) print_text(byte_string(editor.line.bytes[at]), 0);
  int16_t col = write_target->cursor_col, row = write_target->cursor_row;
  uint8_t wrap = write_target->wrap_pending;
  set_write_target(remembered);
  page_copy(editor.input_canvas, remembered);
  write_target->cursor_col = col;
  write_target->cursor_row = row;
  write_target->wrap_pending = wrap;
  string_release_temporaries(editor.temp_mark, 0);
}

// Backspace or a rejected key: one byte less, revalidated, and the echo redrawn.
void take_back() {
  if (editor.line.length == 0) return;
  do {
    --editor.line.length;
    // A shorter line that no longer passes loses further bytes until one does (the
    // empty line always does, so after every key the line is one that passed).
  } while (!split_and_validate() && editor.line.length > 0);
  if (!editor.console) redraw_line();
}

// One byte from standard input for a console page; -1 when shutdown began first (or the
// wait ended without a byte).
int32_t console_key() {
  int stop_fd = stop_all_descriptor();
  pollfd waits[2] = {{0, POLLIN, 0}, {stop_fd, POLLIN, 0}};
  if (poll(waits, stop_fd >= 0 ? 2 : 1, stop_fd >= 0 ? -1 : stop_poll_fallback_ms) <= 0 || !waits[0].revents) return -1;
  unsigned char byte = 0;
  if (read(0, &byte, 1) != 1) return -1;  // end of input: no key
  return byte == ctrl_line_feed ? ctrl_return : byte;
}

// The next key as one byte; -1 when the wait ended without one (shutdown) or it is an
// extended key. It waits for the key itself, not in passes that sleep, then look.
int32_t next_key() {
  if (editor.pending_spaces > 0) {
    --editor.pending_spaces;
    return ' ';
  }
  if (editor.console) return console_key();
  if (!key_wait(-1)) return -1;
  int32_t key = bios_key_take();
  return key < 256 ? key : -1;
}

void type_byte(uint8_t byte) {
  if (!line_append(byte)) return;  // no room for a longer line: the key is refused
  if (!editor.console) print_text(byte_string(byte), 0);
  if (!split_and_validate()) take_back();
}

void finish(uint8_t line_end, uint8_t saved_cursor_visible, int32_t saved_auto_display, int32_t saved_read_source) {
  if (line_end == 1 && !editor.console) print_text(string_from_text_len("", 0), 1);
  write_target->cursor_visible = saved_cursor_visible;
  screen_changed(write_target);  // the cursor's look changed: whoever draws the page sleeps until told
  image_free(editor.input_snapshot, 1);
  image_free(editor.input_canvas, 1);
  if (saved_auto_display == display_manual) {
    // Manual display: ask for one last frame and wait until the frame builder drew it.
    auto_display = display_one_frame;
    wake_all(screen_change_signal);
    while (auto_display.load() != display_manual && !stop_all.load()) sleep_ms(1);
  }
  set_read_source(saved_read_source);
  string_release_temporaries(editor.temp_mark, 0);
}

}  // namespace

void input_statement(int32_t count, uint8_t line_end) {
  if (pending_error) return;
  if (count < 1 || count >= input_dest_capacity) {
    raise_error(error_illegal_function_call);
    return;
  }
  editor.count = count;
  int32_t saved_auto_display = auto_display.exchange(display_automatic);
  if (saved_auto_display != display_automatic) wake_all(screen_change_signal);  // changes held back now show
  int32_t saved_read_source = get_read_source();
  int32_t target = get_write_target();
  set_read_source(target);
  editor.input_snapshot = image_copy(target, 0, 0);
  if (editor.input_snapshot > -2) raise_fatal_error(error_input_snapshot_memory);
  editor.input_canvas = image_copy(target, 0, 0);
  if (editor.input_canvas > -2) raise_fatal_error(error_input_canvas_memory);
  editor.saved_col = write_target->cursor_col;
  editor.saved_row = write_target->cursor_row;
  editor.saved_wrap = write_target->wrap_pending;
  editor.temp_mark = temp_count;
  editor.console = write_target->is_console != 0;
  editor.pending_spaces = 0;
  editor.quote_state = quotes_outside;
  editor.whole_line = (input_dest_types[1] & input_type_string) && (input_dest_types[1] & input_type_line);
  if (editor.whole_line) input_dest_types[1] = input_type_whole_line;
  uint8_t saved_cursor_visible = write_target->cursor_visible;
  write_target->cursor_visible = 1;
  screen_changed(write_target);  // the cursor's look changed: whoever draws the page sleeps until told
  for (int32_t f = 1; f <= count; ++f) clear_destination(input_dest_types[f], input_dest_ptrs[f]);

  editor.line.length = 0;
  split_and_validate();

  for (;;) {
    int32_t key = next_key();
    string_release_temporaries(editor.temp_mark, 0);
    if (stop_all.load()) return;  // shutdown: the program thread parks next
    if (key < 0) continue;
    hold_screen_changes(true);
    switch (key) {
      case ctrl_return:
        hold_screen_changes(false);
        finish(line_end, saved_cursor_visible, saved_auto_display, saved_read_source);
        return;
      case ctrl_backspace:
        take_back();
        break;
      case ctrl_bell:
        print_text(byte_string(ctrl_bell), 0);
        break;
      case ctrl_tab:
        editor.pending_spaces = 8 - (editor.line.length & 7);
        break;
      case ctrl_line_feed:  // the other controls do nothing while a line is typed
      case ctrl_home:
      case ctrl_form_feed:
      case ctrl_right:
      case ctrl_left:
      case ctrl_up:
      case ctrl_down:
        break;
      default:
        type_byte(static_cast<uint8_t>(key));
        break;
    }
    hold_screen_changes(false);
    screen_changed(write_target);  // the echo and the cursor are final for this key: show them now
  }
}

void randomize_prompt(int16_t* seed) {
  print_text(string_from_text("Random-number seed (-32768 to 32767)? "), 0);
  input_dest_ptrs[1] = seed;
  input_dest_types[1] = 16;
  input_statement(1, 1);
}
