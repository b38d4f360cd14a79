// Threads (keeps thread start-up and the program thread's parking place).
#include "runtime/ground/threads.h"

#include <pthread.h>
#include <unistd.h>

#include "runtime/ground/shared_words.h"
#include "runtime/ground/stop_signal.h"

namespace {

struct thread_start_record {
  void* (*function)(void*);
  void* argument;
};

void* thread_trampoline(void* raw) {
  thread_start_record* record = static_cast<thread_start_record*>(raw);
  void* (*function)(void*) = record->function;
  void* argument = record->argument;
  delete record;
  function(argument);
  return nullptr;
}

}  // namespace

void start_thread(uint64_t* handle_cell, void* (*function)(void*), void* argument) {
  static_assert(sizeof(pthread_t) <= sizeof(uint64_t), "thread handle must fit its cell");
  thread_start_record* record = new thread_start_record{function, argument};
  pthread_t thread{};
  if (pthread_create(&thread, nullptr, thread_trampoline, record) != 0) {
    delete record;  // no thread runs it; the handle cell keeps 0
    return;
  }
  // Nobody joins the runtime's threads: detached, a thread that returns leaves nothing behind.
  pthread_detach(thread);
  if (handle_cell) *handle_cell = static_cast<uint64_t>(thread);
}

void park_program_thread() {
  mark_thread_done(program_thread_parked);
  // Nothing wakes it: the frame thread, told by the done bit, ends the process.
  for (;;) pause();
}
