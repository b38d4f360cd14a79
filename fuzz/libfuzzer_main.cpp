// libFuzzer entry of one fuzz target; FUZZ_ENTRY names the target's function.
#include "fuzz/fuzz_targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_runtime_ready();
  FUZZ_ENTRY(data, size);
  return 0;
}
