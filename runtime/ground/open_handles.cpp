// Open handles (files, devices, connections): this runtime makes none, so closing them all has nothing to do.
#include "runtime/ground/errors.h"
#include "runtime/ground/lifecycle.h"

void close_all() {
  if (pending_error) return;
}
