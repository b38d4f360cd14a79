// The words the threads share: each declared once, with its writers, its readers and its values.
#pragma once
#include <atomic>
#include <cstdint>

#include "runtime/ground/handshake.h"
#include "runtime/ground/wake_signal.h"

// Four threads run. The program thread (P) runs the translated program and its statements;
// the window thread (W) runs the toolkit loop, its callbacks (keys, mouse, drawing) and the
// requests other threads queue for it; the frame thread (F) builds frames and leads the
// shutdown (the BIOS tick and the retrace flags are computed when read: emulated_clock.h);
// the event timer thread (T) fires BASIC timers. The frame builder runs on F, or on P when
// the program asks for a frame itself; a mutex keeps the two apart.
// In a terminal neither W nor F runs: the main thread reads the terminal's keys where W
// would, and the terminal's painter draws the page and leads the shutdown where F would.
//
// Every word below is an atomic, so reading on one thread what another wrote is never a
// data race. Unless a comment says otherwise a word orders nothing but itself: what it
// announces is either in other atomics or behind a handshake. Data that crosses threads
// outside this file (the text pages' cells, the key ring, the frame slots) says so where it
// is declared; a word that only one file's functions touch stays private to that file (the
// README's table of how the threads talk names each). A thread that must sleep until
// another has work for it waits on a wake_signal; a thread that must stop another for a
// moment uses a handshake.

struct timer_slot;
struct screen_image;

// ---- The program's life ----

extern std::atomic<uint8_t> close_requested;  // P (END, the error dialog's No, break), bumping screen_change_signal → F (in a terminal its painter), which then leads the shutdown; 0/1
extern std::atomic<uint8_t> stop_all;         // F when shutdown begins (stop_all_threads) → P's waits park, T ends; 0/1
extern std::atomic<uint32_t> threads_done;    // P and T each set their bit as they stop (mark_thread_done) → F waits for both
constexpr uint32_t program_thread_parked = 1;
constexpr uint32_t timer_thread_ended = 2;
constexpr uint32_t all_threads_done = program_thread_parked | timer_thread_ended;
extern std::atomic<int32_t> threads_started;  // runtime_main on the main thread, once P and T run → P (whether a handshake has an answerer); 0/1
extern std::atomic<int32_t> program_ended;    // P's END → P's line check (no more event traps); 0/1
extern std::atomic<int32_t> event_pending;    // any thread with news for P (an error, a timer, shutdown) → P's line check, which clears it
extern std::atomic<uint8_t> program_suspended;  // the pause toggle (no writer in this program) → P's line check waits, W skips the buffer swap

// ---- BASIC timers ----

extern std::atomic<timer_slot*> timer_table;  // P replaces it when it grows (under timer_table_state) → T scans it; never freed; slot 0 is the plain ON TIMER
extern std::atomic<int32_t> timer_slot_count;  // slots in timer_table; same sides
extern handshake timer_table_state;            // P asks before it grows the table; T answers between scans

// ---- The window ----

extern std::atomic<int32_t> window_ready;       // W, once the window and its callbacks exist → P (requests wait for it); 0/1
extern std::atomic<int32_t> screen_hidden;      // P (start hidden, show and hide; showing bumps screen_change_signal) → W (make the window later), F, the builder; 0/1
constexpr int32_t exit_request_close = 1;  // exit_request_bits: the close button
constexpr int32_t exit_request_break = 2;  // exit_request_bits: break (Ctrl+C in a terminal)
extern std::atomic<int32_t> exit_request_bits;  // W: bit 0 close button; in a terminal its key thread: bit 1 break (Ctrl+C); bumps screen_change_signal → F (the painter) leaves its loop unless trapped
extern std::atomic<int32_t> exit_trapped;       // P: the program handles exit requests itself; END clears it and bumps screen_change_signal → F
extern handshake exclusive_access;              // P asks W to stand still for a moment (request_exclusive); W answers in its idle pass
extern std::atomic<const char*> window_title;   // P (the program's title; copies are never freed) → W; null: "Untitled"
extern std::atomic<unsigned long> message_box_owner_window;  // W, the window's X id once made → the message box on any thread, which marks its boxes transient for it; 0: none
extern std::atomic<int32_t> display_scale;      // W, once before the window is made → W, the message box; window pixels per frame pixel, 1

// ---- Frames: from the page to the window ----

extern std::atomic<screen_image*> visual_page;  // P switches pages (release) → the builder (acquire): the page a frame shows
extern std::atomic<int32_t> screen_is_default;  // W's start-up, once the first screen is made → P's screen statements; 0/1
extern handshake frame_build_pause;             // P asks while a screen statement rebuilds the pages; the builder answers on entry and exit
enum display_mode : int32_t {
  display_one_frame = -1,  // manual, and one frame asked for: the builder turns it into display_manual
  display_manual = 0,      // frames only when asked for
  display_automatic = 1,   // a frame whenever the page changes
};
extern std::atomic<int32_t> auto_display;       // P (INPUT, END, display statements): a display_mode, bumping screen_change_signal → F, the builder, which answers display_one_frame
extern std::atomic<int32_t> screen_change_pending;  // P's statements set 1 on a change of the visual page → the builder clears it when it looks
extern wake_signal& screen_change_signal;       // any thread with news for F: P with screen_change_pending and the words that say so here → F sleeps on it between frames (W too while it waits to make a hidden window; in a terminal the painter); never freed
extern std::atomic<int32_t> previous_frame_valid;  // P (new geometry) and W (Alt+Enter) set 0, then note a screen change → the builder paints in full, then sets 1
extern std::atomic<int32_t> blink_enabled;      // P (no writer in this program), noting a screen change → the builder: 1, attribute bit 7 blinks
extern std::atomic<int32_t> frame_counter;      // F, from the clock before each frame it offers (frame_count_at: one offer per 32 ms) → the builder; bit 3 is the blink phase
extern std::atomic<int64_t> next_frame_order;   // the builder (F or P, under its mutex): order of the next frame, from 1
extern std::atomic<int64_t> last_frame_order;   // the builder: the frame last finished or given back → the builder's next base
extern handshake frame_thread_pause;            // another thread (none in this program) asks F to stand still and bumps screen_change_signal; F answers between frames, and sets held itself when it leaves its loop
extern std::atomic<int32_t> shell_running;      // P, 1 while an external command runs, bumping screen_change_signal → F answers -1 and idles

// ---- Full screen and the keyboard ----

enum fullscreen_state : int32_t {
  fullscreen_none_asked = -1,    // fullscreen_request only: nothing to switch to
  fullscreen_windowed = 0,
  fullscreen_stretched = 1,      // the frame fills the screen
  fullscreen_square_pixels = 2,  // the frame at its aspect, black bars beside it
};
extern std::atomic<int32_t> fullscreen_mode;     // W's presenter: a fullscreen_state → W's Alt+Enter
extern std::atomic<int32_t> fullscreen_request;  // W's Alt+Enter or P: the mode to switch to → W's presenter, which sets fullscreen_none_asked
extern std::atomic<int32_t> fullscreen_smooth;   // W's Alt+Enter or P: linear filtering in full screen → W's presenter; 0/1
extern std::atomic<int32_t> key_hit_recording;   // P (no writer in this program) → W: 0 switches the key-hit queue and traps off
