// Window thread (keeps window creation, the close button, its one wait and the GLUT loop).
#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xlibint.h>
#include <poll.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "runtime/ground/process_exit.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/threads.h"
#include "runtime/window/display_scale.h"
#include "runtime/window/frame_presenter.h"
#include "runtime/window/keyboard.h"
#include "runtime/window/keypad_decimal.h"
#include "runtime/window/message_box.h"
#include "runtime/window/selection.h"
#include "runtime/window/textures.h"
#include "runtime/window/window.h"
#include "runtime/window/window_accessibility.h"
#include "runtime/window/window_identity.h"
#include "runtime/window/window_wake.h"

namespace {

uint64_t* const frame_thread_handle = new uint64_t(0);  // zeroed handle cell, never freed

Display* toolkit_display = nullptr;   // the toolkit's connection, for the wait
int64_t metrics_marked_ms = 0;        // when the cached metrics were last marked stale by time

// Close-button interception (window thread only).
Atom wm_protocols_atom = 0;
Atom wm_delete_window_atom = 0;
Bool (*previous_client_message_converter)(Display*, XEvent*, xEvent*) = nullptr;

std::atomic<bool> toolkit_starting{false};  // glutInit runs: a toolkit error there is fatal

void ignore_toolkit_message(const char*, va_list) {}

// Toolkit errors are silent once the window exists. During glutInit the toolkit carries
// on after its error handler returns and crashes on the display it could not open, so
// an error there ends the process the way a missing display does.
void toolkit_error(const char* format, va_list arguments) {
  if (!toolkit_starting) return;
  std::fputs("brightness: ", stderr);
  std::vfprintf(stderr, format, arguments);
  std::fputc('\n', stderr);
  std::exit(exit_status_no_display_mode);
}

void motion_ignored(int, int) {}
void wheel_ignored(int, int, int, int) {}

void pointer_entry(int state) {
  if (state == GLUT_LEFT) release_held_modifiers();
}

// Stock freeglut destroys the window when the window manager's delete message
// arrives, whatever the close action says. Catching the message as Xlib converts
// it keeps the window: the close button only sets bit 0 of exit_request_bits.
Bool convert_client_message(Display* display, XEvent* event, xEvent* wire) {
  Bool keep = previous_client_message_converter ? previous_client_message_converter(display, event, wire) : True;
  if (keep && event->type == ClientMessage && event->xclient.message_type == wm_protocols_atom &&
      static_cast<Atom>(event->xclient.data.l[0]) == wm_delete_window_atom) {
    window_close_requested();
    return False;  // dropped: the toolkit never sees it
  }
  return keep;
}

void intercept_close_button() {
  Display* display = glXGetCurrentDisplay();
  if (!display) return;
  wm_protocols_atom = XInternAtom(display, "WM_PROTOCOLS", False);
  wm_delete_window_atom = XInternAtom(display, "WM_DELETE_WINDOW", False);
  // XESetWireToEvent takes the display lock itself.
  previous_client_message_converter = XESetWireToEvent(display, ClientMessage, convert_client_message);
}

// glutInit with the do-nothing error handler crashes without a display; check first.
// The caller keeps the probe connection open until the toolkit has its own: when the
// probe was a server's only client, closing it lets the server reset and refuse the
// toolkit's connection for a moment.
Display* require_display() {
  Display* display = XOpenDisplay(nullptr);
  if (display) return display;
  const char* name = std::getenv("DISPLAY");
  if (name && *name)
    std::fprintf(stderr, "brightness: cannot open X display %s\n", name);
  else
    std::fprintf(stderr, "brightness: cannot open X display\n");
  std::exit(exit_status_no_display_mode);
}

}  // namespace

void window_close_requested() {
  exit_request_bits.fetch_or(exit_request_close);
  wake_all(screen_change_signal);  // the frame thread acts on it now
}

void create_window(int argc, char** argv) {
  remember_window_thread();
  window_wake_startup();
  glutInitWarningFunc(ignore_toolkit_message);
  glutInitErrorFunc(toolkit_error);
  Display* probe = require_display();
  // The start-up text screen's frame: 80 x 25 cells of 8 x 16 pixels.
  const int32_t frame_w = 640, frame_h = 400;
  display_scale_startup(probe, frame_w, frame_h);
  int toolkit_argc = argc;
  toolkit_starting = true;
  glutInit(&toolkit_argc, argv);
  toolkit_starting = false;
  XCloseDisplay(probe);
  glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
  glutInitWindowSize(frame_w * display_scale.load(), frame_h * display_scale.load());
  if (glutGet(GLUT_DISPLAY_MODE_POSSIBLE) == 0) std::exit(exit_status_no_display_mode);
  glutSetOption(GLUT_ACTION_ON_WINDOW_CLOSE, GLUT_ACTION_CONTINUE_EXECUTION);
  const char* title = window_title.load();
  identify_next_window(title ? title : "Untitled");
  glut_window_id = glutCreateWindow(title ? title : "Untitled");
  finish_window_identity(glXGetCurrentDisplay(), glXGetCurrentDrawable());
  message_box_owner_window = glXGetCurrentDrawable();  // error boxes stay above the program's window
  toolkit_display = glXGetCurrentDisplay();
  GLenum glew_status = glewInit();
  if (glew_status != GLEW_OK) alert("%s", reinterpret_cast<const char*>(glewGetErrorString(glew_status)));
  if (glewIsSupported("GL_EXT_framebuffer_object")) framebuffer_objects = 1;

  glutDisplayFunc(present_frame);
  glutIdleFunc(window_idle);
  glutKeyboardFunc(selection_key);
  glutKeyboardUpFunc(selection_key_up);
  glutSpecialFunc(selection_special);
  glutSpecialUpFunc(selection_special_up);
  glutMouseFunc(selection_mouse);
  glutMotionFunc(selection_drag);
  glutPassiveMotionFunc(motion_ignored);
  glutReshapeFunc(window_reshaped);
  glutMouseWheelFunc(wheel_ignored);
  glutEntryFunc(pointer_entry);
  glutCloseFunc(window_close_requested);
  intercept_close_button();
  selection_install(toolkit_display, glXGetCurrentDrawable());
  keypad_decimal_install(toolkit_display);
  // Screen readers come last: their bridge opens a connection of its own to the display.
  window_accessibility_open(toolkit_display, glXGetCurrentDrawable());
}

void prepare_window(int argc, char** argv) {
  if (screen_hidden) return;  // made when the program first shows its screen
  create_window(argc, argv);
  window_ready = 1;
}

void run_window_loop(int argc, char** argv) {
  start_thread(frame_thread_handle, frame_thread_main, nullptr);
  if (window_ready.load() != 1) {
    // Showing the screen bumps the frame thread's signal; this thread sleeps on it too.
    for (;;) {
      uint32_t ticket = wake_ticket(screen_change_signal);
      if (!screen_hidden) break;
      wake_wait(screen_change_signal, ticket, -1);
    }
    create_window(argc, argv);
    window_ready = 1;
  }
  glutMainLoop();
  std::exit(exit_status_orderly);
}

namespace {

// The one place the window thread waits: until X sends something or another thread wakes it
// (a new frame, a request, a selection event, request_exclusive). Unlike a loop that sleeps
// a pass and then looks, it has no timeout: a pass of sleep would add lag to every key and
// frame, and a look 60 times a second costs power while nothing happens.
void wait_for_window_work() {
  // Without the wake descriptor (it could not be made) nothing could end a wait without
  // a timeout: then the wait is one pass at most, as the toolkit's loop would have it.
  constexpr int fallback_pass_ms = 16;
  int wake_fd = window_wake_descriptor();
  int timeout_ms = wake_fd >= 0 ? -1 : fallback_pass_ms;
  if (!toolkit_display) {
    sleep_ms(fallback_pass_ms);  // never so: the loop runs once the window exists
    return;
  }
  // Send what Xlib still buffers, so the server has everything before we sleep. Events
  // already read from the socket (by Xlib, or by XCB while GL waited for a reply) would
  // not wake the poll: ask for them first, reading without blocking.
  XFlush(toolkit_display);
  if (XEventsQueued(toolkit_display, QueuedAfterReading) > 0) {
    window_metrics_stale();
    return;
  }
  pollfd waits[2] = {{ConnectionNumber(toolkit_display), POLLIN, 0}, {wake_fd, POLLIN, 0}};
  int ready = poll(waits, wake_fd >= 0 ? 2 : 1, timeout_ms);
  if (ready <= 0) return;
  if (waits[0].revents) window_metrics_stale();  // the window may have moved
  if (waits[1].revents & POLLIN) window_wake_consume();
}

}  // namespace

void window_idle() {
  // The cached metrics follow X traffic; read them anyway when a pass comes a second or
  // more after the last such read.
  int64_t now = monotonic_ms();
  if (now - metrics_marked_ms >= 1000) {
    metrics_marked_ms = now;
    window_metrics_stale();
  }
  drain_requests();
  window_accessibility_pass();
  selection_serve();
  keypad_decimal_serve();
  if (handshake_answer(exclusive_access)) handshake_hold(exclusive_access);
  // The display callback runs before the next idle pass: do not wait then.
  if (presentation_due()) {
    glutPostRedisplay();
    return;
  }
  wait_for_window_work();
}

void request_exclusive() {
  // Without a window loop nobody would ever grant the request.
  if (window_ready.load() != 1) return;
  handshake_ask(exclusive_access);
  window_wake();
  handshake_wait_held(exclusive_access, 1, nullptr);
}

void release_exclusive() { handshake_release(exclusive_access); }
