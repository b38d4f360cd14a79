// Message box (a small Xlib dialog of its own, drawn with the built-in 8x16 glyphs, that needs no X font).
#include "runtime/window/message_box.h"

#include <poll.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// Last: the internal header brings the per-connection error hook and many macros.
#include <X11/Xlibint.h>
#undef min
#undef max

#include "runtime/console/fonts.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/stop_signal.h"
#include "runtime/window/accessibility_thread.h"
#include "runtime/window/desktop_identity.h"
#include "runtime/window/display_scale.h"

namespace {

// The box is a grid of 8x16 cells, so it reads back like a text screen (on a high-density
// screen each glyph pixel is a block of the display scale, as in the program's window).
const int cell_width = 8;
const int cell_height = 16;
const int side_margin = 2;   // blank columns left and right of the text
const int button_width = 8;  // cells per button
const int button_gap = 2;    // cells between buttons
const int min_cols = 30;
const int max_cols = 160;

// Colours as 0xRRGGBB, all taken from the 16 text colours.
const unsigned long face_color = 0xAAAAAA;    // box background
const unsigned long text_color = 0x000000;    // message text
const unsigned long button_color = 0xFFFFFF;  // button background
const unsigned long focus_color = 0x0000AA;   // focused button background
const unsigned long focus_text = 0xFFFFFF;    // focused button label

struct box_cell {
  uint8_t code;
  unsigned long fg, bg;
};

// Everything one open box keeps.
struct box_state {
  Display* display = nullptr;
  Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  bool own_colormap = false;
  GC gc = nullptr;
  XImage* image = nullptr;
  int cols = 0, rows = 0;                 // cell grid
  std::vector<std::string> lines;         // message lines as drawn
  std::vector<const char*> labels;        // button labels, left to right
  std::vector<int> answers;               // what each button answers
  int focused = 0;                        // index into labels
  int button_row = 0, first_button_col = 0;
  int pressed = -1;                       // button under a held mouse button, -1 none
  bool focus_taken = false;               // the box has asked for the keyboard focus
  Window focus_before = 0;                // who had the keyboard focus before the box, 0 none
  Atom wm_protocols = 0, wm_delete = 0;
  int scale = 1;                          // window pixels per glyph pixel, as the program's window
  int x = 0, y = 0;                       // where the box was put on the screen
  int32_t reader_id = 0;                  // the box as screen readers know it (accessibility_alert_opened)
  int cell_w() const { return cell_width * scale; }  // a cell in window pixels
  int cell_h() const { return cell_height * scale; }
};

// Errors on the box's own connection (a window that vanished under us, focus refused by
// a window manager) must not end the program through the process-wide handler. Xlib
// offers them to this hook when they arrive while it waits for a reply, so every request
// that can fail is followed by XSync.
int ignore_box_error(Display*, xError*, XExtCodes*, int* result) {
  *result = 0;
  return 1;
}

void install_error_hook(Display* display) {
  XExtCodes* codes = XAddExtension(display);
  if (codes) XESetError(display, codes->extension, ignore_box_error);
}

// Message split at '\n', tabs expanded, carriage returns dropped, long lines wrapped.
std::vector<std::string> layout_lines(const char* message, int width_limit) {
  std::vector<std::string> lines(1);
  for (const char* p = message; *p; ++p) {
    char c = *p;
    if (c == '\r') continue;
    if (c == '\n') {
      lines.emplace_back();
      continue;
    }
    if (static_cast<int>(lines.back().size()) >= width_limit) lines.emplace_back();
    if (c == '\t') {
      do lines.back() += ' ';
      while (lines.back().size() % 8 && static_cast<int>(lines.back().size()) < width_limit);
      continue;
    }
    lines.back() += c;
  }
  return lines;
}

// Pixel value of an 0xRRGGBB colour in the box's visual.
unsigned long pixel_of(box_state& box, unsigned long rgb) {
  if (box.visual->c_class == TrueColor || box.visual->c_class == DirectColor) {
    auto part = [](unsigned long value8, unsigned long mask) {
      int shift = 0;
      while (mask && !((mask >> shift) & 1)) ++shift;
      unsigned long max = mask >> shift;
      return ((value8 * max + 127) / 255) << shift;
    };
    return part((rgb >> 16) & 255, box.visual->red_mask) | part((rgb >> 8) & 255, box.visual->green_mask) |
           part(rgb & 255, box.visual->blue_mask);
  }
  XColor color;
  color.red = static_cast<unsigned short>(((rgb >> 16) & 255) * 257);
  color.green = static_cast<unsigned short>(((rgb >> 8) & 255) * 257);
  color.blue = static_cast<unsigned short>((rgb & 255) * 257);
  color.flags = DoRed | DoGreen | DoBlue;
  if (XAllocColor(box.display, box.colormap, &color)) return color.pixel;
  unsigned long luminance = ((rgb >> 16) & 255) + ((rgb >> 8) & 255) + (rgb & 255);
  return luminance > 3 * 127 ? WhitePixel(box.display, DefaultScreen(box.display))
                             : BlackPixel(box.display, DefaultScreen(box.display));
}

// The cells of the whole box for the current focus.
std::vector<box_cell> compose_cells(const box_state& box) {
  std::vector<box_cell> cells(static_cast<size_t>(box.cols) * box.rows, box_cell{32, text_color, face_color});
  for (size_t i = 0; i < box.lines.size(); ++i)
    for (size_t c = 0; c < box.lines[i].size(); ++c)
      cells[(i + 1) * box.cols + side_margin + c].code = static_cast<uint8_t>(box.lines[i][c]);
  for (size_t b = 0; b < box.labels.size(); ++b) {
    bool focused = static_cast<int>(b) == box.focused;
    int start = box.first_button_col + static_cast<int>(b) * (button_width + button_gap);
    int label_length = static_cast<int>(std::strlen(box.labels[b]));
    int label_start = start + (button_width - label_length) / 2;
    for (int c = start; c < start + button_width; ++c) {
      box_cell& cell = cells[static_cast<size_t>(box.button_row) * box.cols + c];
      cell.fg = focused ? focus_text : text_color;
      cell.bg = focused ? focus_color : button_color;
      if (c >= label_start && c < label_start + label_length)
        cell.code = static_cast<uint8_t>(box.labels[b][c - label_start]);
    }
  }
  return cells;
}

// Paints the cells into the box's image.
void render(box_state& box) {
  std::vector<box_cell> cells = compose_cells(box);
  struct pixel_pair {
    unsigned long rgb, pixel;
  };
  std::vector<pixel_pair> known;
  auto lookup = [&](unsigned long rgb) {
    for (auto& k : known)
      if (k.rgb == rgb) return k.pixel;
    unsigned long pixel = pixel_of(box, rgb);
    known.push_back({rgb, pixel});
    return pixel;
  };
  for (int row = 0; row < box.rows; ++row)
    for (int col = 0; col < box.cols; ++col) {
      const box_cell& cell = cells[static_cast<size_t>(row) * box.cols + col];
      unsigned long fg = lookup(cell.fg), bg = lookup(cell.bg);
      const uint8_t* glyph = &builtin_glyphs_8x16[cell.code * 128];
      for (int y = 0; y < box.cell_h(); ++y)
        for (int x = 0; x < box.cell_w(); ++x)
          XPutPixel(box.image, col * box.cell_w() + x, row * box.cell_h() + y,
                    glyph[y / box.scale * 8 + x / box.scale] ? fg : bg);
    }
}

void present(box_state& box) {
  XPutImage(box.display, box.window, box.gc, box.image, 0, 0, 0, 0, box.cols * box.cell_w(),
            box.rows * box.cell_h());
  XSync(box.display, False);
}

void move_focus(box_state& box, int step) {
  int count = static_cast<int>(box.labels.size());
  box.focused = ((box.focused + step) % count + count) % count;
  accessibility_alert_focus(box.reader_id, box.focused);
  render(box);
  present(box);
}

// Button under window pixel (x, y), or -1.
int button_at(const box_state& box, int x, int y) {
  if (y / box.cell_h() != box.button_row || y < 0 || x < 0) return -1;
  int col = x / box.cell_w() - box.first_button_col;
  if (col < 0) return -1;
  int index = col / (button_width + button_gap);
  if (index >= static_cast<int>(box.labels.size()) || col % (button_width + button_gap) >= button_width) return -1;
  return index;
}

// A 24-bit TrueColor visual when the server has one (the usual case), else the default.
void choose_visual(box_state& box) {
  int screen = DefaultScreen(box.display);
  XVisualInfo info;
  Visual* default_visual = DefaultVisual(box.display, screen);
  if (default_visual->c_class == TrueColor && DefaultDepth(box.display, screen) >= 24) {
    box.visual = default_visual;
    box.depth = DefaultDepth(box.display, screen);
    box.colormap = DefaultColormap(box.display, screen);
  } else if (XMatchVisualInfo(box.display, screen, 24, TrueColor, &info)) {
    box.visual = info.visual;
    box.depth = info.depth;
    box.colormap = XCreateColormap(box.display, RootWindow(box.display, screen), info.visual, AllocNone);
    box.own_colormap = true;
  } else {
    box.visual = default_visual;
    box.depth = DefaultDepth(box.display, screen);
    box.colormap = DefaultColormap(box.display, screen);
  }
}

void set_titles_and_hints(box_state& box, const char* title) {
  Display* d = box.display;
  XStoreName(d, box.window, title);
  set_window_utf8_title(d, box.window, title);
  box.wm_protocols = XInternAtom(d, "WM_PROTOCOLS", False);
  box.wm_delete = XInternAtom(d, "WM_DELETE_WINDOW", False);
  XSetWMProtocols(d, box.window, &box.wm_delete, 1);

  // A fixed size: the layout does not stretch.
  XSizeHints* size = XAllocSizeHints();
  if (size) {
    size->flags = PMinSize | PMaxSize;
    size->min_width = size->max_width = box.cols * box.cell_w();
    size->min_height = size->max_height = box.rows * box.cell_h();
    XSetWMNormalHints(d, box.window, size);
    XFree(size);
  }
  XWMHints* hints = XAllocWMHints();
  if (hints) {
    hints->flags = InputHint | StateHint;
    hints->input = True;
    hints->initial_state = NormalState;
    XSetWMHints(d, box.window, hints);
    XFree(hints);
  }
  set_window_identity(d, box.window);  // grouped with the program's window, with its icon
  Atom type = XInternAtom(d, "_NET_WM_WINDOW_TYPE", False);
  Atom dialog = XInternAtom(d, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(d, box.window, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<unsigned char*>(&dialog), 1);
  unsigned long owner = message_box_owner_window.load(std::memory_order_acquire);
  if (owner) XSetTransientForHint(d, box.window, owner);
}

bool open_box(box_state& box, const char* title, const char* message, bool yes_no, int default_button) {
  Display* d = box.display;
  int screen = DefaultScreen(d);
  int screen_cols = DisplayWidth(d, screen) / box.cell_w();
  int screen_rows = DisplayHeight(d, screen) / box.cell_h();
  int width_limit = std::max(8, std::min(max_cols, screen_cols) - 2 * side_margin);

  box.lines = layout_lines(message, width_limit);
  // Rows: blank, the lines, blank, buttons, blank. Lines beyond the screen are left out.
  int max_lines = std::max(1, screen_rows - 4);
  if (static_cast<int>(box.lines.size()) > max_lines) {
    box.lines.resize(max_lines);
    box.lines.back() = "...";
  }
  if (yes_no) {
    box.labels = {"Yes", "No"};
    box.answers = {1, 0};
    box.focused = default_button == 0 ? 1 : 0;
  } else {
    box.labels = {"OK"};
    box.answers = {1};
    box.focused = 0;
  }
  int buttons_cols = static_cast<int>(box.labels.size()) * (button_width + button_gap) - button_gap;
  size_t longest = 0;
  for (auto& line : box.lines) longest = std::max(longest, line.size());
  box.cols = std::max({min_cols, static_cast<int>(longest) + 2 * side_margin, buttons_cols + 2 * side_margin});
  box.rows = static_cast<int>(box.lines.size()) + 4;
  box.button_row = box.rows - 2;
  box.first_button_col = (box.cols - buttons_cols) / 2;

  choose_visual(box);
  int width = box.cols * box.cell_w(), height = box.rows * box.cell_h();
  XSetWindowAttributes attributes;
  attributes.colormap = box.colormap;
  attributes.background_pixel = pixel_of(box, face_color);
  attributes.border_pixel = 0;
  attributes.event_mask =
      ExposureMask | KeyPressMask | ButtonPressMask | ButtonReleaseMask | StructureNotifyMask | FocusChangeMask;
  box.x = std::max(0, (DisplayWidth(d, screen) - width) / 2);
  box.y = std::max(0, (DisplayHeight(d, screen) - height) / 2);
  box.window = XCreateWindow(d, RootWindow(d, screen), box.x, box.y, width, height, 0, box.depth, InputOutput,
                             box.visual, CWColormap | CWBackPixel | CWBorderPixel | CWEventMask, &attributes);
  if (!box.window) return false;
  set_titles_and_hints(box, title);

  box.gc = XCreateGC(d, box.window, 0, nullptr);
  box.image = XCreateImage(d, box.visual, box.depth, ZPixmap, 0, nullptr, width, height, 32, 0);
  if (!box.gc || !box.image) return false;
  box.image->data = static_cast<char*>(std::malloc(static_cast<size_t>(box.image->bytes_per_line) * height));
  if (!box.image->data) return false;
  render(box);
  XMapRaised(d, box.window);
  XSync(d, False);
  return true;
}

// Gives the focus back to the window that had it (without a window manager nobody else
// would, and the program's window would get no more keys).
void return_focus(box_state& box) {
  if (!box.focus_before || !box.window) return;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(box.display, &focus, &revert);
  if (focus != box.window) return;  // someone else moved it meanwhile
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(box.display, box.focus_before, &attributes) || attributes.map_state != IsViewable) return;
  XSetInputFocus(box.display, box.focus_before, RevertToParent, CurrentTime);
  XSync(box.display, False);
}

void close_box(box_state& box) {
  return_focus(box);
  if (box.image) XDestroyImage(box.image);  // frees the pixel data too
  if (box.gc) XFreeGC(box.display, box.gc);
  if (box.window) XDestroyWindow(box.display, box.window);
  if (box.own_colormap) XFreeColormap(box.display, box.colormap);
  XCloseDisplay(box.display);  // flushes and waits, so the box is gone when we return
}

// Takes the keyboard focus once the box is on screen (a window that is not viewable cannot).
void take_focus(box_state& box) {
  if (box.focus_taken) return;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(box.display, box.window, &attributes) || attributes.map_state != IsViewable) return;
  box.focus_taken = true;
  Window focus = 0;
  int revert = 0;
  XGetInputFocus(box.display, &focus, &revert);
  if (focus != PointerRoot && focus != box.window) box.focus_before = focus;
  XSetInputFocus(box.display, box.window, RevertToParent, CurrentTime);
  // Window managers that honour the activation request raise and focus the box as well.
  XEvent event;
  std::memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = box.window;
  event.xclient.message_type = XInternAtom(box.display, "_NET_ACTIVE_WINDOW", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = 1;  // from an application
  event.xclient.data.l[1] = CurrentTime;
  XSendEvent(box.display, DefaultRootWindow(box.display), False, SubstructureRedirectMask | SubstructureNotifyMask,
             &event);
  XSync(box.display, False);
}

// Handles one key; returns the answer, or -1 to keep waiting.
int on_key(box_state& box, XKeyEvent& key) {
  char text[8];
  KeySym keysym = NoSymbol;
  XLookupString(&key, text, sizeof text, &keysym, nullptr);
  bool yes_no = box.labels.size() == 2;
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
    case XK_space:
    case XK_KP_Space:
      return box.answers[box.focused];
    case XK_y:
    case XK_Y:
      return 1;
    case XK_n:
    case XK_N:
    case XK_Escape:
      return yes_no ? 0 : 1;  // an OK box has only the one answer
    case XK_Tab:
      move_focus(box, (key.state & ShiftMask) ? -1 : 1);
      return -1;
    case XK_ISO_Left_Tab:
    case XK_Left:
    case XK_Up:
    case XK_KP_Left:
    case XK_KP_Up:
      move_focus(box, -1);
      return -1;
    case XK_Right:
    case XK_Down:
    case XK_KP_Right:
    case XK_KP_Down:
      move_focus(box, 1);
      return -1;
    default:
      return -1;
  }
}

// Waits for the box's next event; false when shutdown began first. Xlib may already hold
// events read from the socket, so the queue is asked before waiting on the connection.
// The wait has no timeout (no look for shutdown every few ms): shutdown makes its
// descriptor readable.
bool next_event(box_state& box, XEvent* event) {
  int stop_fd = stop_all_descriptor();
  while (XPending(box.display) == 0) {
    if (stop_all.load()) return false;
    pollfd waits[2] = {{ConnectionNumber(box.display), POLLIN, 0}, {stop_fd, POLLIN, 0}};
    if (poll(waits, stop_fd >= 0 ? 2 : 1, stop_fd >= 0 ? -1 : stop_poll_fallback_ms) < 0 && errno != EINTR)
      return false;
    if (waits[0].revents & (POLLERR | POLLHUP | POLLNVAL)) return false;  // the server went away
  }
  if (stop_all.load()) return false;
  XNextEvent(box.display, event);
  return true;
}

// Event loop until an answer. Shutdown (the program's window closed, say) answers No:
// the program thread must not stay in the box while the process ends.
int run_box(box_state& box) {
  for (;;) {
    XEvent event;
    if (!next_event(box, &event)) return 0;
    switch (event.type) {
      case Expose:
        // Under a reparenting window manager the box may become viewable only after its
        // MapNotify; the first Expose is then the moment to take the focus.
        if (event.xexpose.count == 0) present(box);
        take_focus(box);
        break;
      case MapNotify:
        present(box);
        take_focus(box);
        break;
      case KeyPress: {
        int answer = on_key(box, event.xkey);
        if (answer >= 0) return answer;
        break;
      }
      case ButtonPress:
        if (event.xbutton.button == Button1) box.pressed = button_at(box, event.xbutton.x, event.xbutton.y);
        break;
      case ButtonRelease:
        if (event.xbutton.button == Button1) {
          int released = button_at(box, event.xbutton.x, event.xbutton.y);
          int pressed = box.pressed;
          box.pressed = -1;
          // A click is a press and a release on the same button.
          if (released >= 0 && released == pressed) return box.answers[released];
        }
        break;
      case ClientMessage:
        if (event.xclient.message_type == box.wm_protocols && event.xclient.format == 32 &&
            static_cast<Atom>(event.xclient.data.l[0]) == box.wm_delete)
          return 0;
        break;
      case DestroyNotify:
        if (event.xdestroywindow.window == box.window) {
          box.window = 0;  // already gone: nothing to destroy
          return 0;
        }
        break;
      case MappingNotify:
        XRefreshKeyboardMapping(&event.xmapping);
        break;
      default:
        break;
    }
  }
}

}  // namespace

int message_box(const char* title, const char* message, const char* dialog_type, const char* icon_type,
                int default_button) {
  (void)icon_type;  // the box has no icons; the caller's intent shows in the title
  if (!title) title = "";
  if (!message) message = "";
  bool yes_no = dialog_type && std::strcmp(dialog_type, "yesno") == 0;

  box_state box;
  box.scale = display_scale.load();
  box.display = XOpenDisplay(nullptr);
  if (!box.display) {
    std::fprintf(stderr, "%s: %s\n", title, message);
    std::fflush(stderr);
    return 0;
  }
  install_error_hook(box.display);
  int answer = 0;
  if (open_box(box, title, message, yes_no, default_button)) {
    box.reader_id = accessibility_alert_opened(title, box.lines, box.labels, box.focused, box.x, box.y,
                                               box.cols * box.cell_w(), box.rows * box.cell_h());
    answer = run_box(box);
    accessibility_alert_closed(box.reader_id);
  } else {
    std::fprintf(stderr, "%s: %s\n", title, message);
    std::fflush(stderr);
  }
  close_box(box);
  return answer;
}

int show_error_box(const char* message, const char* title, const char* dialog_type) {
  return message_box(title, message, dialog_type, "error", 1);
}
