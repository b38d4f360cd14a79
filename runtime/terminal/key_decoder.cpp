// Key decoder (keeps the reading of xterm and VT key sequences, UTF-8 and bracketed pastes into the keyboard table's keys).
#include "runtime/terminal/key_decoder.h"

#include "runtime/console/code_page.h"
#include "runtime/console/keyboard_table.h"
#include "runtime/console/pasted_keys.h"

namespace {

constexpr char escape = 0x1B;
constexpr char paste_end_mark[] = "\x1b[201~";
constexpr size_t paste_end_length = sizeof paste_end_mark - 1;
// A paste is cut at this many bytes: far more than the keys one paste may feed.
constexpr size_t paste_byte_limit = size_t(paste_capacity) * 16;
// A control sequence longer than this is not a key: its bytes are dropped.
constexpr size_t sequence_limit = 32;

// Extended key codes (scan code x 256) of the keys the sequences name.
constexpr int32_t key_up = 0x4800, key_down = 0x5000, key_right = 0x4D00, key_left = 0x4B00;
constexpr int32_t key_home = 0x4700, key_end = 0x4F00, key_page_up = 0x4900, key_page_down = 0x5100;
constexpr int32_t key_delete = 0x5300, key_f1 = 0x3B00, key_f11 = 0x8500, key_f12 = 0x8600;

int32_t function_key(int32_t n) { return n <= 10 ? key_f1 + (n - 1) * 256 : n == 11 ? key_f11 : key_f12; }

void character(std::vector<terminal_key>* out, int32_t code, int32_t column) {
  out->push_back({terminal_key_character, code, column, {}});
}
void extended(std::vector<terminal_key>* out, int32_t code, int32_t column) {
  if (code) out->push_back({terminal_key_extended, code, column, {}});
}

// The xterm modifier parameter (1 + Shift 1 + Alt 2 + Ctrl 4) as a table column; Alt
// wins over Ctrl and Ctrl over Shift, as in the window.
int32_t column_of(int32_t modifier) {
  int32_t bits = modifier > 1 ? modifier - 1 : 0;
  if (bits & 2) return key_column_alt;
  if (bits & 4) return key_column_ctrl;
  if (bits & 1) return key_column_shift;
  return key_column_normal;
}

// Cursor and editing keys named by a final letter (CSI or SS3), F1-F4 by P-S; 0 for none.
int32_t lettered_key(char final) {
  switch (final) {
    case 'A': return key_up;
    case 'B': return key_down;
    case 'C': return key_right;
    case 'D': return key_left;
    case 'H': return key_home;
    case 'F': return key_end;
    case 'P': case 'Q': case 'R': case 'S': return function_key(final - 'P' + 1);
    default: return 0;
  }
}

// Keys named by a number and '~' (VT220 and xterm); 0 for none.
int32_t numbered_key(int32_t n) {
  switch (n) {
    case 1: case 7: return key_home;
    case 2: return key_insert;
    case 3: return key_delete;
    case 4: case 8: return key_end;
    case 5: return key_page_up;
    case 6: return key_page_down;
    case 11: case 12: case 13: case 14: case 15: return function_key(n - 10);
    case 17: case 18: case 19: case 20: case 21: return function_key(n - 11);
    case 23: case 24: return function_key(n - 12);
    default: return 0;
  }
}

// One byte below 128 that is not Escape, as the window's keyboard gives it.
void ascii_key(std::vector<terminal_key>* out, uint8_t byte, int32_t column) {
  bool alt = column == key_column_alt;
  switch (byte) {
    case 3: out->push_back({terminal_key_break, 0, key_column_normal, {}}); return;
    case 13: character(out, 13, column); return;
    case 10: character(out, 13, alt ? column : key_column_ctrl); return;  // Ctrl+Enter
    case 8: case 127: character(out, 8, column); return;                  // Backspace
    case 9: character(out, 9, column); return;
    case 0: character(out, '@', alt ? column : key_column_ctrl); return;  // Ctrl+@
    default: break;
  }
  // Other control bytes are Ctrl with a letter or one of \ ] ^ _.
  if (byte < 27) character(out, byte + 96, alt ? column : key_column_ctrl);
  else if (byte < 32) character(out, byte + 64, alt ? column : key_column_ctrl);
  else character(out, byte, column);
}

// A control sequence from `at` (Escape '['): the bytes it takes, 0 when incomplete.
size_t control_sequence(const std::string& in, size_t at, std::vector<terminal_key>* out, key_decoder* decoder) {
  size_t i = at + 2;
  if (i < in.size() && in[i] == '[') {  // the Linux console's F1-F5: Escape [ [ A-E
    if (i + 1 >= in.size()) return 0;
    char final = in[i + 1];
    if (final >= 'A' && final <= 'E') extended(out, function_key(final - 'A' + 1), key_column_normal);
    return 4;
  }
  bool private_marker = i < in.size() && (in[i] == '?' || in[i] == '<' || in[i] == '>' || in[i] == '=');
  int32_t numbers[2] = {0, 1};
  int count = 0, value = -1;
  for (; i < in.size(); ++i) {
    unsigned char c = static_cast<unsigned char>(in[i]);
    if (i - at > sequence_limit) return 1;  // not a key: the Escape goes, the rest reads as typed
    if (c >= '0' && c <= '9') {
      value = (value < 0 ? 0 : value) * 10 + (c - '0');
      if (value > 100000) value = 100000;
    } else if (c == ';') {
      if (count < 2) numbers[count] = value < 0 ? (count == 0 ? 0 : 1) : value;
      ++count;
      value = -1;
    } else if (c >= 0x40 && c <= 0x7E) {
      if (count < 2 && value >= 0) numbers[count] = value;
      size_t taken = i + 1 - at;
      if (private_marker) return taken;  // reports and mouse events are no keys
      int32_t column = column_of(numbers[1]);
      if (c == '~') {
        if (numbers[0] == 200) {
          decoder->pasting = true;
          decoder->pasted.clear();
        } else {
          extended(out, numbered_key(numbers[0]), column);
        }
      } else if (c == 'Z') {
        character(out, 9, key_column_shift);  // Shift+Tab
      } else {
        extended(out, lettered_key(static_cast<char>(c)), column);
      }
      return taken;
    } else if (c < 0x20 || c > 0x7E) {
      return 1;  // broken off: the Escape goes, the rest reads as typed
    }
  }
  return 0;
}

// A character beyond ASCII from `at`: the bytes it takes, 0 when its UTF-8 is incomplete.
size_t wide_character(const key_decoder& decoder, const std::string& in, size_t at, std::vector<terminal_key>* out) {
  unsigned char lead = static_cast<unsigned char>(in[at]);
  char32_t code_point = lead;
  size_t length = 1;
  if (decoder.utf8) {
    size_t need = lead >= 0xC2 && lead <= 0xDF ? 2 : lead >= 0xE0 && lead <= 0xEF ? 3 : lead >= 0xF0 && lead <= 0xF4 ? 4 : 1;
    if (need > 1) {
      if (at + need > in.size()) {
        // Incomplete unless a byte already here breaks the sequence.
        for (size_t k = at + 1; k < in.size(); ++k)
          if ((static_cast<unsigned char>(in[k]) & 0xC0) != 0x80) need = 1;
        if (need > 1) return 0;
      } else {
        std::vector<char32_t> decoded = utf8_code_points(in.substr(at, need));
        if (decoded.size() == 1) {
          code_point = decoded[0];
          length = need;
        }
      }
    }
  }
  int32_t code = code_point < 256 && length == 1 ? key_code_from_latin1(int32_t(code_point))
                                                 : code_page_437_from_unicode(code_point);
  if (code >= 0) character(out, code, key_column_normal);
  return length;
}

// Paste bytes from `at` up to the end mark: the bytes taken, 0 when all that is left may
// be the start of the end mark.
size_t paste_bytes(key_decoder* decoder, const std::string& in, size_t at, std::vector<terminal_key>* out) {
  size_t end = in.find(paste_end_mark, at);
  size_t stop = end;
  if (end == std::string::npos) {
    // Keep back a tail that could be the start of the end mark.
    stop = in.size();
    for (size_t keep = std::min(paste_end_length - 1, in.size() - at); keep > 0; --keep)
      if (in.compare(in.size() - keep, keep, paste_end_mark, keep) == 0) {
        stop = in.size() - keep;
        break;
      }
  }
  size_t room = paste_byte_limit > decoder->pasted.size() ? paste_byte_limit - decoder->pasted.size() : 0;
  decoder->pasted.append(in, at, std::min(stop - at, room));
  if (end == std::string::npos) return stop - at;
  std::vector<char32_t> text;
  if (decoder->utf8) {
    text = utf8_code_points(decoder->pasted);
  } else {
    for (char c : decoder->pasted) text.push_back(static_cast<unsigned char>(c));
  }
  out->push_back({terminal_key_paste, 0, key_column_normal, std::move(text)});
  decoder->pasting = false;
  decoder->pasted.clear();
  return end + paste_end_length - at;
}

// One key from `at`: the bytes it takes, 0 when more bytes are needed.
size_t decode_one(key_decoder* decoder, const std::string& in, size_t at, std::vector<terminal_key>* out) {
  if (decoder->pasting) return paste_bytes(decoder, in, at, out);
  unsigned char byte = static_cast<unsigned char>(in[at]);
  if (byte >= 0x80) return wide_character(*decoder, in, at, out);
  if (byte != escape) {
    ascii_key(out, byte, key_column_normal);
    return 1;
  }
  if (at + 1 >= in.size()) return 0;
  char next = in[at + 1];
  if (next == '[') return control_sequence(in, at, out, decoder);
  if (next == 'O') {
    if (at + 2 >= in.size()) return 0;
    char final = in[at + 2];
    if (final == 'M')
      character(out, 13, key_column_normal);  // keypad Enter
    else
      extended(out, lettered_key(final), key_column_normal);
    return 3;
  }
  if (next == escape || static_cast<unsigned char>(next) >= 0x80) {
    character(out, 27, key_column_normal);
    return 1;
  }
  ascii_key(out, static_cast<uint8_t>(next), key_column_alt);  // Escape first: the key with Alt
  return 2;
}

}  // namespace

void key_decoder_feed(key_decoder* decoder, const char* bytes, size_t count, std::vector<terminal_key>* out) {
  decoder->pending.append(bytes, count);
  const std::string& in = decoder->pending;
  size_t at = 0;
  while (at < in.size()) {
    size_t taken = decode_one(decoder, in, at, out);
    if (taken == 0) break;
    at += taken;
  }
  decoder->pending.erase(0, at);
}

bool key_decoder_waiting(const key_decoder& decoder) { return !decoder.pending.empty() && !decoder.pasting; }

void key_decoder_flush(key_decoder* decoder, std::vector<terminal_key>* out) {
  std::string left;
  left.swap(decoder->pending);
  if (left.empty() || decoder->pasting) {
    decoder->pending.swap(left);
    return;
  }
  if (left[0] == escape) {
    if (left.size() == 1)
      character(out, 27, key_column_normal);
    else if (left.size() == 2)
      ascii_key(out, static_cast<uint8_t>(left[1]), key_column_alt);
    return;
  }
  // An incomplete UTF-8 sequence: its bytes as Latin-1 characters.
  key_decoder plain = *decoder;
  plain.utf8 = false;
  plain.pending.clear();
  key_decoder_feed(&plain, left.data(), left.size(), out);
}
