// Keyboard translation and the BIOS key ring, driven through key_down and read_key.
#include <GL/freeglut.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "runtime/ground/conventional_memory.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/strings.h"
#include "runtime/window/keyboard.h"
#include "runtime/window/frame_presenter.h"
#include "support/runtime_strings.h"

namespace {

using key_pair = std::pair<int, int>;  // character, scan code as they sit in the ring

std::string ext(int scan) { return std::string(1, '\0') + static_cast<char>(scan); }
std::string chr(int c) { return std::string(1, static_cast<char>(c)); }

class keyboard_fixture : public strings_test {
 protected:
  void SetUp() override {
    strings_test::SetUp();
    key_buffer_startup();
    release_all();
    clear_key_buffers(0, 0);
  }
  void TearDown() override {
    release_all();
    strings_test::TearDown();
  }

  static void release_all() {
    for (int32_t code : {key_left_shift, key_right_shift, key_left_ctrl, key_right_ctrl, key_left_alt,
                         key_right_alt})
      if (key_is_held(code)) key_up(code);
  }

  // Presses and releases a key with the given modifier held (0 = none).
  static void type(int32_t code, int32_t modifier = 0) {
    if (modifier) key_down(modifier);
    key_down(code);
    key_up(code);
    if (modifier) key_up(modifier);
  }

  // Every waiting key as read_key hands it over.
  static std::vector<std::string> read_all() {
    std::vector<std::string> keys;
    uint32_t mark = temp_count;
    for (;;) {
      rt_string* key = read_key();
      if (key->len == 0) break;
      keys.emplace_back(reinterpret_cast<const char*>(key->chars), static_cast<size_t>(key->len));
    }
    string_release_temporaries(mark, 0);
    return keys;
  }

  // Every waiting key as the raw ring slot (character, scan code).
  static std::vector<key_pair> slots_all() {
    std::vector<key_pair> slots;
    uint32_t mark = temp_count;
    while (bios_key_count() > 0) {
      int head = conventional_memory[bios_key_head];
      slots.emplace_back(conventional_memory[0x400 + head], conventional_memory[0x400 + head + 1]);
      read_key();
    }
    string_release_temporaries(mark, 0);
    return slots;
  }

  // The one key a keystroke left, or "none".
  static std::string one_key(int32_t code, int32_t modifier = 0) {
    type(code, modifier);
    std::vector<std::string> keys = read_all();
    if (keys.empty()) return "none";
    EXPECT_EQ(keys.size(), 1u) << "code " << code;
    return keys[0];
  }
};

// What the keyboard should make of each character key, written out from the PC keyboard
// layout: scan code, then normal, Shift, Ctrl and Alt results ("" = no key).
struct character_row {
  int code;
  int scan;
  std::string normal, shift, ctrl, alt;
};

std::vector<character_row> character_rows() {
  std::vector<character_row> rows;
  rows.push_back({8, 14, chr(8), chr(8), chr(127), ext(14)});
  rows.push_back({9, 15, chr(9), ext(15), ext(148), ""});
  rows.push_back({13, 28, chr(13), chr(13), chr(10), ""});
  rows.push_back({27, 1, chr(27), chr(27), chr(27), ""});
  rows.push_back({32, 57, " ", " ", " ", ""});
  const char* letters = "QWERTYUIOPASDFGHJKLZXCVBNM";
  const int letter_scans[] = {16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 30, 31, 32,
                              33, 34, 35, 36, 37, 38, 44, 45, 46, 47, 48, 49, 50};
  for (int i = 0; i < 26; ++i) {
    for (int c : {letters[i] + 0, letters[i] + 32})
      rows.push_back({c, letter_scans[i], chr(c), chr(c), chr(letters[i] - 64), ext(letter_scans[i])});
  }
  const char* digits = "1234567890";
  const char* symbols = "!@#$%^&*()";
  for (int i = 0; i < 10; ++i) {
    for (int c : {digits[i] + 0, symbols[i] + 0}) {
      std::string ctrl;
      if (c == '2' || c == '@') ctrl = ext(3);
      if (c == '6' || c == '^') ctrl = chr(30);
      rows.push_back({c, i + 2, chr(c), chr(c), ctrl, ext(120 + i)});
    }
  }
  struct punctuation {
    const char* pair;
    int scan;
    int ctrl;
    int alt;
  };
  const punctuation marks[] = {{"-_", 12, 31, 130}, {"=+", 13, 0, 131}, {"[{", 26, 27, 26}, {"\\|", 43, 28, 43},
                               {"]}", 27, 29, 27},  {";:", 39, 0, 39},  {"'\"", 40, 0, 40}, {",<", 51, 0, 51},
                               {".>", 52, 0, 52},   {"/?", 53, 0, 53},  {"`~", 41, 0, 41}};
  for (const punctuation& mark : marks)
    for (int k = 0; k < 2; ++k) {
      int c = static_cast<unsigned char>(mark.pair[k]);
      rows.push_back({c, mark.scan, chr(c), chr(c), mark.ctrl ? chr(mark.ctrl) : "", ext(mark.alt)});
    }
  return rows;
}

TEST_F(keyboard_fixture, every_character_key_under_every_modifier) {
  std::vector<character_row> rows = character_rows();
  std::vector<bool> listed(256, false);
  for (const character_row& row : rows) {
    listed[row.code] = true;
    const std::pair<int32_t, const std::string*> cases[] = {
        {0, &row.normal}, {key_left_shift, &row.shift}, {key_right_ctrl, &row.ctrl}, {key_left_alt, &row.alt}};
    for (const auto& [modifier, expected] : cases) {
      type(row.code, modifier);
      std::vector<key_pair> slots = slots_all();
      if (expected->empty()) {
        EXPECT_TRUE(slots.empty()) << "code " << row.code << " modifier " << modifier;
        continue;
      }
      ASSERT_EQ(slots.size(), 1u) << "code " << row.code << " modifier " << modifier;
      int character = static_cast<unsigned char>((*expected)[0]);
      int scan = character == 0 ? static_cast<unsigned char>((*expected)[1]) : row.scan;
      EXPECT_EQ(slots[0], key_pair(character, scan)) << "code " << row.code << " modifier " << modifier;
    }
  }
  // Keys without a scan code give their own character with scan code 0 whatever is held.
  for (int code = 1; code < 256; ++code) {
    if (listed[code]) continue;
    for (int32_t modifier : {0, key_right_shift, key_left_ctrl, key_right_alt}) {
      type(code, modifier);
      EXPECT_EQ(slots_all(), std::vector<key_pair>{key_pair(code, 0)}) << "code " << code;
    }
  }
}

TEST_F(keyboard_fixture, every_extended_key_under_every_modifier) {
  struct extended_row {
    int32_t code;
    int normal, shift, ctrl, alt;
  };
  std::vector<extended_row> rows;
  for (int i = 0; i < 10; ++i) rows.push_back({(0x3B + i) * 256, 59 + i, 84 + i, 94 + i, 104 + i});
  rows.push_back({0x8500, 133, 133, 137, 139});
  rows.push_back({0x8600, 134, 134, 138, 140});
  rows.push_back({0x4700, 71, 71, 119, 151});
  rows.push_back({0x4800, 72, 72, 141, 152});
  rows.push_back({0x4900, 73, 73, 132, 153});
  rows.push_back({0x4B00, 75, 75, 115, 155});
  rows.push_back({0x4D00, 77, 77, 116, 157});
  rows.push_back({0x4F00, 79, 79, 117, 159});
  rows.push_back({0x5000, 80, 80, 145, 160});
  rows.push_back({0x5100, 81, 81, 118, 161});
  rows.push_back({0x5200, 82, 82, 146, 162});
  rows.push_back({0x5300, 83, 83, 147, 163});
  for (const extended_row& row : rows) {
    EXPECT_EQ(one_key(row.code), ext(row.normal)) << row.code;
    EXPECT_EQ(one_key(row.code, key_right_shift), ext(row.shift)) << row.code;
    EXPECT_EQ(one_key(row.code, key_left_ctrl), ext(row.ctrl)) << row.code;
    EXPECT_EQ(one_key(row.code, key_left_alt), ext(row.alt)) << row.code;
  }
  // An extended code the table does not know still arrives, as its scan code.
  EXPECT_EQ(one_key(0x4C00), ext(0x4C));
  EXPECT_EQ(one_key(0x9900, key_left_alt), ext(0x99));
}

TEST_F(keyboard_fixture, documented_keystrokes) {
  for (int32_t code : {int32_t{'5'}, int32_t{'8'}, int32_t{'0'}, int32_t{13}}) type(code);
  EXPECT_EQ(slots_all(), (std::vector<key_pair>{{53, 6}, {56, 9}, {48, 11}, {13, 28}}));
  for (int32_t code : {int32_t{'5'}, int32_t{'8'}, int32_t{'0'}, int32_t{13}}) type(code);
  EXPECT_EQ(read_all(), (std::vector<std::string>{"5", "8", "0", chr(13)}));

  EXPECT_EQ(one_key(glut_special_code(GLUT_KEY_UP)), ext(72));
  EXPECT_EQ(one_key(glut_special_code(GLUT_KEY_F1), glut_special_code(GLUT_KEY_SHIFT_L)), ext(84));
  EXPECT_EQ(one_key('a', key_left_alt), ext(30));
  EXPECT_EQ(one_key(27, key_left_alt), "none");
  EXPECT_EQ(one_key(glut_key_code(127, 0)), ext(83));
  EXPECT_EQ(read_all(), std::vector<std::string>{});
}

TEST_F(keyboard_fixture, ctrl_adjustment_gives_the_letter_back) {
  struct adjustment {
    unsigned char key;
    int modifiers;
    int32_t code;
  };
  const adjustment cases[] = {
      {3, GLUT_ACTIVE_CTRL, 'c'},
      {3, GLUT_ACTIVE_CTRL | GLUT_ACTIVE_SHIFT, 'C'},
      {1, GLUT_ACTIVE_CTRL, 'a'},
      {26, GLUT_ACTIVE_CTRL | GLUT_ACTIVE_SHIFT, 'Z'},
      {10, GLUT_ACTIVE_CTRL, 13},
      {3, 0, 3},
      {10, 0, 10},
      {127, 0, 0x5300},
      {127, GLUT_ACTIVE_CTRL, 0x5300},
      {'x', GLUT_ACTIVE_CTRL, 'x'},
      // Latin-1 from the toolkit becomes code page 437; without a form there the key is dropped.
      {0xE4, 0, 132},
      {0xF6, 0, 148},
      {0xFC, 0, 129},
      {0xDF, 0, 225},
      {0xB0, 0, 248},
      {0xB5, 0, 230},
      {0xC4, GLUT_ACTIVE_SHIFT, 142},
      {0xC8, GLUT_ACTIVE_ALT, -1},
  };
  for (const adjustment& c : cases) EXPECT_EQ(glut_key_code(c.key, c.modifiers), c.code) << int(c.key);

  // Ctrl+C as the toolkit delivers it: byte 3 with Ctrl held.
  key_down(glut_special_code(GLUT_KEY_CTRL_L));
  key_down(glut_key_code(3, GLUT_ACTIVE_CTRL));
  key_up(glut_key_code(3, GLUT_ACTIVE_CTRL));
  key_up(glut_special_code(GLUT_KEY_CTRL_L));
  EXPECT_EQ(read_all(), std::vector<std::string>{chr(3)});
}

TEST_F(keyboard_fixture, special_keys_map_to_codes) {
  const std::pair<int, int32_t> map[] = {
      {GLUT_KEY_F1, 0x3B00},  {GLUT_KEY_F10, 0x4400},       {GLUT_KEY_F11, 0x8500},       {GLUT_KEY_F12, 0x8600},
      {GLUT_KEY_LEFT, 0x4B00}, {GLUT_KEY_UP, 0x4800},       {GLUT_KEY_RIGHT, 0x4D00},     {GLUT_KEY_DOWN, 0x5000},
      {GLUT_KEY_PAGE_UP, 0x4900}, {GLUT_KEY_PAGE_DOWN, 0x5100}, {GLUT_KEY_HOME, 0x4700}, {GLUT_KEY_END, 0x4F00},
      {GLUT_KEY_INSERT, 0x5200}, {GLUT_KEY_SHIFT_L, 100304}, {GLUT_KEY_SHIFT_R, 100303}, {GLUT_KEY_CTRL_L, 100306},
      {GLUT_KEY_CTRL_R, 100305}, {GLUT_KEY_ALT_L, 100308},  {GLUT_KEY_ALT_R, 100307},    {GLUT_KEY_NUM_LOCK, 0},
      {GLUT_KEY_DELETE, 0},      {GLUT_KEY_SUPER_L, 0},     {999, 0}};
  for (const auto& [key, code] : map) EXPECT_EQ(glut_special_code(key), code) << key;
}

TEST_F(keyboard_fixture, keys_beyond_a_full_ring_wait_and_clearing_drops_them) {
  const std::string typed = "abcdefghijklmnopqrstuvwxyz";  // 26 keys: 11 beyond the ring
  for (char c : typed) type(c);
  EXPECT_EQ(bios_key_count(), 15);  // the ring itself holds 15, as always
  std::vector<std::string> expected;
  for (size_t i = 0; i < typed.size(); ++i) expected.push_back(typed.substr(i, 1));
  EXPECT_EQ(read_all(), expected);
  for (char c : typed) type(c);
  clear_key_buffers(1, 1);
  EXPECT_EQ(read_all(), std::vector<std::string>{});
  // The ring goes on working across its wrap.
  for (int round = 0; round < 3; ++round) {
    for (char c : std::string("xyz")) type(c);
    EXPECT_EQ(read_all(), (std::vector<std::string>{"x", "y", "z"}));
  }
}

TEST_F(keyboard_fixture, empty_ring_reads_empty_and_clearing_empties) {
  EXPECT_EQ(read_all(), std::vector<std::string>{});
  type('q');
  type('r');
  clear_key_buffers(1, 1);
  EXPECT_EQ(bios_key_count(), 0);
  EXPECT_EQ(read_all(), std::vector<std::string>{});
  type('s');
  EXPECT_EQ(read_all(), std::vector<std::string>{"s"});

  clear_key_buffers(4, 1);
  EXPECT_EQ(pending_error, 5u);
  pending_error = 0;
  event_pending = 0;
}

TEST_F(keyboard_fixture, held_keys_and_their_aliases) {
  key_down('5');
  EXPECT_TRUE(key_is_held('5'));
  EXPECT_TRUE(key_is_held(100261));  // keypad 5 counts as held through its character
  key_down(13);
  EXPECT_TRUE(key_is_held(100271));
  key_down(0x4800);
  EXPECT_TRUE(key_is_held(200008));  // keypad Up
  EXPECT_FALSE(key_is_held(200002));
  key_down(0x4800);  // repeat: still one entry
  key_up(0x4800);
  EXPECT_FALSE(key_is_held(0x4800));
  key_up('5');
  key_up(13);
  EXPECT_FALSE(key_is_held(100261));
  key_down(0);
  EXPECT_TRUE(key_is_held(key_code_zero));
  key_up(0);
  EXPECT_FALSE(key_is_held(key_code_zero));
  read_all();
}

TEST_F(keyboard_fixture, shift_state_bytes_follow_the_modifiers) {
  auto state = [](uint32_t address) { return conventional_memory[address]; };
  key_down(key_left_shift);
  EXPECT_EQ(state(bios_shift_state) & 0x0F, 0x02);
  key_down(key_right_ctrl);
  EXPECT_EQ(state(bios_shift_state) & 0x0F, 0x06);
  EXPECT_EQ(state(bios_shift_state3) & 0x0C, 0x04);
  key_down(key_left_alt);
  EXPECT_EQ(state(bios_shift_state) & 0x0F, 0x0E);
  EXPECT_EQ(state(bios_shift_state2) & 0x03, 0x02);
  // The pointer leaves the window: every modifier is let go.
  release_held_modifiers();
  EXPECT_FALSE(key_is_held(key_left_shift));
  EXPECT_FALSE(key_is_held(key_left_alt));
  EXPECT_EQ(state(bios_shift_state) & 0x0F, 0);
  EXPECT_EQ(state(bios_shift_state2) & 0x03, 0);
  EXPECT_EQ(state(bios_shift_state3) & 0x0C, 0);

  uint8_t insert_before = state(bios_shift_state) & 0x80;
  type(0x5200);
  EXPECT_NE(state(bios_shift_state) & 0x80, insert_before);
  type(0x5200, key_left_shift);  // with a modifier Insert does not toggle
  EXPECT_NE(state(bios_shift_state) & 0x80, insert_before);
  type(0x5200);
  EXPECT_EQ(state(bios_shift_state) & 0x80, insert_before);
  read_all();
}

TEST_F(keyboard_fixture, key_hit_and_scan_code_queues) {
  type('a');
  type(100257);  // keypad 1
  EXPECT_EQ(key_hit_take(), 'a');
  EXPECT_EQ(key_hit_take(), -'a');
  EXPECT_EQ(key_hit_take(), 100257 + (int64_t{1} << 32));
  EXPECT_EQ(key_hit_take(), -(100257 + (int64_t{1} << 32)));
  EXPECT_EQ(key_hit_take(), 0);
  EXPECT_EQ(scan_code_take(), 30);
  EXPECT_EQ(scan_code_take(), 30 + 128);
  EXPECT_EQ(scan_code_take(), 79);
  EXPECT_EQ(scan_code_take(), 79 + 128);
  EXPECT_EQ(scan_code_take(), -1);
  // Key repeat: the same press code is kept once.
  key_down('b');
  key_down('b');
  key_up('b');
  EXPECT_EQ(scan_code_take(), 48);
  EXPECT_EQ(scan_code_take(), 48 + 128);
  EXPECT_EQ(scan_code_take(), -1);
  // A full key-hit queue drops its oldest entry.
  clear_key_buffers(2, 1);
  for (int i = 0; i < 8200; ++i) key_down(0x3B00);
  key_up(0x3B00);
  int entries = 0;
  while (key_hit_take() != 0) ++entries;
  EXPECT_EQ(entries, 8192);
  clear_key_buffers(0, 0);
  EXPECT_EQ(read_all(), std::vector<std::string>{});
  EXPECT_EQ(scan_code_take(), -1);
}

TEST_F(keyboard_fixture, keypad_keys_use_the_keypad_columns) {
  EXPECT_EQ(one_key(100264), "8");
  EXPECT_EQ(one_key(100264, key_left_shift), ext(72));
  EXPECT_EQ(one_key(100271), chr(13));
  EXPECT_EQ(one_key(200008), ext(72));  // keypad navigation codes act as their key
}

TEST_F(keyboard_fixture, alt_enter_cycles_full_screen_modes) {
  auto press = [] {
    key_down(key_left_alt);
    key_down(13);
    key_up(13);
    key_up(key_left_alt);
  };
  // The renderer applies a request: it becomes the current mode.
  auto apply = [] {
    if (fullscreen_request.load() >= 0) fullscreen_mode = fullscreen_request.load();
    fullscreen_request = -1;
  };
  allowed_fullscreen_mode = 0;
  allowed_fullscreen_smooth = 0;
  fullscreen_mode = 0;
  fullscreen_request = -1;
  fullscreen_smooth = 0;
  const int32_t expected_modes[] = {1, 1, 2, 2, 0, 1};
  const int32_t expected_smooth[] = {0, 1, 0, 1, -1, 0};
  for (int i = 0; i < 6; ++i) {
    press();
    apply();
    EXPECT_EQ(fullscreen_mode.load(), expected_modes[i]) << i;
    if (expected_smooth[i] >= 0) {
      EXPECT_EQ(fullscreen_smooth.load(), expected_smooth[i]) << i;
    }
  }
  EXPECT_EQ(read_all(), std::vector<std::string>{});  // Alt+Enter leaves no key

  // Only square pixels, only smooth: windowed and square smooth alternate.
  fullscreen_mode = 0;
  allowed_fullscreen_mode = 2;
  allowed_fullscreen_smooth = 1;
  press();
  EXPECT_EQ(fullscreen_request.load(), 2);
  EXPECT_EQ(fullscreen_smooth.load(), 1);
  press();  // from the pending request back to windowed: nothing to change
  EXPECT_EQ(fullscreen_request.load(), -1);

  // Switched off: Alt+Enter is an ordinary key, and Alt+Enter gives none.
  allowed_fullscreen_mode = -1;
  press();
  EXPECT_EQ(fullscreen_request.load(), -1);
  EXPECT_EQ(read_all(), std::vector<std::string>{});
  allowed_fullscreen_mode = 0;
  allowed_fullscreen_smooth = 0;
  fullscreen_mode = 0;
}

TEST_F(keyboard_fixture, ring_between_two_threads_keeps_every_key_in_order) {
  // The window thread deposits a burst far faster than the program thread reads; the
  // keys beyond the ring wait, and nothing may be lost, doubled or reordered.
  constexpr int keys = 3000;
  std::atomic<bool> done{false};
  std::thread producer([&] {
    for (int i = 0; i < keys; ++i) type('a' + i % 26);
    done = true;
  });
  std::string received;
  uint32_t mark = temp_count;
  while (received.size() < static_cast<size_t>(keys)) {
    rt_string* key = read_key();
    if (key->len == 1) received += static_cast<char>(key->chars[0]);
    string_release_temporaries(mark, 0);
  }
  producer.join();
  ASSERT_EQ(received.size(), static_cast<size_t>(keys));
  for (int i = 0; i < keys; ++i) ASSERT_EQ(received[i], 'a' + i % 26) << i;
}

}  // namespace
