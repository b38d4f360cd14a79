// Accessibility thread (keeps the mailbox other threads hand the screen over in, and the GLib loop that serves the accessible tree).
#include "runtime/window/accessibility_thread.h"

#include <atk-bridge.h>
#include <glib.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "runtime/console/code_page.h"
#include "runtime/ground/threads.h"
#include "runtime/window/desktop_identity.h"

namespace {

// A screen reader needs no more than about 20 updates of the text a second; pages that
// come faster are taken together.
constexpr gint64 page_gap_us = 50000;

// 1 while the thread runs or starts, 0 before, with NO_AT_BRIDGE=1 and once it found no
// bus: then nothing is handed over.
std::atomic<int32_t> handing_over{0};
std::atomic<int32_t> next_alert_id{1};
uint64_t* const accessibility_thread_handle = new uint64_t(0);  // zeroed handle cell, never freed

// Focus and message box news, kept in the order they happened.
struct mailbox_event {
  enum kind_type { focus, alert_open, alert_focus, alert_close } kind;
  explicit mailbox_event(kind_type k) : kind(k) {}
  bool focused = false;  // focus
  int32_t id = 0;        // the alert
  int32_t button = 0;    // alert_focus
  alert_contents alert;  // alert_open
};

// A page as the frame builder hands it over: character and attribute bytes, the cursor cell,
// the size of a cell on screen.
struct page_mail {
  std::vector<uint8_t> cells;
  int32_t columns = 0, rows = 0, cursor_x = -1, cursor_y = -1, cell_width = 8, cell_height = 16;
};

// What the other threads hand over; the accessibility thread takes it out under the lock.
// Made once and never freed: other threads may publish while the process ends.
struct mailbox {
  std::mutex lock;
  bool delivery_due = false;  // a delivery is scheduled on the accessibility thread
  // The newest page, whether the thread has taken it, and what it was taken with.
  page_mail page;
  bool page_new = false;
  window_geometry window;
  std::string title;  // as the program set it
  bool window_new = false;
  std::vector<mailbox_event> events;
};
mailbox& mail = *new mailbox;

gint64 last_page_us = 0;  // accessibility thread: when the tree last got a page

gboolean deliver(gpointer);

// Makes sure a delivery comes (the lock held); g_idle_add may be called from any thread.
void deliver_soon() {
  if (mail.delivery_due) return;
  mail.delivery_due = true;
  g_idle_add(deliver, nullptr);
}

// Hands the mail to the tree: the window's place first, then the page, then focus and
// message box news in order.
gboolean deliver(gpointer) {
  gint64 now = g_get_monotonic_time();
  bool window_new = false, page_new = false;
  window_geometry window;
  std::string title;
  page_mail page;
  std::vector<mailbox_event> events;
  {
    std::lock_guard<std::mutex> hold(mail.lock);
    if (mail.window_new) {
      window_new = true;
      window = mail.window;
      title = mail.title;
      mail.window_new = false;
    }
    if (mail.page_new && now - last_page_us >= page_gap_us) {
      page_new = true;
      page = mail.page;
      mail.page_new = false;
    }
    events.swap(mail.events);
    if (mail.page_new) {  // too soon after the last page: this one comes with the next delivery
      guint wait_ms = guint((last_page_us + page_gap_us - now) / 1000) + 1;
      g_timeout_add(wait_ms, deliver, nullptr);
    } else {
      mail.delivery_due = false;
    }
  }
  if (window_new) accessible_tree_place_window(window, desktop_title_text(title.c_str()));
  if (page_new) {
    last_page_us = now;
    accessible_tree_show_page(page_from_cells(page.cells.data(), page.columns, page.rows, page.cursor_x, page.cursor_y),
                              page.cell_width, page.cell_height);
  }
  for (const mailbox_event& event : events) {
    switch (event.kind) {
      case mailbox_event::focus: accessible_tree_focus(event.focused); break;
      case mailbox_event::alert_open: accessible_tree_open_alert(event.id, event.alert); break;
      case mailbox_event::alert_focus: accessible_tree_focus_alert_button(event.id, event.button); break;
      case mailbox_event::alert_close: accessible_tree_close_alert(event.id); break;
    }
  }
  return G_SOURCE_REMOVE;
}

void post(mailbox_event&& event) {
  std::lock_guard<std::mutex> hold(mail.lock);
  mail.events.push_back(std::move(event));
  deliver_soon();
}

// The bridge and GLib report a missing bus or registry as warnings on stderr. They are no
// fault of the program, which runs as before without a screen reader: say nothing.
GLogWriterOutput write_no_log(GLogLevelFlags, const GLogField*, gsize, gpointer) { return G_LOG_WRITER_HANDLED; }

void* accessibility_thread_main(void*) {
  g_log_set_writer_func(write_no_log, nullptr, nullptr);
  accessible_tree_make(desktop_program_name());
  deliver(nullptr);  // clients that come at once find the window's title and focus
  // The bridge dispatches its connection on the default main context, which this thread
  // alone runs; it never parses the program's command line.
  if (atk_bridge_adaptor_init(nullptr, nullptr) != 0) {
    handing_over = 0;  // no bus to serve on
    return nullptr;
  }
  g_main_loop_run(g_main_loop_new(nullptr, FALSE));
  return nullptr;
}

}  // namespace

bool accessibility_open() {
  const char* disabled = std::getenv("NO_AT_BRIDGE");
  if (disabled && std::atoi(disabled) == 1) return false;
  handing_over = 1;
  return true;
}

void accessibility_start() { start_thread(accessibility_thread_handle, accessibility_thread_main, nullptr); }

bool accessibility_running() { return handing_over.load() != 0; }

void accessibility_publish_page(const uint8_t* cells, int32_t columns, int32_t rows, int32_t cursor_x,
                                int32_t cursor_y, int32_t cell_width, int32_t cell_height) {
  if (!accessibility_running() || columns <= 0 || rows <= 0) return;
  size_t bytes = size_t(columns) * size_t(rows) * 2;
  std::lock_guard<std::mutex> hold(mail.lock);
  page_mail& page = mail.page;
  if (columns == page.columns && rows == page.rows && cursor_x == page.cursor_x && cursor_y == page.cursor_y &&
      cell_width == page.cell_width && cell_height == page.cell_height && bytes == page.cells.size() &&
      std::memcmp(cells, page.cells.data(), bytes) == 0)
    return;  // a frame for the blinking cursor: the text is the same
  page.cells.assign(cells, cells + bytes);
  page.columns = columns;
  page.rows = rows;
  page.cursor_x = cursor_x;
  page.cursor_y = cursor_y;
  page.cell_width = cell_width;
  page.cell_height = cell_height;
  mail.page_new = true;
  deliver_soon();
}

void accessibility_publish_window(const window_geometry& geometry, const char* title) {
  if (!accessibility_running()) return;
  if (!title) title = "";
  std::lock_guard<std::mutex> hold(mail.lock);
  if (geometry == mail.window && mail.title == title) return;
  mail.window = geometry;
  mail.title = title;
  mail.window_new = true;
  deliver_soon();
}

void accessibility_publish_focus(bool focused) {
  if (!accessibility_running()) return;
  mailbox_event event(mailbox_event::focus);
  event.focused = focused;
  post(std::move(event));
}

int32_t accessibility_alert_opened(const char* title, const std::vector<std::string>& lines,
                                   const std::vector<const char*>& buttons, int32_t focused_button, int32_t x,
                                   int32_t y, int32_t width, int32_t height) {
  if (!accessibility_running()) return 0;
  mailbox_event event(mailbox_event::alert_open);
  event.id = next_alert_id++;
  alert_contents& alert = event.alert;
  alert.title = desktop_title_text(title);
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i > 0) alert.message += '\n';
    alert.message += code_page_437_to_utf8(reinterpret_cast<const uint8_t*>(lines[i].data()), lines[i].size());
  }
  for (const char* label : buttons) alert.buttons.push_back(label);
  alert.focused_button = focused_button;
  alert.x = x;
  alert.y = y;
  alert.width = width;
  alert.height = height;
  int32_t id = event.id;
  post(std::move(event));
  return id;
}

void accessibility_alert_focus(int32_t id, int32_t button) {
  if (!accessibility_running() || id == 0) return;
  mailbox_event event(mailbox_event::alert_focus);
  event.id = id;
  event.button = button;
  post(std::move(event));
}

void accessibility_alert_closed(int32_t id) {
  if (!accessibility_running() || id == 0) return;
  mailbox_event event(mailbox_event::alert_close);
  event.id = id;
  post(std::move(event));
}
