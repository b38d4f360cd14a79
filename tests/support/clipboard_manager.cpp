// A clipboard manager for the tests that does only the freedesktop hand-over (SAVE_TARGETS), in a child process.
#include "support/clipboard_manager.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include <X11/Xlib.h>

#include "support/wait_clock.h"

namespace {

// Asked for SAVE_TARGETS, it converts CLIPBOARD to UTF8_STRING, takes CLIPBOARD over and
// only then answers, as the protocol has it; then it serves the copy.
[[noreturn]] void run_manager(bool answering) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) _exit(1);
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  enum { manager, clipboard, save_targets, utf8, copied };
  char* names[] = {const_cast<char*>("CLIPBOARD_MANAGER"), const_cast<char*>("CLIPBOARD"),
                   const_cast<char*>("SAVE_TARGETS"), const_cast<char*>("UTF8_STRING"), const_cast<char*>("COPIED")};
  Atom atoms[5];
  XInternAtoms(display, names, 5, False, atoms);
  XSetSelectionOwner(display, atoms[manager], window, CurrentTime);
  XSync(display, False);
  std::string copy;
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != SelectionRequest) continue;
    XSelectionRequestEvent request = event.xselectionrequest;
    XEvent reply{};
    reply.xselection = {SelectionNotify, 0, True, display, request.requestor, request.selection, request.target,
                        None, request.time};
    if (request.selection == atoms[manager] && request.target == atoms[save_targets]) {
      if (!answering) continue;
      XConvertSelection(display, atoms[clipboard], atoms[utf8], atoms[copied], window, CurrentTime);
      XEvent notice{};
      for (int64_t deadline = now_ms() + 2000; now_ms() < deadline; pause_ms(5))
        if (XCheckTypedWindowEvent(display, window, SelectionNotify, &notice)) break;
      Atom type = None;
      int format = 0;
      unsigned long count = 0, after = 0;
      unsigned char* data = nullptr;
      if (notice.xselection.property != None &&
          XGetWindowProperty(display, window, atoms[copied], 0, 1 << 16, True, atoms[utf8], &type, &format, &count,
                             &after, &data) == Success && data) {
        copy.assign(reinterpret_cast<char*>(data), count);
        XFree(data);
        XSetSelectionOwner(display, atoms[clipboard], window, CurrentTime);
        reply.xselection.property = request.property;
      }
    } else if (request.selection == atoms[clipboard] && request.target == atoms[utf8] && !copy.empty()) {
      XChangeProperty(display, request.requestor, request.property, atoms[utf8], 8, PropModeReplace,
                      reinterpret_cast<const unsigned char*>(copy.data()), int(copy.size()));
      reply.xselection.property = request.property;
    }
    XSendEvent(display, request.requestor, False, NoEventMask, &reply);
    XFlush(display);
  }
}

}  // namespace

clipboard_manager::clipboard_manager(bool answering) {
  pid = fork();
  if (pid == 0) run_manager(answering);
  Display* display = pid > 0 ? XOpenDisplay(nullptr) : nullptr;
  if (!display) return;
  // Ready once it holds the manager selection.
  Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
  for (int64_t deadline = now_ms() + 10000; now_ms() < deadline && !ready; pause_ms(10))
    ready = XGetSelectionOwner(display, manager) != None;
  XCloseDisplay(display);
}

clipboard_manager::~clipboard_manager() {
  if (pid <= 0) return;
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}
