// Mouse selection and the clipboard (keeps the highlight, the text offered to other programs and its hand-over at exit, the paste under way and the paste keys).
#include "runtime/window/selection.h"

#include <poll.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "runtime/console/code_page.h"
#include "runtime/console/pasted_keys.h"
#include "runtime/window/display_scale.h"
#include "runtime/window/keyboard.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/textures.h"
#include "runtime/window/window.h"
#include "runtime/window/window_wake.h"

// Last: Xlibint.h (for the wire event type) defines min and max as macros.
#include <GL/freeglut.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#undef min
#undef max

namespace {

using steady = std::chrono::steady_clock;

struct cell_place {
  int32_t row, column;
};

bool before(cell_place a, cell_place b) { return a.row < b.row || (a.row == b.row && a.column < b.column); }
bool same(cell_place a, cell_place b) { return a.row == b.row && a.column == b.column; }

// Everything here belongs to the window thread. Made once and never freed: the window
// thread may still draw or take events while exit runs.
struct selection_state {
  // The cells of the frame on display: what the user sees is what a selection reads.
  std::vector<uint8_t> cells;  // character, attribute per cell
  int32_t columns = 0, rows = 0;
  int32_t cell_width = 8, cell_height = 16;
  int64_t shown_order = -1;

  bool highlighted = false;  // first..last (reading order, inclusive) is drawn inverted
  cell_place first{0, 0}, last{0, 0};

  bool selecting = false;  // the left button is down over the frame
  int32_t clicks = 0;      // 1 drag, 2 word, 3 row
  bool dragged = false;    // the pointer left the pressed cell since the press
  cell_place anchor{0, 0};    // where the press was
  cell_place drag_end{0, 0};  // where the pointer was last seen while dragging
  steady::time_point last_press{};  // when the last left press was handled
  cell_place last_press_cell{-1, -1};

  std::string offered;  // UTF-8 text we own as PRIMARY and / or CLIPBOARD
  bool own_primary = false, own_clipboard = false;

  Display* display = nullptr;
  Window window = 0;
  Atom clipboard = 0, targets = 0, utf8_string = 0, text = 0, incr = 0, paste_property = 0;
  Atom clipboard_manager = 0, save_targets = 0, save_property = 0;
  bool hand_over_answered = false;  // the clipboard manager said it took the clipboard (or would not)

  bool paste_asked = false;  // a conversion is on its way to us
  Atom paste_selection = 0, paste_target = 0;
  steady::time_point paste_asked_at{};
  bool paste_feeding = false;  // keys of the last paste may still wait for the reader
  uint32_t paste_clears = 0;   // the key ring's clear count when the paste under way was clicked

  // Selection events the event hook took off the toolkit's queue, oldest first.
  std::deque<XEvent> caught;
};
selection_state& state = *new selection_state();

constexpr auto multi_click_interval = std::chrono::milliseconds(500);
// A selection owner that never answers must not keep pastes away for good.
constexpr auto paste_answer_wait = std::chrono::seconds(2);
// The longest exit waits for a clipboard manager to take the clipboard over.
constexpr auto hand_over_wait = std::chrono::milliseconds(200);

// ---- the X event hook ----------------------------------------------------------------------
// freeglut hands selection events to no callback, so they are caught as Xlib converts
// them from the wire (the way the close button is caught in window_thread.cpp): the hook
// runs inside Xlib with the display locked, so it only copies the event, drops it from the
// toolkit's queue and wakes the window thread; selection_serve answers on the next pass.
// The toolkit takes pointer events through the X input extension, so the core button
// events (and their server times) never pass here: clicks are timed when handled, and the
// selection requests carry CurrentTime, which the server replaces with its own time.

Bool (*previous_converters[128])(Display*, XEvent*, xEvent*) = {};

Bool convert_event(Display* display, XEvent* event, xEvent* wire) {
  int type = wire->u.u.type & 0x7F;
  Bool keep = previous_converters[type] ? previous_converters[type](display, event, wire) : True;
  if (!keep) return keep;
  if (state.caught.size() < 1024) state.caught.push_back(*event);
  window_wake();
  return False;  // the toolkit has no use for it
}

// A requestor may vanish before we answer it: its errors are expected and harmless.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// ---- text ------------------------------------------------------------------------------------

std::string selected_text() {
  std::string out;
  for (int32_t row = state.first.row; row <= state.last.row; ++row) {
    int32_t from = row == state.first.row ? state.first.column : 0;
    int32_t to = row == state.last.row ? state.last.column : state.columns - 1;
    std::vector<uint8_t> codes;
    for (int32_t column = from; column <= to; ++column)
      codes.push_back(state.cells[(size_t(row) * state.columns + column) * 2]);
    while (!codes.empty() && (codes.back() == ' ' || codes.back() == 0)) codes.pop_back();
    if (row > state.first.row) out += '\n';
    out += code_page_437_to_utf8(codes.data(), codes.size());
  }
  return out;
}

// The STRING form: Latin-1, "?" for what it cannot hold; `complete` says nothing was lost.
std::string latin1_text(const std::string& utf8, bool* complete) {
  std::string out;
  *complete = true;
  for (char32_t cp : utf8_code_points(utf8)) {
    if (cp < 256) {
      out.push_back(char(cp));
    } else {
      out.push_back('?');
      *complete = false;
    }
  }
  return out;
}

// True while keys of the last paste may still wait for the program.
bool paste_still_feeding() {
  if (state.paste_feeding && bios_key_count() + key_backlog_count() == 0) state.paste_feeding = false;
  return state.paste_feeding;
}

void feed_paste(const std::vector<char32_t>& text) {
  // The modifiers held while clicking are not meant for the text; the keys were typed at
  // the click, however far the program read meanwhile.
  state.paste_feeding = put_pasted_keys(text, state.paste_clears);
}

// ---- offering the selection --------------------------------------------------------------------

void redraw() { glutPostRedisplay(); }

void clear_highlight() {
  if (!state.highlighted) return;
  state.highlighted = false;
  redraw();
}

void highlight(cell_place from, cell_place to) {
  if (before(to, from)) std::swap(from, to);
  state.first = from;
  state.last = to;
  state.highlighted = true;
  redraw();
}

void offer_selection() {
  if (!state.highlighted || !state.display) return;
  state.offered = selected_text();
  XSetSelectionOwner(state.display, XA_PRIMARY, state.window, CurrentTime);
  XSetSelectionOwner(state.display, state.clipboard, state.window, CurrentTime);
  state.own_primary = XGetSelectionOwner(state.display, XA_PRIMARY) == state.window;
  state.own_clipboard = XGetSelectionOwner(state.display, state.clipboard) == state.window;
}

// The word under `place`: the run of characters other than blanks around it.
void select_word(cell_place place) {
  auto blank = [](uint8_t c) { return c == ' ' || c == 0 || c == 255; };
  const uint8_t* row = state.cells.data() + size_t(place.row) * state.columns * 2;
  if (blank(row[place.column * 2])) {
    highlight(place, place);
    return;
  }
  int32_t from = place.column, to = place.column;
  while (from > 0 && !blank(row[(from - 1) * 2])) --from;
  while (to < state.columns - 1 && !blank(row[(to + 1) * 2])) ++to;
  highlight({place.row, from}, {place.row, to});
}

// The cell under window pixel (x, y); false outside the frame or without a text frame.
bool cell_at(int x, int y, cell_place* place) {
  if (state.columns <= 0 || state.rows <= 0) return false;
  int32_t frame_x = 0, frame_y = 0;
  if (!window_to_frame_point(destination, x, y, &frame_x, &frame_y)) return false;
  int32_t column = frame_x / state.cell_width, row = frame_y / state.cell_height;
  if (column < 0 || row < 0 || column >= state.columns || row >= state.rows) return false;
  *place = {row, column};
  return true;
}

// ---- answering other programs ----------------------------------------------------------------

void answer_request(const XSelectionRequestEvent& request) {
  Display* display = state.display;
  XSelectionEvent reply;
  std::memset(&reply, 0, sizeof reply);
  reply.type = SelectionNotify;
  reply.display = display;
  reply.requestor = request.requestor;
  reply.selection = request.selection;
  reply.target = request.target;
  reply.time = request.time;
  reply.property = None;
  // Old clients name no property: the target's name is used then.
  Atom property = request.property != None ? request.property : request.target;
  bool ours = (request.selection == XA_PRIMARY && state.own_primary) ||
              (request.selection == state.clipboard && state.own_clipboard);
  int (*previous_handler)(Display*, XErrorEvent*) = XSetErrorHandler(ignore_x_error);
  if (ours) {
    auto put = [&](Atom type, const std::string& bytes) {
      XChangeProperty(display, request.requestor, property, type, 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(bytes.data()), int(bytes.size()));
      reply.property = property;
    };
    bool latin1_complete = false;
    std::string latin1 = latin1_text(state.offered, &latin1_complete);
    if (request.target == state.targets) {
      // SAVE_TARGETS tells clipboard managers that the text is handed over at exit.
      Atom list[5] = {state.targets, state.utf8_string, XA_STRING, state.text, state.save_targets};
      XChangeProperty(display, request.requestor, property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(list), 5);
      reply.property = property;
    } else if (request.target == state.utf8_string) {
      put(state.utf8_string, state.offered);
    } else if (request.target == XA_STRING) {
      put(XA_STRING, latin1);
    } else if (request.target == state.text) {
      // TEXT leaves the encoding to us: Latin-1 when it holds everything, else UTF-8.
      if (latin1_complete)
        put(XA_STRING, latin1);
      else
        put(state.utf8_string, state.offered);
    }
  }
  XSendEvent(display, request.requestor, False, NoEventMask, reinterpret_cast<XEvent*>(&reply));
  XSync(display, False);  // errors of a vanished requestor arrive here, under our handler
  XSetErrorHandler(previous_handler);
}

void lose_selection(const XSelectionClearEvent& clear) {
  if (clear.window != state.window) return;
  if (clear.selection == XA_PRIMARY) state.own_primary = false;
  if (clear.selection == state.clipboard) state.own_clipboard = false;
  if (!state.own_primary && !state.own_clipboard) state.offered.clear();
}

void ask_for_paste(Atom selection, Atom target) {
  state.paste_asked = true;
  state.paste_selection = selection;
  state.paste_target = target;
  state.paste_asked_at = steady::now();
  XDeleteProperty(state.display, state.window, state.paste_property);
  XConvertSelection(state.display, selection, target, state.paste_property, state.window, CurrentTime);
  XFlush(state.display);
}

void start_paste(Atom selection) {
  if (!state.display || paste_still_feeding()) return;
  if (state.paste_asked && steady::now() - state.paste_asked_at < paste_answer_wait) return;
  state.paste_clears = key_ring_clear_count();
  bool ours = (selection == XA_PRIMARY && state.own_primary) || (selection == state.clipboard && state.own_clipboard);
  if (ours) {
    state.paste_asked = false;
    feed_paste(utf8_code_points(state.offered));
    return;
  }
  ask_for_paste(selection, state.utf8_string);
}

void receive_paste(const XSelectionEvent& notice) {
  if (notice.requestor == state.window && notice.selection == state.clipboard_manager) {
    state.hand_over_answered = true;  // property None: the manager would not; either way we may go
    return;
  }
  if (!state.paste_asked || notice.requestor != state.window || notice.selection != state.paste_selection) return;
  if (notice.property == None) {
    // No UTF-8 form: ask for Latin-1 once before giving up.
    if (state.paste_target == state.utf8_string)
      ask_for_paste(state.paste_selection, XA_STRING);
    else
      state.paste_asked = false;
    return;
  }
  state.paste_asked = false;
  Atom type = None;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  // Read in 32-bit units: four bytes for each key a paste may feed.
  long longs = paste_capacity;
  if (XGetWindowProperty(state.display, state.window, notice.property, 0, longs, True, AnyPropertyType, &type,
                         &format, &count, &after, &data) != Success)
    return;
  std::string bytes;
  // Text sent in pieces (INCR) is for much more than a paste feeds; it is left alone.
  if (data && format == 8 && type != state.incr) bytes.assign(reinterpret_cast<char*>(data), count);
  if (data) XFree(data);
  if (after > 0) XDeleteProperty(state.display, state.window, notice.property);
  if (bytes.empty()) return;
  if (type == XA_STRING) {
    std::vector<char32_t> text(bytes.begin(), bytes.end());
    for (char32_t& c : text) c &= 0xFF;
    feed_paste(text);
  } else {
    feed_paste(utf8_code_points(bytes));
  }
}

}  // namespace

void selection_install(Display* display, unsigned long window) {
  if (!display || !window) return;
  state.display = display;
  state.window = window;
  state.clipboard = XInternAtom(display, "CLIPBOARD", False);
  state.targets = XInternAtom(display, "TARGETS", False);
  state.utf8_string = XInternAtom(display, "UTF8_STRING", False);
  state.text = XInternAtom(display, "TEXT", False);
  state.incr = XInternAtom(display, "INCR", False);
  state.paste_property = XInternAtom(display, "RUNTIME_PASTE", False);
  state.clipboard_manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
  state.save_targets = XInternAtom(display, "SAVE_TARGETS", False);
  state.save_property = XInternAtom(display, "RUNTIME_SAVE_TARGETS", False);
  for (int type : {SelectionClear, SelectionRequest, SelectionNotify})
    previous_converters[type] = XESetWireToEvent(display, type, convert_event);
}

void selection_serve() {
  paste_still_feeding();
  while (!state.caught.empty()) {
    XEvent event = state.caught.front();
    state.caught.pop_front();
    if (event.type == SelectionRequest)
      answer_request(event.xselectionrequest);
    else if (event.type == SelectionClear)
      lose_selection(event.xselectionclear);
    else if (event.type == SelectionNotify)
      receive_paste(event.xselection);
  }
}

void selection_hand_over() {
  if (!state.display || !state.own_clipboard || state.offered.empty()) return;
  if (XGetSelectionOwner(state.display, state.clipboard_manager) == None) return;
  // The freedesktop clipboard-manager protocol: the targets to keep go in a property of
  // ours, the manager converts CLIPBOARD to each (served below as any requestor is), takes
  // the clipboard over and answers the SAVE_TARGETS conversion.
  Atom kept[2] = {state.utf8_string, XA_STRING};
  XChangeProperty(state.display, state.window, state.save_property, XA_ATOM, 32, PropModeReplace,
                  reinterpret_cast<unsigned char*>(kept), 2);
  XConvertSelection(state.display, state.clipboard_manager, state.save_targets, state.save_property, state.window,
                    CurrentTime);
  state.hand_over_answered = false;
  const steady::time_point deadline = steady::now() + hand_over_wait;
  for (;;) {
    XFlush(state.display);
    // Reading runs the event hook, which takes the selection events off the queue; the
    // others stay queued for a toolkit that will not see them.
    XEventsQueued(state.display, QueuedAfterReading);
    selection_serve();
    if (state.hand_over_answered) return;
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - steady::now()).count();
    if (left <= 0) return;
    pollfd connection = {ConnectionNumber(state.display), POLLIN, 0};
    poll(&connection, 1, int(left));
  }
}

namespace {

// Shift+Insert pastes PRIMARY (as in xterm), Ctrl+Shift+V CLIPBOARD (as in terminals);
// Ctrl+V alone stays a key the program reads. The toolkit hands Ctrl+V over as code 22.
bool is_clipboard_paste_key(unsigned char key) {
  return key == 22 && glutGetModifiers() == (GLUT_ACTIVE_CTRL | GLUT_ACTIVE_SHIFT);
}
bool is_primary_paste_key(int key) { return key == GLUT_KEY_INSERT && glutGetModifiers() == GLUT_ACTIVE_SHIFT; }

}  // namespace

void selection_key(unsigned char key, int x, int y) {
  if (is_clipboard_paste_key(key))
    start_paste(state.clipboard);
  else
    keyboard_callback(key, x, y);
}

void selection_key_up(unsigned char key, int x, int y) {
  if (!is_clipboard_paste_key(key)) keyboard_up_callback(key, x, y);
}

void selection_special(int key, int x, int y) {
  if (is_primary_paste_key(key))
    start_paste(XA_PRIMARY);
  else
    special_callback(key, x, y);
}

void selection_special_up(int key, int x, int y) {
  if (!is_primary_paste_key(key)) special_up_callback(key, x, y);
}

void selection_mouse(int button, int button_state, int x, int y) {
  cell_place place{0, 0};
  bool on_cell = cell_at(x, y, &place);
  if (button == GLUT_MIDDLE_BUTTON || button == GLUT_RIGHT_BUTTON) {
    if (button_state == GLUT_DOWN && state.display)
      start_paste(button == GLUT_MIDDLE_BUTTON ? XA_PRIMARY : state.clipboard);
    return;
  }
  if (button != GLUT_LEFT_BUTTON) return;
  if (button_state == GLUT_DOWN) {
    if (!on_cell) return;
    steady::time_point now = steady::now();
    bool again = same(place, state.last_press_cell) && now - state.last_press <= multi_click_interval;
    state.clicks = again ? state.clicks % 3 + 1 : 1;
    state.last_press = now;
    state.last_press_cell = place;
    state.selecting = true;
    state.dragged = false;
    state.anchor = state.drag_end = place;
    if (state.clicks == 1)
      clear_highlight();
    else if (state.clicks == 2)
      select_word(place);
    else
      highlight({place.row, 0}, {place.row, state.columns - 1});
    return;
  }
  if (!state.selecting) return;
  state.selecting = false;
  if (state.clicks == 1 && !state.dragged) {
    clear_highlight();  // a click without a drag
    return;
  }
  offer_selection();
}

void selection_drag(int x, int y) {
  if (!state.selecting || state.clicks != 1) return;
  // Past the frame's edge the drag goes on from the nearest cell.
  x = std::min(std::max(x, destination.x0), destination.x1);
  y = std::min(std::max(y, destination.y0), destination.y1);
  cell_place place{0, 0};
  if (!cell_at(x, y, &place)) return;
  if (same(place, state.drag_end)) return;
  state.drag_end = place;
  state.dragged = true;
  highlight(state.anchor, place);
}

void selection_frame_shown(const software_frame& frame) {
  int64_t order = frame.order.load();
  if (order == state.shown_order) return;
  state.shown_order = order;
  if (!frame.cells || frame.columns <= 0 || frame.rows <= 0) {
    state.highlighted = false;
    state.columns = state.rows = 0;
    return;
  }
  bool same_grid = frame.columns == state.columns && frame.rows == state.rows;
  if (state.highlighted) {
    if (!same_grid) {
      state.highlighted = false;
    } else {
      // Any change to a highlighted cell ends the highlight: it would mark text that is gone.
      size_t from = (size_t(state.first.row) * state.columns + state.first.column) * 2;
      size_t to = (size_t(state.last.row) * state.columns + state.last.column) * 2 + 2;
      if (std::memcmp(state.cells.data() + from, frame.cells + from, to - from) != 0) state.highlighted = false;
    }
  }
  state.cells.assign(frame.cells, frame.cells + size_t(frame.columns) * frame.rows * 2);
  state.columns = frame.columns;
  state.rows = frame.rows;
  state.cell_width = frame.cell_width > 0 ? frame.cell_width : 8;
  state.cell_height = frame.cell_height > 0 ? frame.cell_height : 16;
  if (!same_grid) state.selecting = false;
}

void selection_draw_highlight() {
  if (!state.highlighted) return;
  for (int32_t row = state.first.row; row <= state.last.row; ++row) {
    int32_t from = row == state.first.row ? state.first.column : 0;
    int32_t to = row == state.last.row ? state.last.column : state.columns - 1;
    window_rect r = map_frame_rect(destination, from * state.cell_width, row * state.cell_height,
                                   (to - from + 1) * state.cell_width, state.cell_height);
    invert_window_rect(r.x0, r.y0, r.x1, r.y1);
  }
}
