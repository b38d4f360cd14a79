// Terminal key thread (keeps the start of the terminal front-end, the read of keys and signals, and where each decoded key goes).
#include <errno.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <vector>

#include "runtime/console/key_ring.h"
#include "runtime/console/keyboard_table.h"
#include "runtime/console/pasted_keys.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/ground/stop_signal.h"
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

// Standard input has one reader at a time: the key thread, or the program thread while it
// waits for a key, so that a key's echo needs no wake-up of a second thread on its way. The
// turn passes without waking the key thread: standard input leaves and rejoins its wait set.
struct key_reading {
  std::mutex mutex;                // held while keys are read, decoded and delivered, and while the turn passes
  key_decoder decoder;             // the sequence read so far
  std::vector<terminal_key> keys;  // decoded, not yet delivered
  bool program_reads = false;      // the program thread has the turn
  std::atomic<bool> input_gone{false};  // a read failed for good: the key thread ends the process
  int wait_fd = -1;                // epoll: the key thread's one wait (signals, turn_fd, standard input in its turn)
  int turn_fd = -1;                // eventfd: the turn came back with an Escape whose wait must be timed
};
key_reading& reading = *new key_reading;  // never freed: either reader may run while exit does

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

// Reads what standard input has now, decodes it and delivers the keys (after a wait that
// timed out, flushes a lone Escape instead). Does nothing when the other reader has the
// turn, or nothing waits to be read. False when the terminal went away.
bool take_keys(bool program_thread, bool timed_out) {
  std::lock_guard<std::mutex> hold(reading.mutex);
  if (reading.program_reads != program_thread) return true;
  reading.keys.clear();
  if (timed_out) {
    key_decoder_flush(&reading.decoder, &reading.keys);
  } else {
    // The key thread may have been woken by bytes that the program thread read in its turn:
    // a read with nothing to read would block, and hold the signals back. (The program
    // thread reads only what its own poll, in its turn, found.)
    pollfd input{STDIN_FILENO, POLLIN, 0};
    if (!program_thread && poll(&input, 1, 0) <= 0) return true;
    char bytes[4096];
    ssize_t count = read(STDIN_FILENO, bytes, sizeof bytes);
    // The terminal went away (the connection dropped).
    if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) {
      reading.input_gone = true;
      return false;
    }
    if (count > 0) key_decoder_feed(&reading.decoder, bytes, static_cast<size_t>(count), &reading.keys);
  }
  for (const terminal_key& key : reading.keys) deliver(key);
  return true;
}

// How long a reader may wait for input: until the rest of a sequence is overdue, or as long
// as `timeout_ms` says (negative: no limit).
int32_t reading_wait_ms(int32_t timeout_ms) {
  std::lock_guard<std::mutex> hold(reading.mutex);
  if (!key_decoder_waiting(reading.decoder)) return timeout_ms;
  return timeout_ms < 0 || timeout_ms > escape_wait_ms ? escape_wait_ms : timeout_ms;
}

// Standard input joins or leaves the key thread's wait set. Input already waiting when it
// joins wakes the key thread at once.
void watch_input(bool on) {
  epoll_event input{};
  input.events = EPOLLIN;
  input.data.fd = STDIN_FILENO;
  epoll_ctl(reading.wait_fd, on ? EPOLL_CTL_ADD : EPOLL_CTL_DEL, STDIN_FILENO, &input);
}

void give_turn(bool to_program) {
  std::lock_guard<std::mutex> hold(reading.mutex);
  reading.program_reads = to_program;
  watch_input(!to_program);
  if (!to_program && key_decoder_waiting(reading.decoder)) {
    uint64_t one = 1;
    ssize_t ignored = write(reading.turn_fd, &one, sizeof one);
    (void)ignored;
  }
}

// The program thread waiting for a key reads the terminal itself; the key thread keeps the
// signals, and reads again as soon as the wait ends.
void program_thread_reads_keys(int32_t timeout_ms) {
  if (reading.input_gone.load()) {
    // Nothing more to read: wait for the end the key thread is making.
    pollfd stop{stop_all_descriptor(), POLLIN, 0};
    poll(&stop, 1, timeout_ms);
    return;
  }
  give_turn(true);
  int64_t deadline = timeout_ms < 0 ? -1 : monotonic_ms() + timeout_ms;
  // Keys the key thread delivered before the turn passed are in the ring by now.
  while (bios_key_count() == 0 && !stop_all.load()) {
    int32_t left = deadline < 0 ? -1 : static_cast<int32_t>(deadline - monotonic_ms());
    if (deadline >= 0 && left <= 0) break;
    pollfd waits[2] = {{STDIN_FILENO, POLLIN, 0}, {stop_all_descriptor(), POLLIN, 0}};
    int32_t wait_ms = reading_wait_ms(left);
    int ready = poll(waits, 2, wait_ms);
    if (ready < 0 && errno != EINTR) break;
    bool input = ready > 0 && (waits[0].revents & (POLLIN | POLLHUP | POLLERR | POLLNVAL));
    bool escape_overdue = ready == 0 && wait_ms != left;
    // A lost terminal is the key thread's to handle: it reads again once the turn is back.
    if ((input || escape_overdue) && !take_keys(true, escape_overdue)) break;
  }
  give_turn(false);
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
  reading.turn_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  reading.wait_fd = epoll_create1(EPOLL_CLOEXEC);
  if (reading.turn_fd < 0 || reading.wait_fd < 0) return false;
  for (int fd : {signal_fd, reading.turn_fd}) {
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (epoll_ctl(reading.wait_fd, EPOLL_CTL_ADD, fd, &event) != 0) return false;
  }
  watch_input(true);
  if (!terminal_enter()) return false;
  terminal_painter_prepare();
  reading.decoder.utf8 = locale_is_utf8();
  read_keys_while_waiting = program_thread_reads_keys;
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
  for (;;) {
    int32_t wait_ms = -1;
    {
      std::lock_guard<std::mutex> hold(reading.mutex);
      if (!reading.program_reads && key_decoder_waiting(reading.decoder)) wait_ms = escape_wait_ms;
    }
    epoll_event events[3];
    int ready = epoll_wait(reading.wait_fd, events, 3, wait_ms);
    if (ready < 0 && errno != EINTR) end_by_signal(SIGHUP);
    bool input = false;
    for (int i = 0; i < ready; ++i) {
      if (events[i].data.fd == signal_fd) {
        signalfd_siginfo arrived[8];
        ssize_t count = read(signal_fd, arrived, sizeof arrived);
        for (ssize_t k = 0; k < count / ssize_t(sizeof arrived[0]); ++k) handle_signal(int(arrived[k].ssi_signo));
      } else if (events[i].data.fd == reading.turn_fd) {
        uint64_t turns = 0;
        ssize_t ignored = read(reading.turn_fd, &turns, sizeof turns);
        (void)ignored;
      } else {
        input = true;
      }
    }
    // The terminal went away (the connection dropped): as a hang-up.
    if ((ready == 0 || input) && !take_keys(false, ready == 0)) end_by_signal(SIGHUP);
  }
}
