// Fuzz entry points: each takes one input's bytes, drives a part of the runtime with them and checks its invariants.
#pragma once
#include <cstddef>
#include <cstdint>

// A broken invariant: says which and where (and which input, when known), then aborts.
[[noreturn]] void fuzz_fail(const char* what, const char* file, int line);
#define FUZZ_CHECK(condition) \
  do {                        \
    if (!(condition)) fuzz_fail(#condition, __FILE__, __LINE__); \
  } while (0)

// Name of the input being run, for fuzz_fail's report (null when unknown).
extern const char* fuzz_current_input;

// Emulated memory, string storage and the start-up screen, made once per process.
void fuzz_runtime_ready();

void fuzz_val(const uint8_t* data, size_t size);           // VAL
void fuzz_read(const uint8_t* data, size_t size);          // READ of every type over DATA text
void fuzz_input_fields(const uint8_t* data, size_t size);  // INPUT's field rules
void fuzz_print(const uint8_t* data, size_t size);         // PRINT after WIDTH, LOCATE, VIEW PRINT, COLOR
void fuzz_chain(const uint8_t* data, size_t size);         // the CHAIN hand-over file
void fuzz_strings(const uint8_t* data, size_t size);       // string statements against a model

struct fuzz_target {
  const char* name;  // also the corpus folder's name
  void (*run)(const uint8_t* data, size_t size);
};
extern const fuzz_target fuzz_targets[6];

// Reads the input's bytes one at a time; past the end every read gives 0.
struct fuzz_bytes {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool done() const { return at >= size; }
  uint8_t next() { return at < size ? data[at++] : 0; }
  uint16_t next16() { return static_cast<uint16_t>(next() | next() << 8); }
};
