// Terminal key thread (keeps the start of the terminal front-end, the read of keys and signals, and where each decoded key goes).
#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "runtime/console/key_ring.h"
#include "runtime/console/keyboard_table.h"
#include "runtime/console/pasted_keys.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/threads.h"
#include "runtime/terminal/key_decoder.h"
#include "runtime/terminal/terminal.h"
#include "runtime/terminal/terminal_box.h"
#include "runtime/terminal/terminal_modes.h"
#include "runtime/terminal/terminal_painter.h"

namespace {

// How long the rest of a key's sequence may take after its Escape before the Escape counts
// as the Escape key itself.
constexpr int escape_wait_ms = 25;

// The signals the key thread handles: the ones that end the process restore the terminal
// first, a stop gives it back for the time being, a resize draws anew. They stay blocked in
// every thread and are read from signal_fd, so none ever interrupts a thread or waits for
// one to come out of a system call.
const int handled_signals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT, SIGTSTP, SIGCONT, SIGWINCH};
// Faults restore the terminal in the handler itself, then go on to whoever handled them before.
const int fault_signals[] = {SIGSEGV, SIGBUS, SIGILL, SIGABRT};
struct sigaction previous_fault_actions[4];

int signal_fd = -1;  // the handled signals as they arrive; read by the key thread
uint64_t* const painter_handle = new uint64_t(0);  // zeroed handle cell, never freed
std::atomic<bool> key_thread_known{false};
pthread_t key_thread;

void on_fault(int number) {
  terminal_leave_now();
  for (size_t i = 0; i < sizeof fault_signals / sizeof fault_signals[0]; ++i)
    if (fault_signals[i] == number) sigaction(number, &previous_fault_actions[i], nullptr);
  if (number == SIGABRT) raise(number);  // a fault comes back by itself when the handler returns
}

sigset_t handled_set() {
  sigset_t set;
  sigemptyset(&set);
  for (int number : handled_signals) sigaddset(&set, number);
  return set;
}

// The terminal given back, then the signal's own ending (its status tells the shell why).
[[noreturn]] void end_by_signal(int number) {
  terminal_leave();
  signal(number, SIG_DFL);
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, number);
  pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
  raise(number);
  _exit(128 + number);
}

void handle_signal(int number) {
  switch (number) {
    case SIGWINCH:
      terminal_repaint();
      break;
    case SIGTSTP:
      // Stopped from outside (Ctrl+Z is a key here): the shell gets its terminal back
      // until the process continues.
      terminal_leave();
      kill(getpid(), SIGSTOP);
      terminal_enter();
      terminal_repaint();
      break;
    case SIGCONT:
      // The shell may have used the terminal meanwhile: take it again and draw it all.
      terminal_enter();
      terminal_repaint();
      break;
    default:
      end_by_signal(number);
  }
}

void deliver(const terminal_key& key) {
  if (terminal_box_key(key)) return;
  switch (key.kind) {
    case terminal_key_break:
      exit_request_bits.fetch_or(exit_request_break);
      terminal_painter_wake();
      break;
    case terminal_key_character:
      put_character_key(static_cast<uint8_t>(key.code), key.column);
      break;
    case terminal_key_extended:
      put_extended_key(key.code, key.column);
      break;
    case terminal_key_paste:
      put_pasted_keys(key.text, key_ring_clear_count());  // typed as it arrives
      break;
  }
}

}  // namespace

bool prepare_terminal() {
  key_thread = pthread_self();
  key_thread_known = true;
  // Blocked here, before any other thread exists: every thread inherits the mask.
  sigset_t set = handled_set();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
  signal_fd = signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK);
  if (signal_fd < 0) return false;
  if (!terminal_enter()) return false;
  terminal_painter_prepare();
  struct sigaction action {};
  sigemptyset(&action.sa_mask);
  action.sa_handler = on_fault;
  for (size_t i = 0; i < sizeof fault_signals / sizeof fault_signals[0]; ++i)
    sigaction(fault_signals[i], &action, &previous_fault_actions[i]);
  return true;
}

int terminal_error_box(const char* message, const char* title, const char* dialog_type) {
  bool key_thread_asks = key_thread_known.load() && pthread_equal(pthread_self(), key_thread);
  if (key_thread_asks || on_terminal_painter()) {
    // No box can be answered here: give the terminal back first, so the text stays on
    // the user's screen (the process ends right after).
    terminal_leave();
    std::fprintf(stderr, "%s: %s\n", title ? title : "", message ? message : "");
    return 0;
  }
  return terminal_message_box(title, message, dialog_type);
}

void run_terminal_loop() {
  start_thread(painter_handle, terminal_painter_main, nullptr);
  key_decoder decoder;
  decoder.utf8 = locale_is_utf8();
  std::vector<terminal_key> keys;
  char bytes[4096];
  for (;;) {
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {signal_fd, POLLIN, 0}};
    int ready = poll(waits, 2, key_decoder_waiting(decoder) ? escape_wait_ms : -1);
    if (ready < 0 && errno != EINTR) end_by_signal(SIGHUP);
    keys.clear();
    if (ready == 0) key_decoder_flush(&decoder, &keys);
    if (ready > 0 && (waits[1].revents & POLLIN)) {
      signalfd_siginfo arrived[8];
      ssize_t count = read(signal_fd, arrived, sizeof arrived);
      for (ssize_t i = 0; i < count / ssize_t(sizeof arrived[0]); ++i) handle_signal(int(arrived[i].ssi_signo));
    }
    if (ready > 0 && (waits[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL))) {
      ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
      // The terminal went away (the connection dropped): as a hang-up.
      if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) end_by_signal(SIGHUP);
      if (count > 0) key_decoder_feed(&decoder, bytes, static_cast<size_t>(count), &keys);
    }
    for (const terminal_key& key : keys) deliver(key);
  }
}
