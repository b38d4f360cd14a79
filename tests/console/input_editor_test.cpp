// The INPUT line editor on the screen cells in memory, fed through the key ring.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "runtime/console/input.h"
#include "runtime/console/key_ring.h"
#include "runtime/console/print.h"
#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/shared_words.h"
#include "runtime/ground/sleeping.h"
#include "runtime/values/strings.h"
#include "support/runtime_strings.h"

namespace {

constexpr int32_t up = 0x4800, left = 0x4B00, home = 0x4700, end_key = 0x4F00, insert = 0x5200,
                  delete_key = 0x5300, f1 = 0x3B00;

// Key codes for a text, one per byte.
std::vector<int32_t> keys_of(const std::string& text) {
  std::vector<int32_t> codes;
  for (unsigned char c : text) codes.push_back(c);
  return codes;
}

std::vector<int32_t> operator+(std::vector<int32_t> a, const std::vector<int32_t>& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// Types keys from another thread, as the window thread would, waiting for room in the ring.
// A key as the keyboard puts it into the ring: a character, or an extended code's scan code.
void put_key(int32_t code) {
  if (code < 256) {
    bios_key_put(static_cast<uint8_t>(code), 0);
  } else {
    bios_key_put(0, static_cast<uint8_t>(code >> 8));
  }
}

class key_feeder {
 public:
  explicit key_feeder(std::vector<int32_t> codes)
      : thread_([this, codes] {
          for (int32_t code : codes) {
            while (bios_key_count() >= 15) sleep_ms(1);
            if (code == 13) {
              // The keys may all be queued before the editor starts: wait (bounded) until it
              // runs and has switched automatic display on before looking at the word.
              for (int waited = 0; waited < 5000 && auto_display.load() != 1; ++waited) sleep_ms(1);
              auto_display_while_typing = auto_display.load();
            }
            put_key(code);
          }
        }) {}
  ~key_feeder() { thread_.join(); }
  std::atomic<int32_t> auto_display_while_typing{-99};

 private:
  std::thread thread_;
};

std::string row_text(int32_t row) {
  std::string text;
  for (int32_t col = 1; col <= write_target->width; ++col) text += static_cast<char>(*text_cell(write_target, row, col));
  return text;
}

class input_editor_fixture : public strings_test {
 protected:
  void SetUp() override {
    strings_test::SetUp();
    key_buffer_startup();
    screen_startup();
    key_ring_clear();
    stop_all = 0;
    auto_display = 1;
  }
  void TearDown() override {
    strings_test::TearDown();
    EXPECT_EQ(temp_count, mark) << "the editor left temporaries behind";
  }

  static void locate(int32_t row, int32_t col) { cursor_locate(row, col, 0, 0, 0, 3); }
  static void print(const std::string& text) {
    print_text(string_from_text_len(text.data(), static_cast<int32_t>(text.size())), 0);
  }

  // Runs INPUT into one string with the keys typed by another thread.
  std::string input_string(const std::vector<int32_t>& keys, uint32_t type = input_type_string,
                           uint8_t line_end = 1) {
    rt_string* destination = string_new(0, false);
    input_dest_ptrs[1] = destination;
    input_dest_types[1] = type;
    {
      key_feeder feeder(keys);
      input_statement(1, line_end);
    }
    std::string result = text_of(destination);
    string_free(destination);
    return result;
  }
};

TEST_F(input_editor_fixture, wavelength_line_is_stored_and_the_cursor_moves_down) {
  locate(5, 1);
  print("Wellenlaenge");
  print("? ");
  EXPECT_EQ(input_string(keys_of("550.5\r")), "550.5");
  EXPECT_EQ(row_text(5).substr(0, 20), "Wellenlaenge? 550.5 ");
  EXPECT_EQ(write_target->cursor_row, 6);
  EXPECT_EQ(write_target->cursor_col, 1);
  EXPECT_EQ(write_target->wrap_pending, 0);
}

TEST_F(input_editor_fixture, editor_state_is_restored_at_enter) {
  write_target->cursor_visible = 0;
  int32_t read_before = get_read_source();
  locate(2, 1);
  input_string(keys_of("x\r"));
  EXPECT_EQ(write_target->cursor_visible, 0);
  EXPECT_EQ(get_read_source(), read_before);
  EXPECT_EQ(auto_display.load(), 1);
}

TEST_F(input_editor_fixture, manual_display_asks_for_one_last_frame) {
  // Stand-in for the frame builder: it answers a request for one frame by resetting the word.
  auto_display = 0;
  std::atomic<bool> quit{false};
  std::thread frame_builder([&] {
    while (!quit) {
      int32_t expected = -1;
      auto_display.compare_exchange_strong(expected, 0);
      sleep_ms(1);
    }
  });
  rt_string* destination = string_new(0, false);
  input_dest_ptrs[1] = destination;
  input_dest_types[1] = input_type_string;
  int32_t while_typing;
  {
    key_feeder feeder(keys_of("ok\r"));
    input_statement(1, 1);
    while_typing = feeder.auto_display_while_typing.load();
  }
  quit = true;
  frame_builder.join();
  EXPECT_EQ(while_typing, 1);
  EXPECT_EQ(auto_display.load(), 0);
  EXPECT_EQ(text_of(destination), "ok");
  string_free(destination);
}

TEST_F(input_editor_fixture, backspace_after_a_wrap_redraws_both_rows) {
  locate(3, 1);
  print(std::string(74, '.'));  // the echo starts in column 75
  std::vector<int32_t> keys = keys_of("abcdefghij") + std::vector<int32_t>(5, 8);
  rt_string* destination = string_new(0, false);
  input_dest_ptrs[1] = destination;
  input_dest_types[1] = input_type_string;
  {
    key_feeder feeder(keys + keys_of("\r"));
    input_statement(1, 0);
  }
  EXPECT_EQ(text_of(destination), "abcde");
  EXPECT_EQ(row_text(3), std::string(74, '.') + "abcde ");
  EXPECT_EQ(row_text(4), std::string(80, ' '));
  EXPECT_EQ(write_target->cursor_row, 3);
  EXPECT_EQ(write_target->cursor_col, 80);
  string_free(destination);
}

TEST_F(input_editor_fixture, backspace_after_a_scroll_rebuilds_the_screen_before_it) {
  locate(23, 1);
  print("marker");
  locate(24, 1);
  print(std::string(74, '-'));
  std::vector<int32_t> keys = keys_of("abcdefghij");
  rt_string* destination = string_new(0, false);
  input_dest_ptrs[1] = destination;
  input_dest_types[1] = input_type_string;
  {
    // The tenth key makes the echo wrap below row 24: the region scrolls. Backspace
    // then goes back to the screen as it was before the first key.
    key_feeder feeder(keys + std::vector<int32_t>(5, 8) + keys_of("\r"));
    input_statement(1, 0);
  }
  EXPECT_EQ(text_of(destination), "abcde");
  EXPECT_EQ(row_text(23).substr(0, 7), "marker ");
  EXPECT_EQ(row_text(24), std::string(74, '-') + "abcde ");
  EXPECT_EQ(write_target->cursor_row, 24);
  EXPECT_EQ(write_target->cursor_col, 80);
  string_free(destination);
}

TEST_F(input_editor_fixture, scroll_stays_while_the_line_stays_long) {
  locate(23, 1);
  print("marker");
  locate(24, 1);
  print(std::string(74, '-'));
  EXPECT_EQ(input_string(keys_of("abcdefghijk") + keys_of("\x08\r"), input_type_string, 0), "abcdefghij");
  EXPECT_EQ(row_text(22).substr(0, 7), "marker ");
  EXPECT_EQ(row_text(23), std::string(74, '-') + "abcdef");
  EXPECT_EQ(row_text(24).substr(0, 6), "ghij  ");
}

TEST_F(input_editor_fixture, last_column_then_backspace_then_a_key_stays_on_the_row) {
  locate(10, 1);
  print(std::string(70, '='));  // echo from column 71: ten keys fill the row
  EXPECT_EQ(input_string(keys_of("0123456789") + keys_of("\x08Z\r"), input_type_string, 0), "012345678Z");
  EXPECT_EQ(row_text(10), std::string(70, '=') + "012345678Z");
  EXPECT_EQ(row_text(11), std::string(80, ' '));
  EXPECT_EQ(write_target->cursor_row, 10);
  EXPECT_EQ(write_target->cursor_col, 80);
  EXPECT_EQ(write_target->wrap_pending, 1);
}

TEST_F(input_editor_fixture, full_row_with_line_end_advances_one_line) {
  locate(10, 1);
  print(std::string(70, '='));
  EXPECT_EQ(input_string(keys_of("0123456789\r")), "0123456789");
  EXPECT_EQ(write_target->cursor_row, 11);
  EXPECT_EQ(write_target->cursor_col, 1);
  EXPECT_EQ(row_text(11), std::string(80, ' '));
}

TEST_F(input_editor_fixture, keys_and_their_effects) {
  struct key_case {
    const char* name;
    std::vector<int32_t> keys;
    std::string stored;
    std::string echo;  // the start of the row after the prompt
  };
  const key_case cases[] = {
      {"tab after three letters", keys_of("abc\td\r"), "abc     d", "abc     d "},
      {"tab on an empty line", keys_of("\tx\r"), "        x", "        x "},
      {"navigation keys do nothing", {'1', up, left, home, end_key, insert, delete_key, f1, '2', 13}, "12", "12 "},
      {"backspace on an empty line", keys_of("\x08\x08x\r"), "x", "x "},
      {"ignored control keys", {'a', 10, 11, 12, 28, 29, 30, 31, 'b', 13}, "ab", "ab "},
      {"escape is typed", keys_of("a\x1b" "b\r"), "a\x1b" "b", "a\x1b" "b "},
      {"spaces kept", keys_of("  abc  \r"), "  abc  ", "  abc   "},
      {"comma refused with one destination", keys_of("a,b\r"), "ab", "ab "},
      {"quoted field keeps its comma", keys_of("\"a,b\"\r"), "a,b", "\"a,b\" "},
      {"byte after the closing quote refused", keys_of("\"a\"x\r"), "a", "\"a\" "},
      {"empty quotes close", keys_of("\"\"x\r"), "", "\"\" "},
      {"quote inside a field is a byte", keys_of("a\"b\r"), "a\"b", "a\"b "},
      {"quotes open again after empty ones", keys_of("\"\"\"a,b\"\r"), "a,b", "\"\"\"a,b\" "},
      {"backspace over the closing quote", keys_of("\"a\"\x08" "b\r"), "ab", "\"ab "},
  };
  for (const key_case& c : cases) {
    SetUp();
    locate(7, 1);
    print("? ");
    EXPECT_EQ(input_string(c.keys), c.stored) << c.name;
    EXPECT_EQ(row_text(7).substr(2, c.echo.size()), c.echo) << c.name;
    EXPECT_EQ(write_target->cursor_row, 8) << c.name;
  }
}

TEST_F(input_editor_fixture, line_form_takes_commas_and_quotes) {
  locate(1, 1);
  EXPECT_EQ(input_string(keys_of("a,\"b\",c\r"), input_type_string | input_type_line), "a,\"b\",c");
  EXPECT_EQ(input_dest_types[1], input_type_whole_line);
}

TEST_F(input_editor_fixture, numeric_destinations_refuse_keys_on_the_screen) {
  locate(4, 1);
  int16_t value = 77;
  input_dest_ptrs[1] = &value;
  input_dest_types[1] = 16;
  {
    key_feeder feeder(keys_of("3x2768\r"));
    input_statement(1, 1);
  }
  EXPECT_EQ(value, 3276);
  EXPECT_EQ(row_text(4).substr(0, 6), "3276  ");
  EXPECT_EQ(write_target->cursor_row, 5);
}

TEST_F(input_editor_fixture, several_destinations) {
  locate(1, 1);
  int16_t number = 5;
  rt_string* text = string_new(0, false);
  double real = 9;
  char fixed_bytes[3] = {'q', 'q', 'q'};
  rt_string* fixed = string_new_fixed(reinterpret_cast<uint8_t*>(fixed_bytes), 3, false);
  input_dest_ptrs[1] = &number;
  input_dest_types[1] = 16;
  input_dest_ptrs[2] = text;
  input_dest_types[2] = input_type_string;
  input_dest_ptrs[3] = &real;
  input_dest_types[3] = 64 | input_type_float;
  input_dest_ptrs[4] = fixed;
  input_dest_types[4] = input_type_string;
  {
    // The space after the closing quote and the fourth field's d are refused.
    key_feeder feeder(keys_of("12,\"x,y\" ,2.5,abcd\r"));
    input_statement(4, 1);
  }
  EXPECT_EQ(number, 12);
  EXPECT_EQ(text_of(text), "x,y");
  EXPECT_EQ(real, 2.5);
  EXPECT_EQ(std::string(fixed_bytes, 3), "abc");
  EXPECT_EQ(row_text(1).substr(0, 20), "12,\"x,y\",2.5,abc    ");
  string_free(text);
  string_free(fixed);
}

TEST_F(input_editor_fixture, fields_not_typed_keep_the_cleared_value) {
  locate(1, 1);
  int32_t first = 1, second = 2;
  double third = 3;
  char fixed_bytes[3] = {'q', 'q', 'q'};
  rt_string* fixed = string_new_fixed(reinterpret_cast<uint8_t*>(fixed_bytes), 3, false);
  input_dest_ptrs[1] = &first;
  input_dest_types[1] = 32;
  input_dest_ptrs[2] = &second;
  input_dest_types[2] = 32;
  input_dest_ptrs[3] = &third;
  input_dest_types[3] = 64 | input_type_float;
  input_dest_ptrs[4] = fixed;
  input_dest_types[4] = input_type_string;
  {
    key_feeder feeder(keys_of("-7,8,9,abcd,z\r"));
    input_statement(4, 1);
  }
  EXPECT_EQ(first, -7);
  EXPECT_EQ(second, 8);
  EXPECT_EQ(third, 9);
  EXPECT_EQ(std::string(fixed_bytes, 3), "abc");  // d and the fifth field are refused

  {
    // The second field, typed and taken back again, ends cleared too.
    key_feeder feeder(keys_of("4,5\x08\x08\r"));
    input_statement(4, 1);
  }
  EXPECT_EQ(first, 4);
  EXPECT_EQ(second, 0);
  EXPECT_EQ(third, 0);
  EXPECT_EQ(std::string(fixed_bytes, 3), "   ");
  string_free(fixed);
}

TEST_F(input_editor_fixture, pending_error_leaves_everything_alone) {
  locate(1, 1);
  rt_string* destination = string_new(0, false);
  string_assign(destination, string_from_text("old"));
  input_dest_ptrs[1] = destination;
  input_dest_types[1] = input_type_string;
  pending_error = 5;
  input_statement(1, 1);
  pending_error = 0;
  event_pending = 0;
  EXPECT_EQ(text_of(destination), "old");
  EXPECT_EQ(write_target->cursor_row, 1);
  string_free(destination);
}

TEST_F(input_editor_fixture, shutdown_returns_at_once) {
  locate(1, 1);
  rt_string* destination = string_new(0, false);
  input_dest_ptrs[1] = destination;
  input_dest_types[1] = input_type_string;
  std::thread shutdown([] {
    while (bios_key_count() >= 15) sleep_ms(1);
    put_key('a');
    while (bios_key_count() > 0) sleep_ms(1);
    sleep_ms(30);
    stop_all = 1;
    key_waiters_wake();  // as the frame thread does when shutdown begins
  });
  input_statement(1, 1);
  shutdown.join();
  stop_all = 0;
  EXPECT_EQ(text_of(destination), "a");
  EXPECT_EQ(write_target->cursor_row, 1);  // no line end at shutdown
  string_free(destination);
}

TEST_F(input_editor_fixture, randomize_asks_for_a_signed_16_bit_seed) {
  locate(2, 1);
  int16_t seed = 99;
  {
    key_feeder feeder(keys_of("-40000\r"));
    randomize_prompt(&seed);
  }
  EXPECT_EQ(seed, -4000);
  EXPECT_EQ(row_text(2).substr(0, 45), "Random-number seed (-32768 to 32767)? -4000  ");
  EXPECT_EQ(write_target->cursor_row, 3);
}

TEST_F(input_editor_fixture, console_page_reads_standard_input) {
  // The console page takes its keys from standard input, byte by byte; a line feed is Enter.
  int pipe_ends[2];
  ASSERT_EQ(pipe(pipe_ends), 0);
  int saved_stdin = dup(0);
  ASSERT_GE(saved_stdin, 0);
  ASSERT_EQ(dup2(pipe_ends[0], 0), 0);
  const std::string typed = "ab\bc,d\n";
  ASSERT_EQ(write(pipe_ends[1], typed.data(), typed.size()), static_cast<ssize_t>(typed.size()));
  int32_t page = console_page_new();
  int32_t screen_page = get_write_target();
  set_write_target(-page);
  rt_string* destination = string_new(0, false);
  input_dest_ptrs[1] = destination;
  input_dest_types[1] = input_type_string;
  input_statement(1, 1);
  set_write_target(screen_page);
  image_free(-page, 1);
  dup2(saved_stdin, 0);
  close(saved_stdin);
  close(pipe_ends[0]);
  close(pipe_ends[1]);
  EXPECT_EQ(text_of(destination), "acd");  // Backspace took b back; the comma was refused
  string_free(destination);
}

}  // namespace
