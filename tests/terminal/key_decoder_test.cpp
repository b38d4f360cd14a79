// Terminal key decoding: the bytes xterm, VT and Linux console terminals send, as the keyboard table's keys.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "runtime/console/keyboard_table.h"
#include "runtime/terminal/key_decoder.h"

namespace {

// A decoded key written short: "c65/2" a character (code/column), "x18432/4" an extended
// key, "b" the break key, "p<text>" a paste with its code points below 128 as text.
std::string shown(const std::vector<terminal_key>& keys) {
  std::string out;
  for (const terminal_key& key : keys) {
    if (!out.empty()) out += ' ';
    switch (key.kind) {
      case terminal_key_character: out += "c" + std::to_string(key.code) + "/" + std::to_string(key.column); break;
      case terminal_key_extended: out += "x" + std::to_string(key.code) + "/" + std::to_string(key.column); break;
      case terminal_key_break: out += "b"; break;
      case terminal_key_paste:
        out += "p";
        for (char32_t c : key.text) out += c < 128 ? char(c) : '#';
        break;
    }
  }
  return out;
}

// Bytes fed in pieces of `piece` bytes (0: all at once), then flushed as after a pause.
std::string decode(const std::string& bytes, size_t piece = 0, bool utf8 = true) {
  key_decoder decoder;
  decoder.utf8 = utf8;
  std::vector<terminal_key> keys;
  size_t step = piece ? piece : bytes.size();
  for (size_t at = 0; at < bytes.size(); at += step)
    key_decoder_feed(&decoder, bytes.data() + at, std::min(step, bytes.size() - at), &keys);
  key_decoder_flush(&decoder, &keys);
  return shown(keys);
}

const std::string n = "/" + std::to_string(key_column_normal), s = "/" + std::to_string(key_column_shift),
                  c = "/" + std::to_string(key_column_ctrl), a = "/" + std::to_string(key_column_alt);

struct decode_case {
  const char* name;
  std::string bytes;
  std::string keys;
};

TEST(key_decoder, SequencesGiveTheWindowsKeys) {
  const std::vector<decode_case> cases = {
      {"printable", "5a", "c53" + n + " c97" + n},
      {"enter, backspace as DEL and BS, tab", "\r\x7f\b\t", "c13" + n + " c8" + n + " c8" + n + " c9" + n},
      {"ctrl letters, ctrl+enter", "\x01\x1a\n", "c97" + c + " c122" + c + " c13" + c},
      {"ctrl+c breaks", "\x03", "b"},
      {"arrows, CSI and SS3", "\x1b[A\x1b[B\x1bOC\x1bOD", "x18432" + n + " x20480" + n + " x19712" + n + " x19200" + n},
      {"home and end, all forms", "\x1b[H\x1b[1~\x1b[7~\x1bOF\x1b[4~", "x18176" + n + " x18176" + n + " x18176" + n +
                                                                          " x20224" + n + " x20224" + n},
      {"insert, delete, page keys", "\x1b[2~\x1b[3~\x1b[5~\x1b[6~", "x20992" + n + " x21248" + n + " x18688" + n +
                                                                       " x20736" + n},
      {"F1 to F12", "\x1bOP\x1b[11~\x1b[[E\x1b[17~\x1b[21~\x1b[23~\x1b[24~",
       "x15104" + n + " x15104" + n + " x16128" + n + " x16384" + n + " x17408" + n + " x34048" + n + " x34304" + n},
      {"modifiers", "\x1b[1;5C\x1b[1;2A\x1b[3;3~", "x19712" + c + " x18432" + s + " x21248" + a},
      {"shift+tab", "\x1b[Z", "c9" + s},
      {"alt+letter, lone escape", "\x1b" "a\x1b", "c97" + a + " c27" + n},
      {"escape then escape", "\x1b\x1b[A", "c27" + n + " x18432" + n},
      {"reports are no keys", "\x1b[?1;2c\x1b[<0;3;4M5", "c53" + n},
      {"UTF-8 to code page 437", "\xc3\xa4\xc2\xb5\xe2\x9c\x93", "c132" + n + " c230" + n},
      {"bracketed paste", "\x1b[200~55\r\n\x03\x1b[201~x", "p55\r\n\x03 c120" + n},
  };
  for (const decode_case& k : cases) {
    EXPECT_EQ(decode(k.bytes), k.keys) << k.name;
    EXPECT_EQ(decode(k.bytes, 1), k.keys) << k.name << ", one byte at a time";
  }
}

TEST(key_decoder, WithoutUtf8EachByteIsLatin1) { EXPECT_EQ(decode("\xe4\xb5", 0, false), "c132" + n + " c230" + n); }

TEST(key_decoder, AnEscapeWaitsForTheRestOfItsSequence) {
  key_decoder decoder;
  std::vector<terminal_key> keys;
  key_decoder_feed(&decoder, "\x1b[1;", 4, &keys);
  EXPECT_TRUE(key_decoder_waiting(decoder));
  EXPECT_TRUE(keys.empty());
  key_decoder_feed(&decoder, "5D", 2, &keys);
  EXPECT_FALSE(key_decoder_waiting(decoder));
  EXPECT_EQ(shown(keys), "x19200" + c);
}

}  // namespace
