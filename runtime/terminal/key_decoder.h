// Keys decoded from the bytes a terminal sends: typed characters, extended keys, pastes and the break key.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum terminal_key_kind : int32_t {
  terminal_key_character,  // a key of the keyboard table's character rows
  terminal_key_extended,   // a key of its extended rows
  terminal_key_paste,      // a bracketed paste
  terminal_key_break,      // Ctrl+C: the break key
};

struct terminal_key {
  terminal_key_kind kind;
  int32_t code;    // character: the code page 437 code (its row); extended: scan code x 256
  int32_t column;  // the table column the modifiers choose (key_column_normal, _shift, _ctrl, _alt)
  std::vector<char32_t> text;  // a paste's text
};

// What one terminal's bytes have left open between reads.
struct key_decoder {
  bool utf8 = true;       // bytes beyond ASCII are UTF-8; else each is a Latin-1 character
  std::string pending;    // the start of a sequence whose end has not come yet
  bool pasting = false;   // inside a bracketed paste
  std::string pasted;     // the paste's bytes so far
};

// Decodes `count` more bytes, appending the keys they complete to `out`.
void key_decoder_feed(key_decoder* decoder, const char* bytes, size_t count, std::vector<terminal_key>* out);
// True when the bytes so far end in a sequence not yet complete: the caller waits a moment
// for the rest, then calls key_decoder_flush.
bool key_decoder_waiting(const key_decoder& decoder);
// Nothing more came: an Escape left alone is the Escape key, Escape and one character are
// that character with Alt, anything else left open is dropped.
void key_decoder_flush(key_decoder* decoder, std::vector<terminal_key>* out);
