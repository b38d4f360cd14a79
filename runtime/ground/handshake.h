// The handshake by which one thread makes another hold still while it works under it.
#pragma once
#include <atomic>
#include <cstdint>

// One word, three states. The asker moves idle to asked; the holder, at a point where it
// touches nothing the asker is about to change, moves asked to held; the asker, once it
// sees held, does its work and moves the word back to idle. Only the asker leaves idle
// and returns to it; only the holder answers. A holder that is never asked pays one load.
enum handshake_state : int32_t {
  handshake_idle = 0,
  handshake_asked = 1,
  handshake_held = 2,
};

struct handshake {
  std::atomic<int32_t> state{handshake_idle};
};

// Asker: idle becomes asked (a word already asked or held is left as it is).
void handshake_ask(handshake& word);
// Asker: waits until the holder answers, sleeping `step_ms` between looks (0: yields the
// processor). Gives up when `give_up` (may be null) returns true: a holder that has
// stopped or is not running never answers. True when held.
bool handshake_wait_held(const handshake& word, uint32_t step_ms, bool (*give_up)());
// Asker: back to idle; the holder goes on.
inline void handshake_release(handshake& word) { word.state.store(handshake_idle); }

// Holder: true while an answer is owed.
inline bool handshake_is_asked(const handshake& word) { return word.state.load() == handshake_asked; }
// Holder: answers a pending ask; true when it did.
bool handshake_answer(handshake& word);
// Holder: sleeps in 1 ms steps while the asker works.
void handshake_hold(const handshake& word);
