// The shared words' storage and first values (what each means is in shared_words.h).
#include "runtime/ground/shared_words.h"

#include "runtime/ground/timers.h"

std::atomic<uint8_t> close_requested{0};
std::atomic<uint8_t> stop_all{0};
std::atomic<uint32_t> threads_done{0};
std::atomic<int32_t> threads_started{0};
std::atomic<int32_t> program_ended{0};
std::atomic<int32_t> event_pending{0};
std::atomic<uint8_t> program_suspended{0};

std::atomic<timer_slot*> timer_table{new timer_slot[1]()};
std::atomic<int32_t> timer_slot_count{1};
handshake timer_table_state;

std::atomic<int32_t> window_ready{0};
std::atomic<int32_t> screen_hidden{0};
std::atomic<int32_t> exit_request_bits{0};
std::atomic<int32_t> exit_trapped{0};
handshake exclusive_access;
std::atomic<const char*> window_title{nullptr};
std::atomic<unsigned long> message_box_owner_window{0};
std::atomic<int32_t> display_scale{1};

std::atomic<screen_image*> visual_page{nullptr};
std::atomic<int32_t> screen_is_default{0};
handshake frame_build_pause;
std::atomic<int32_t> auto_display{display_automatic};
std::atomic<int32_t> screen_change_pending{0};
wake_signal& screen_change_signal = *new wake_signal;
std::atomic<int32_t> previous_frame_valid{0};
std::atomic<int32_t> blink_enabled{1};
std::atomic<int32_t> frame_counter{0};
std::atomic<int64_t> next_frame_order{1};
std::atomic<int64_t> last_frame_order{0};
handshake frame_thread_pause;
std::atomic<int32_t> shell_running{0};

std::atomic<int32_t> fullscreen_mode{0};
std::atomic<int32_t> fullscreen_request{fullscreen_none_asked};
std::atomic<int32_t> fullscreen_smooth{0};
std::atomic<int32_t> key_hit_recording{1};
