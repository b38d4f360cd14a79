// A clipboard manager for the tests that does only the freedesktop hand-over (SAVE_TARGETS), in a child process.
#pragma once
#include <sys/types.h>

// Runs while the object lives, holding CLIPBOARD_MANAGER. Packaged managers also copy the
// clipboard whenever its owner changes, which would hide a program that never hands over;
// this one keeps only what the protocol gives it. `answering` false: it never answers.
struct clipboard_manager {
  explicit clipboard_manager(bool answering);
  ~clipboard_manager();
  pid_t pid = -1;
  bool ready = false;  // it holds CLIPBOARD_MANAGER
};
