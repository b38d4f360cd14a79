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
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
// Last: the internal header brings the per-connection error hook and many macros.
#include <X11/Xlibint.h>
#undef min
#undef max

#include "runtime/console/dialog_box.h"
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

// Colours as 0xRRGGBB, all taken from the 16 text colours.
const unsigned long face_color = 0xAAAAAA;    // box background
const unsigned long text_color = 0x000000;    // message text
const unsigned long button_color = 0xFFFFFF;  // button background
const unsigned long focus_color = 0x0000AA;   // focused button background
const unsigned long focus_text = 0xFFFFFF;    // focused button label

// Everything one open box keeps: its cells and buttons (dialog_box), and its X window.
struct box_state : dialog_box {
  Display* display = nullptr;
  Window window = 0;
  Visual* visual = nullptr;
  int depth = 0;
  Colormap colormap = 0;
  bool own_colormap = false;
  GC gc = nullptr;
  XImage* image = nullptr;
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

// Colours of each part of the box (dialog_cell_role), foreground and background.
const unsigned long role_colors[3][2] = {
    {text_color, face_color}, {text_color, button_color}, {focus_text, focus_color}};

// Paints the cells into the box's image.
void render(box_state& box) {
  std::vector<dialog_cell> cells = dialog_box_cells(box);
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
      const dialog_cell& cell = cells[static_cast<size_t>(row) * box.cols + col];
      unsigned long fg = lookup(role_colors[cell.role][0]), bg = lookup(role_colors[cell.role][1]);
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

// Button under window pixel (x, y), or -1.
int button_at(const box_state& box, int x, int y) {
  if (y < 0 || x < 0) return -1;
  return dialog_box_button_at(box, x / box.cell_w(), y / box.cell_h());
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
  dialog_box_layout(&box, message, yes_no, default_button, DisplayWidth(d, screen) / box.cell_w(),
                    DisplayHeight(d, screen) / box.cell_h());

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
  dialog_key action;
  switch (keysym) {
    case XK_Return:
    case XK_KP_Enter:
    case XK_space:
    case XK_KP_Space:
      action = dialog_key_choose;
      break;
    case XK_y:
    case XK_Y:
      action = dialog_key_yes;
      break;
    case XK_n:
    case XK_N:
    case XK_Escape:
      action = dialog_key_no;
      break;
    case XK_Tab:
      action = (key.state & ShiftMask) ? dialog_key_previous : dialog_key_next;
      break;
    case XK_ISO_Left_Tab:
    case XK_Left:
    case XK_Up:
    case XK_KP_Left:
    case XK_KP_Up:
      action = dialog_key_previous;
      break;
    case XK_Right:
    case XK_Down:
    case XK_KP_Right:
    case XK_KP_Down:
      action = dialog_key_next;
      break;
    default:
      return -1;
  }
  int answer = dialog_box_key(&box, action);
  if (answer < 0) {
    accessibility_alert_focus(box.reader_id, box.focused);
    render(box);
    present(box);
  }
  return answer;
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
