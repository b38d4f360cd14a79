// Request queue: send order across threads, completion of refused requests, cached metrics, completion signals.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/window/window.h"

namespace {

std::mutex record_mutex;
std::vector<int> executed;            // ids in execution order
std::atomic<int> deleted_requests{0};

// A request that only records that it ran; the window thread's GLUT is not needed.
class recording_request : public glut_message {
 public:
  int id;
  recording_request(int request_id, bool with_completion) : glut_message(with_completion), id(request_id) {}
  ~recording_request() override { ++deleted_requests; }
  void execute() override {
    std::lock_guard<std::mutex> lock(record_mutex);
    executed.push_back(id);
  }
};

void reset() {
  drain_requests();
  std::lock_guard<std::mutex> lock(record_mutex);
  executed.clear();
  deleted_requests = 0;
}

TEST(RequestQueue, RefusedWhileNoWindowAndCompletedAtOnce) {
  window_ready = 0;
  reset();
  EXPECT_EQ(send_request(new recording_request(1, false)), 0);
  EXPECT_EQ(deleted_requests.load(), 1);  // fire-and-forget request deleted unexecuted
  recording_request waited(2, true);
  EXPECT_EQ(send_request(&waited), 0);
  EXPECT_EQ(waited.completion->done, 1);  // the sender's wait returns at once
  drain_requests();
  EXPECT_TRUE(executed.empty());
  EXPECT_EQ(window_get(200), 0);  // a value request without a window yields 0
}

TEST(RequestQueue, RequestsFromSeveralThreadsRunInSendOrder) {
  window_ready = 1;
  reset();
  constexpr int threads = 4, per_thread = 50;
  std::atomic<int> ticket{0};
  std::mutex send_mutex;
  std::vector<int> sent;
  std::vector<std::thread> senders;
  for (int t = 0; t < threads; ++t) {
    senders.emplace_back([&] {
      for (int i = 0; i < per_thread; ++i) {
        // Ticket and send under one lock so that `sent` is the true send order.
        std::lock_guard<std::mutex> lock(send_mutex);
        int id = ticket++;
        EXPECT_EQ(send_request(new recording_request(id, false)), 1);
        sent.push_back(id);
      }
    });
  }
  // Drain concurrently, as the window thread's idle callback would.
  std::atomic<bool> senders_done{false};
  std::thread window([&] {
    while (!senders_done) {
      drain_requests();
      sleep_ms(1);
    }
    drain_requests();
  });
  for (std::thread& s : senders) s.join();
  senders_done = true;
  window.join();
  EXPECT_EQ(executed, sent);
  EXPECT_EQ(deleted_requests.load(), threads * per_thread);
  window_ready = 0;
}

TEST(RequestQueue, SenderWithCompletionWaitsForTheWindowThread) {
  window_ready = 1;
  reset();
  std::atomic<bool> returned{false};
  std::thread sender([&] {
    recording_request request(7, true);
    send_request(&request);
    completion_signal_wait(request.completion);
    returned = true;
  });  // the destructor waits too, so the request is never freed under the window thread
  sleep_ms(50);
  EXPECT_FALSE(returned.load());
  for (int i = 0; i < 1000 && !returned; ++i) {
    drain_requests();
    sleep_ms(2);
  }
  sender.join();
  EXPECT_TRUE(returned.load());
  EXPECT_EQ(executed, std::vector<int>{7});
  window_ready = 0;
}

TEST(RequestQueue, CachedMetricsQueueNothing) {
  window_ready = 1;
  reset();
  for (int32_t what : {100, 101, 506, 507}) {
    EXPECT_TRUE(window_metric_cached(what));
    EXPECT_EQ(window_get(what), 0);  // returns at once: nobody drains here
  }
  EXPECT_FALSE(window_metric_cached(200));
  EXPECT_FALSE(window_metric_cached(102));
  window_ready = 0;
}

TEST(RequestQueue, BuildersUpdateHiddenFlagAndTitleCopy) {
  window_ready = 0;
  screen_hidden = 0;
  EXPECT_EQ(request_hide_window(), 0);
  EXPECT_EQ(screen_hidden.load(), 1);
  EXPECT_EQ(request_show_window(), 0);
  EXPECT_EQ(screen_hidden.load(), 0);
  EXPECT_EQ(request_set_window_title("Rechner"), 0);
  EXPECT_STREQ(window_title.load(), "Rechner");
}

TEST(CompletionSignal, FiredBeforeWaitIsNotLost) {
  completion_signal* signal = completion_signal_new();
  completion_signal_fire(signal);
  completion_signal_wait(signal);
  EXPECT_EQ(signal->done, 1);
  completion_signal_delete(signal);
}

TEST(CompletionSignal, WakesAWaitingThread) {
  completion_signal* signal = completion_signal_new();
  std::atomic<bool> woke{false};
  std::thread waiter([&] {
    completion_signal_wait(signal);
    woke = true;
  });
  completion_signal_fire(signal);
  waiter.join();
  EXPECT_TRUE(woke.load());
  completion_signal_delete(signal);
}

}  // namespace
