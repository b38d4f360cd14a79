// The window thread: window creation, the GLUT loop, the request queue and the frame thread.
#pragma once
#include <pthread.h>

#include <cstdint>

// One-shot event that one thread (the sender of a request) waits on and another (the
// window thread, when the request has run) fires.
struct completion_signal {
  pthread_mutex_t mutex;      // guards done
  pthread_cond_t condition;   // broadcast when done becomes 1
  int32_t done;               // 1 once fired
};
completion_signal* completion_signal_new();
void completion_signal_wait(completion_signal* signal);
void completion_signal_fire(completion_signal* signal);
void completion_signal_delete(completion_signal* signal);

// A request the window thread carries out for another thread.
class glut_message {
 public:
  completion_signal* completion;
  explicit glut_message(bool with_completion);
  virtual ~glut_message();
  virtual void execute() = 0;
};

int send_request(glut_message* request);
int request_set_window_title(const char* text);
int request_show_window();
int request_hide_window();
int request_position_window(int32_t x, int32_t y);
int request_iconify_window();
int request_warp_pointer(int32_t x, int32_t y);
int request_set_cursor(int32_t cursor);
int32_t window_get(int32_t what);
// Ends the process from any thread. With a window, a thread other than the window thread
// hands the exit to the window thread (exit while it is inside OpenGL crashes the driver).
[[noreturn]] void exit_process(int32_t status);
[[noreturn]] void exit_via_window(int32_t status);
bool on_window_thread();
void remember_window_thread();  // called by the window thread before it makes the window
void request_exclusive();
void release_exclusive();

// Window side of start-up (window thread).
void create_window(int argc, char** argv);
void prepare_window(int argc, char** argv);
[[noreturn]] void run_window_loop(int argc, char** argv);
void window_idle();
void drain_requests();
void window_close_requested();
// The cached window metrics are read again on the next drain_requests (window thread).
void window_metrics_stale();

extern int32_t glut_window_id;  // window thread only: the GLUT window, 0 before it exists

// The four window metrics, cached by the window thread and read without waiting.
struct window_metrics_record {
  int32_t x, y, border_width, header_height;
};
window_metrics_record window_metrics_get();
// True for the enumerants window_get answers from the cache.
bool window_metric_cached(int32_t what);
// The frame thread: frames and the orderly shutdown.
void* frame_thread_main(void* unused);
