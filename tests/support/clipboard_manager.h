// A clipboard manager for the tests that does only the freedesktop hand-over (SAVE_TARGETS), in a child process.
#pragma once
#include <sys/types.h>

// Runs while the object lives. It holds CLIPBOARD_MANAGER and, asked for SAVE_TARGETS,
// copies the listed targets of CLIPBOARD, takes CLIPBOARD over and serves the copies.
// Packaged managers also copy the clipboard whenever its owner changes, which would hide
// a program that never hands over; this one keeps only what the protocol gives it.
// `answering` false: it holds the manager selection and never answers a request.
struct clipboard_manager {
  explicit clipboard_manager(bool answering = true);
  ~clipboard_manager();
  clipboard_manager(const clipboard_manager&) = delete;
  clipboard_manager& operator=(const clipboard_manager&) = delete;

  pid_t pid = -1;
  bool ready = false;  // it holds CLIPBOARD_MANAGER
};
