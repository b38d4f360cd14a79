// A clipboard manager for the tests that does only the freedesktop hand-over (SAVE_TARGETS), in a child process.
#include "support/clipboard_manager.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include "support/wait_clock.h"

namespace {

struct saved_target {
  Atom type;
  int format;
  std::vector<unsigned char> bytes;
};

// Waits up to two seconds for the answer to our own conversion.
bool wait_notify(Display* display, Window window, XEvent* notice) {
  for (int64_t deadline = now_ms() + 2000; now_ms() < deadline; pause_ms(5))
    if (XCheckTypedWindowEvent(display, window, SelectionNotify, notice)) return true;
  return false;
}

void reply(Display* display, const XSelectionRequestEvent& request, Atom property) {
  XEvent notice{};
  notice.xselection.type = SelectionNotify;
  notice.xselection.requestor = request.requestor;
  notice.xselection.selection = request.selection;
  notice.xselection.target = request.target;
  notice.xselection.time = request.time;
  notice.xselection.property = property;
  XSendEvent(display, request.requestor, False, NoEventMask, &notice);
  XFlush(display);
}

// The protocol's manager side: the owner's property lists the targets; each is converted
// from CLIPBOARD, the clipboard is taken over, and only then the SAVE_TARGETS request is
// answered. `answering` false: the manager holds the selection but never answers.
[[noreturn]] void run_manager(bool answering) {
  Display* display = XOpenDisplay(nullptr);
  if (!display) _exit(1);
  Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
  Atom manager = XInternAtom(display, "CLIPBOARD_MANAGER", False);
  Atom clipboard = XInternAtom(display, "CLIPBOARD", False);
  Atom save_targets = XInternAtom(display, "SAVE_TARGETS", False);
  Atom targets = XInternAtom(display, "TARGETS", False);
  Atom incoming = XInternAtom(display, "TEST_MANAGER_DATA", False);
  XSetSelectionOwner(display, manager, window, CurrentTime);
  XSync(display, False);
  std::map<Atom, saved_target> saved;
  for (;;) {
    XEvent event;
    XNextEvent(display, &event);
    if (event.type != SelectionRequest) continue;
    const XSelectionRequestEvent request = event.xselectionrequest;
    if (request.selection == manager && request.target == save_targets && answering) {
      Atom type = None;
      int format = 0;
      unsigned long count = 0, after = 0;
      unsigned char* data = nullptr;
      std::vector<Atom> wanted;
      if (XGetWindowProperty(display, request.requestor, request.property, 0, 64, False, XA_ATOM, &type, &format,
                             &count, &after, &data) == Success && data) {
        for (unsigned long i = 0; i < count; ++i) wanted.push_back(reinterpret_cast<Atom*>(data)[i]);
        XFree(data);
      }
      saved.clear();
      for (Atom target : wanted) {
        XConvertSelection(display, clipboard, target, incoming, window, CurrentTime);
        XEvent notice;
        if (!wait_notify(display, window, &notice) || notice.xselection.property == None) continue;
        data = nullptr;
        if (XGetWindowProperty(display, window, incoming, 0, 1 << 16, True, AnyPropertyType, &type, &format, &count,
                               &after, &data) == Success && data) {
          saved[target] = {type, format, std::vector<unsigned char>(data, data + count * (format / 8))};
          XFree(data);
        }
      }
      if (!saved.empty()) XSetSelectionOwner(display, clipboard, window, CurrentTime);
      reply(display, request, saved.empty() ? None : request.property);
    } else if (request.selection == clipboard && request.target == targets) {
      std::vector<Atom> list{targets};
      for (auto& entry : saved) list.push_back(entry.first);
      XChangeProperty(display, request.requestor, request.property, XA_ATOM, 32, PropModeReplace,
                      reinterpret_cast<unsigned char*>(list.data()), int(list.size()));
      reply(display, request, request.property);
    } else if (request.selection == clipboard && saved.count(request.target)) {
      const saved_target& kept = saved[request.target];
      XChangeProperty(display, request.requestor, request.property, kept.type, kept.format, PropModeReplace,
                      kept.bytes.data(), int(kept.bytes.size() / (kept.format / 8)));
      reply(display, request, request.property);
    } else if (answering || request.selection != manager) {
      reply(display, request, None);
    }
  }
}

}  // namespace

clipboard_manager::clipboard_manager(bool answering) {
  pid = fork();
  if (pid == 0) run_manager(answering);
  if (pid < 0) return;
  // Ready once it holds the manager selection.
  Display* display = XOpenDisplay(nullptr);
  if (!display) return;
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
