// The ask / answer / release handshake (see handshake.h for its states).
#include "runtime/ground/handshake.h"

#include "runtime/ground/sleeping.h"

void handshake_ask(handshake& word) {
  int32_t idle = handshake_idle;
  word.state.compare_exchange_strong(idle, handshake_asked);
}

bool handshake_wait_held(const handshake& word, uint32_t step_ms, bool (*give_up)()) {
  while (word.state.load() != handshake_held) {
    if (give_up && give_up()) return false;
    sleep_ms(step_ms);
  }
  return true;
}

bool handshake_answer(handshake& word) {
  int32_t asked = handshake_asked;
  return word.state.compare_exchange_strong(asked, handshake_held);
}

void handshake_hold(const handshake& word) {
  while (word.state.load() == handshake_held) sleep_ms(1);
}
