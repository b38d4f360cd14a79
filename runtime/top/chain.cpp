// CHAIN hand-over (keeps the receiving end: the hand-over file named at the end of the command line).
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "runtime/top/chain.h"

#include "runtime/console/screen.h"
#include "runtime/ground/errors.h"
#include "runtime/ground/program_settings.h"
#include "runtime/ground/shared_words.h"
#include "runtime/values/strings.h"

const char chain_tag[] = "(unique-tag:=/@*$+-)";

namespace {

// A view of the hand-over file's bytes; every read is checked against its size, so a
// truncated or damaged file stops the hand-over instead of reading past the end.
struct handover_reader {
  const uint8_t* bytes;
  size_t size;
  size_t position;

  // The next `count` bytes in place, or null when the file ends first.
  const uint8_t* take(size_t count) {
    if (size - position < count) return nullptr;
    position += count;
    return bytes + position - count;
  }
  bool read_bytes(void* out, size_t count) {
    const uint8_t* from = take(count);
    if (!from) return false;
    if (count) std::memcpy(out, from, count);
    return true;
  }
  bool read_u32(uint32_t* value) { return read_bytes(value, 4); }
  bool read_i32(int32_t* value) { return read_bytes(value, 4); }
};

constexpr size_t handover_file_limit = 64u << 20;  // far above any page set a program can hand over
constexpr uint32_t directory_limit = 65536;
constexpr size_t image_record_bytes = 192;
constexpr int32_t handover_page_limit = 255;  // highest page number a hand-over names

bool load_file(const char* name, std::vector<uint8_t>* out) {
  FILE* file = std::fopen(name, "rb");
  if (!file) return false;
  bool ok = std::fseek(file, 0, SEEK_END) == 0;
  long size = ok ? std::ftell(file) : -1;
  ok = ok && size >= 0 && static_cast<size_t>(size) <= handover_file_limit && std::fseek(file, 0, SEEK_SET) == 0;
  if (ok) {
    out->resize(static_cast<size_t>(size));
    ok = std::fread(out->data(), 1, out->size(), file) == out->size();
  }
  std::fclose(file);
  return ok;
}

// Applies the screen records; returns at the first record it cannot read or apply.
void apply_screen_records(handover_reader* reader) {
  uint32_t tag;
  if (!reader->read_u32(&tag)) return;
  if (tag == 256) {
    int32_t mode;
    if (!reader->read_i32(&mode)) return;
    if (mode) screen_set(mode, 0, 0, 0, 0, 1);
    if (pending_error || !reader->read_u32(&tag)) return;
    if (tag == 258) {
      int32_t columns, rows;
      if (!reader->read_i32(&columns) || !reader->read_i32(&rows)) return;
      // A grid the WIDTH statement would refuse is left out; the other records still apply.
      if (text_grid_allowed(columns, rows)) screen_width(0, columns, rows, 0, 0, 1 | 2);
      if (pending_error || !reader->read_u32(&tag)) return;
    }
  }
  if (tag == 257) return;  // an image as the screen needs the graphics subsystem: stop here
  if (tag == 259) {
    int32_t font;
    if (!reader->read_i32(&font)) return;
    // A font whose frame would be too large for the grid is left out, like such a WIDTH.
    if (write_target && text_frame_fits(write_target->width, text_rows(write_target), font))
      font_select(font, write_target);
    if (pending_error || !reader->read_u32(&tag)) return;
  }
  while (tag == 260) {
    int32_t page_number;
    if (!reader->read_i32(&page_number) || page_number < 0 || page_number > handover_page_limit) return;
    int32_t index = ensure_page(page_number);
    screen_image* page = pending_error ? nullptr : image_at(index);
    if (!page || !page->buffer) return;
    size_t count = static_cast<size_t>(page->width) * page->height * page->bytes_per_pixel;
    const uint8_t* cells = reader->take(count);
    if (!cells) return;
    shared_move(page->buffer, cells, count);  // the page may be on display
    uint8_t record[image_record_bytes];
    // The sender's image record carries its own pointers; the local page keeps its state.
    if (!reader->read_bytes(record, sizeof record)) return;
    if (!reader->read_u32(&tag)) return;
  }
  if (tag == 261) {
    int32_t active, visible;
    if (!reader->read_i32(&active) || !reader->read_i32(&visible)) return;
    // Pages beyond those a hand-over can carry are left out (a huge number would make a
    // page table of gigabytes); the other records still apply.
    bool in_range = active >= 0 && active <= handover_page_limit && visible >= 0 && visible <= handover_page_limit;
    if (in_range) screen_set(0, 0, active, visible, 0, 4 | 8);
    if (pending_error || !reader->read_u32(&tag)) return;
  }
  if (tag == 262) {
    uint32_t colours[256];
    if (!reader->read_bytes(colours, sizeof colours)) return;
    screen_image* page = visual_page.load();
    if (page && page->palette) {  // the frame builder reads the visible page's palette
      for (int i = 0; i < 256; ++i) shared_store(&page->palette[i], colours[i]);
      screen_changed(page);
    }
    uint32_t trailer;
    reader->read_u32(&trailer);
  }
}

// Drops `count` characters from the end of command_line.
void shorten_command_line(int32_t count) {
  int32_t length = command_line->len - count;
  if (length < 0) length = 0;
  rt_string* text = string_new(length, true);  // may move heap strings: re-read command_line->chars
  std::memcpy(text->chars, command_line->chars, static_cast<size_t>(length));
  string_assign(command_line, text);
}

}  // namespace

bool chain_handover_named(const rt_string* line) {
  if (!line || line->len < 32) return false;
  const char* text = reinterpret_cast<const char*>(line->chars);
  int32_t length = line->len;
  if (std::memcmp(text + length - 4, ".tmp", 4) != 0) return false;
  if (std::memcmp(text + length - 32, chain_tag, 20) != 0) return false;
  return std::memcmp(text + length - 12, "chain", 5) == 0;
}

std::string chain_apply(const uint8_t* bytes, size_t size) {
  handover_reader reader{bytes, size, 0};
  uint32_t ignored, directory_length;
  if (!reader.read_u32(&ignored) || !reader.read_u32(&directory_length) || directory_length >= directory_limit)
    return std::string();
  std::vector<char> directory(directory_length + 1, 0);
  if (!reader.read_bytes(directory.data(), directory_length)) return std::string();
  apply_screen_records(&reader);
  return std::string(directory.data());  // up to the first zero byte
}

void chain_handover() {
  if (!chain_handover_named(command_line)) return;
  char name[13];
  std::memcpy(name, command_line->chars + command_line->len - 12, 12);
  name[12] = 0;

  std::vector<uint8_t> bytes;
  std::string directory;
  if (load_file(name, &bytes)) {
    directory = chain_apply(bytes.data(), bytes.size());
    std::remove(name);
  }
  if (!directory.empty() && chdir(directory.c_str()) != 0) {
    // the current directory stays
  }
  shorten_command_line(32);
  if (command_line->len > 0) shorten_command_line(1);
}
