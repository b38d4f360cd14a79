// Open handles (files, devices, connections): this runtime makes none, so closing them all has nothing to do.
#include "runtime/ground/process_exit.h"

#include "runtime/ground/errors.h"

void close_all() {
  if (pending_error) return;
}
