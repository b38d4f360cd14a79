// Request queue (keeps the requests other threads send to the window thread and the cached window metrics).
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <pthread.h>

#include <cstdlib>
#include <cstring>
#include <deque>

#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/desktop_identity.h"
#include "runtime/window/selection.h"
#include "runtime/window/window.h"
#include "runtime/window/window_wake.h"

// Queue state. Made once with new and never freed: the window thread runs exit while
// the frame thread still waits on a completion and holds pointers into it.
static std::deque<glut_message*>* const request_queue = new std::deque<glut_message*>();
static pthread_mutex_t* const request_queue_mutex = new pthread_mutex_t(PTHREAD_MUTEX_INITIALIZER);
static window_metrics_record* const window_metrics = new window_metrics_record{0, 0, 0, 0};  // under the mutex
int32_t glut_window_id = 0;
static int32_t metrics_stale = 1;  // window thread only: read the metrics on the next drain
static std::atomic<bool> window_thread_known{false};  // window_thread_id is set
static pthread_t window_thread_id;                    // the thread that created the window

completion_signal* completion_signal_new() {
  completion_signal* signal = new completion_signal;
  pthread_mutex_init(&signal->mutex, nullptr);
  pthread_cond_init(&signal->condition, nullptr);
  signal->done = 0;
  return signal;
}

void completion_signal_wait(completion_signal* signal) {
  pthread_mutex_lock(&signal->mutex);
  while (signal->done == 0) pthread_cond_wait(&signal->condition, &signal->mutex);
  pthread_mutex_unlock(&signal->mutex);
}

void completion_signal_fire(completion_signal* signal) {
  pthread_mutex_lock(&signal->mutex);
  signal->done = 1;
  pthread_cond_broadcast(&signal->condition);
  pthread_mutex_unlock(&signal->mutex);
}

void completion_signal_delete(completion_signal* signal) {
  pthread_mutex_destroy(&signal->mutex);
  pthread_cond_destroy(&signal->condition);
  delete signal;
}

glut_message::glut_message(bool with_completion) : completion(with_completion ? completion_signal_new() : nullptr) {}

glut_message::~glut_message() {
  if (completion) {
    // Never destroyed while the window thread may still touch it.
    completion_signal_wait(completion);
    completion_signal_delete(completion);
  }
}

// The requests this file builds for the request_* functions below; other threads see only
// the functions, and the tests their own requests made from glut_message.
class glut_message_exit_program : public glut_message {
 public:
  int32_t exit_code;
  explicit glut_message_exit_program(int32_t code);
  void execute() override;
};
class glut_message_set_window_title : public glut_message {
 public:
  char* title;
  explicit glut_message_set_window_title(const char* text);
  ~glut_message_set_window_title() override;
  void execute() override;
};
class glut_message_hide_window : public glut_message {
 public:
  glut_message_hide_window();
  void execute() override;
};
class glut_message_show_window : public glut_message {
 public:
  glut_message_show_window();
  void execute() override;
};
class glut_message_position_window : public glut_message {
 public:
  int32_t x, y;
  glut_message_position_window(int32_t x, int32_t y);
  void execute() override;
};
class glut_message_iconify_window : public glut_message {
 public:
  glut_message_iconify_window();
  void execute() override;
};
class glut_message_get : public glut_message {
 public:
  int32_t what;
  int32_t result;
  explicit glut_message_get(int32_t what);
  void execute() override;
};
class glut_message_warp_pointer : public glut_message {
 public:
  int32_t x, y;
  glut_message_warp_pointer(int32_t x, int32_t y);
  void execute() override;
};
class glut_message_set_cursor : public glut_message {
 public:
  int32_t cursor;
  explicit glut_message_set_cursor(int32_t cursor);
  void execute() override;
};

// The window thread's way out: the copied text goes to a clipboard manager first.
[[noreturn]] static void exit_on_window_thread(int32_t status) {
  selection_hand_over();
  std::exit(status);
}

glut_message_exit_program::glut_message_exit_program(int32_t code) : glut_message(true), exit_code(code) {}
void glut_message_exit_program::execute() { exit_on_window_thread(exit_code); }

glut_message_set_window_title::glut_message_set_window_title(const char* text)
    : glut_message(false), title(strdup(text ? text : "")) {}
glut_message_set_window_title::~glut_message_set_window_title() { std::free(title); }
void glut_message_set_window_title::execute() {
  if (!title) return;
  glutSetWindowTitle(title);
  set_window_utf8_title(glXGetCurrentDisplay(), glXGetCurrentDrawable(), title);
}

glut_message_hide_window::glut_message_hide_window() : glut_message(false) {}
void glut_message_hide_window::execute() { glutHideWindow(); }

glut_message_show_window::glut_message_show_window() : glut_message(false) {}
void glut_message_show_window::execute() { glutShowWindow(); }

glut_message_position_window::glut_message_position_window(int32_t px, int32_t py)
    : glut_message(false), x(px), y(py) {}
void glut_message_position_window::execute() { glutPositionWindow(x, y); }

glut_message_iconify_window::glut_message_iconify_window() : glut_message(false) {}
void glut_message_iconify_window::execute() { glutIconifyWindow(); }

glut_message_get::glut_message_get(int32_t w) : glut_message(true), what(w), result(0) {}
void glut_message_get::execute() { result = glutGet(static_cast<GLenum>(what)); }

glut_message_warp_pointer::glut_message_warp_pointer(int32_t px, int32_t py) : glut_message(false), x(px), y(py) {}
void glut_message_warp_pointer::execute() { glutWarpPointer(x, y); }

glut_message_set_cursor::glut_message_set_cursor(int32_t c) : glut_message(false), cursor(c) {}
void glut_message_set_cursor::execute() { glutSetCursor(cursor); }

namespace {

// Fires the sender's completion, or deletes a fire-and-forget request.
void complete_request(glut_message* request) {
  if (request->completion)
    completion_signal_fire(request->completion);
  else
    delete request;
}

}  // namespace

int send_request(glut_message* request) {
  if (window_ready.load() != 1) {
    complete_request(request);
    return 0;
  }
  pthread_mutex_lock(request_queue_mutex);
  request_queue->push_back(request);
  pthread_mutex_unlock(request_queue_mutex);
  window_wake();
  return 1;
}

int request_set_window_title(const char* text) {
  // The runtime keeps its own copy so that a window made later gets the title.
  // Earlier copies are kept: the window thread may be reading one right now.
  window_title = strdup(text ? text : "");
  if (window_ready.load() != 1) return 0;
  return send_request(new glut_message_set_window_title(text));
}

int request_show_window() {
  screen_hidden = 0;
  // The frame thread builds the shown page; the window thread, when it waits to make the window, goes on.
  screen_change_pending = 1;
  wake_all(screen_change_signal);
  return send_request(new glut_message_show_window());
}

int request_hide_window() {
  int queued = send_request(new glut_message_hide_window());
  screen_hidden = 1;
  return queued;
}

int request_position_window(int32_t x, int32_t y) { return send_request(new glut_message_position_window(x, y)); }
int request_iconify_window() { return send_request(new glut_message_iconify_window()); }
int request_warp_pointer(int32_t x, int32_t y) { return send_request(new glut_message_warp_pointer(x, y)); }
int request_set_cursor(int32_t cursor) { return send_request(new glut_message_set_cursor(cursor)); }

bool window_metric_cached(int32_t what) {
  return what == GLUT_WINDOW_X || what == GLUT_WINDOW_Y || what == GLUT_WINDOW_BORDER_WIDTH ||
         what == GLUT_WINDOW_HEADER_HEIGHT;
}

window_metrics_record window_metrics_get() {
  pthread_mutex_lock(request_queue_mutex);
  window_metrics_record copy = *window_metrics;
  pthread_mutex_unlock(request_queue_mutex);
  return copy;
}

int32_t window_get(int32_t what) {
  if (window_metric_cached(what)) {
    window_metrics_record metrics = window_metrics_get();
    switch (what) {
      case GLUT_WINDOW_X: return metrics.x;
      case GLUT_WINDOW_Y: return metrics.y;
      case GLUT_WINDOW_BORDER_WIDTH: return metrics.border_width;
      default: return metrics.header_height;
    }
  }
  glut_message_get request(what);
  send_request(&request);
  completion_signal_wait(request.completion);
  return request.result;
}

bool on_window_thread() { return window_thread_known.load() && pthread_equal(pthread_self(), window_thread_id); }

void remember_window_thread() {
  window_thread_id = pthread_self();
  window_thread_known = true;
}

void exit_process(int32_t status) {
  if (window_ready.load() == 1) {
    if (!on_window_thread()) exit_via_window(status);
    exit_on_window_thread(status);
  }
  std::exit(status);
}

void window_metrics_stale() { metrics_stale = 1; }

void drain_requests() {
  pthread_mutex_lock(request_queue_mutex);
  // Each metric is a round trip to the X server: read them only when X traffic may have
  // changed them, not on every pass.
  if (glut_window_id && metrics_stale) {
    metrics_stale = 0;
    window_metrics->x = glutGet(GLUT_WINDOW_X);
    window_metrics->y = glutGet(GLUT_WINDOW_Y);
    window_metrics->border_width = glutGet(GLUT_WINDOW_BORDER_WIDTH);
    window_metrics->header_height = glutGet(GLUT_WINDOW_HEADER_HEIGHT);
  }
  while (!request_queue->empty()) {
    glut_message* request = request_queue->front();
    request_queue->pop_front();
    request->execute();
    complete_request(request);
  }
  pthread_mutex_unlock(request_queue_mutex);
}

void exit_via_window(int32_t status) {
  if (window_ready.load() == 1) {
    // Heap-made and never freed: the window thread runs exit while this thread waits.
    glut_message_exit_program* request = new glut_message_exit_program(status);
    if (send_request(request)) completion_signal_wait(request->completion);
  }
  std::exit(status);
}
