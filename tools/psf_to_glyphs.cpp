// Glyph converter: writes the built-in 8x8 and 8x16 code-page-437 glyph tables from packaged PSF fonts.
//
// Usage: psf_to_glyphs FONT_DIR OUTPUT.cpp
// The 8x16 set comes from default8x16.psf.gz (the VGA ROM shapes). For 8x8 no packaged
// font is in code-page-437 order, so each code point is looked up through the Unicode
// tables of several 8x8 fonts, first match wins; code 0 and 255 are blank.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "runtime/console/code_page.h"

namespace {

struct psf_font {
  int height = 0;
  int count = 0;
  std::vector<uint8_t> bitmaps;          // count * height bytes, one byte per row
  std::map<uint32_t, int> glyph_of;      // Unicode code point -> glyph index
};

bool read_gzip(const std::string& path, std::vector<uint8_t>& out) {
  std::string command = "gzip -dc '" + path + "'";
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return false;
  uint8_t chunk[65536];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, pipe)) > 0) out.insert(out.end(), chunk, chunk + n);
  return pclose(pipe) == 0 && !out.empty();
}

// PSF version 1 (the console-data fonts): 4-byte header, glyphs, optional 16-bit Unicode table.
bool load_psf1(const std::string& path, psf_font& font) {
  std::vector<uint8_t> data;
  if (!read_gzip(path, data) || data.size() < 4 || data[0] != 0x36 || data[1] != 0x04) return false;
  int mode = data[2];
  font.height = data[3];
  font.count = (mode & 1) ? 512 : 256;
  size_t glyph_bytes = static_cast<size_t>(font.count) * font.height;
  if (data.size() < 4 + glyph_bytes) return false;
  font.bitmaps.assign(data.begin() + 4, data.begin() + 4 + glyph_bytes);
  if (mode & 2) {
    size_t pos = 4 + glyph_bytes;
    for (int glyph = 0; glyph < font.count && pos + 1 < data.size(); ++glyph) {
      bool in_sequence = false;
      while (pos + 1 < data.size()) {
        uint16_t value = static_cast<uint16_t>(data[pos] | (data[pos + 1] << 8));
        pos += 2;
        if (value == 0xFFFF) break;
        if (value == 0xFFFE) in_sequence = true;
        if (!in_sequence && !font.glyph_of.count(value)) font.glyph_of[value] = glyph;
      }
    }
  }
  return true;
}

// Expands one glyph to one byte per pixel (0 or 255), `rows` rows of 8.
void expand(const psf_font& font, int glyph, uint8_t* out) {
  for (int row = 0; row < font.height; ++row) {
    uint8_t bits = font.bitmaps[static_cast<size_t>(glyph) * font.height + row];
    for (int x = 0; x < 8; ++x) out[row * 8 + x] = (bits & (0x80 >> x)) ? 255 : 0;
  }
}

// Fills `out` (256 glyphs of height h) by Unicode look-up through `fonts`, first match wins.
// Codes no font has are listed in `missing_codes`.
int fill_by_unicode(const std::vector<psf_font>& fonts, int h, std::vector<uint8_t>& out,
                    std::vector<int>* missing_codes = nullptr) {
  out.assign(256 * 8 * h, 0);
  int missing = 0;
  for (int code = 1; code < 255; ++code) {
    bool found = false;
    for (const psf_font& font : fonts) {
      auto it = font.glyph_of.find(code_page_437[code]);
      if (it == font.glyph_of.end()) continue;
      expand(font, it->second, &out[static_cast<size_t>(code) * 8 * h]);
      found = true;
      break;
    }
    if (!found) {
      if (missing_codes) {
        missing_codes->push_back(code);
      } else {
        std::fprintf(stderr, "psf_to_glyphs: no 8x%d glyph for code %d (U+%04X)\n", h, code,
                     static_cast<unsigned>(code_page_437[code]));
      }
      ++missing;
    }
  }
  return missing;
}

void write_table(FILE* out, const char* name, const std::vector<uint8_t>& bytes) {
  std::fprintf(out, "extern const uint8_t %s[%zu];\nconst uint8_t %s[%zu] = {\n", name, bytes.size(), name,
               bytes.size());
  for (size_t i = 0; i < bytes.size(); ++i) {
    std::fprintf(out, "%s%s", bytes[i] ? "255" : "0", (i + 1) % 32 == 0 ? ",\n" : ",");
  }
  std::fprintf(out, "};\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: psf_to_glyphs FONT_DIR OUTPUT.cpp\n");
    return 2;
  }
  std::string dir = argv[1];

  psf_font vga16;
  if (!load_psf1(dir + "/default8x16.psf.gz", vga16) || vga16.height != 16) {
    std::fprintf(stderr, "psf_to_glyphs: cannot read %s/default8x16.psf.gz\n", dir.c_str());
    return 1;
  }
  std::vector<uint8_t> glyphs16;
  if (fill_by_unicode({vga16}, 16, glyphs16) != 0) return 1;

  std::vector<psf_font> fonts8;
  for (const char* name : {"cp857-8x8.psf.gz", "iso01.f08.psf.gz", "iso02.f08.psf.gz", "Cyr_a8x8.psf.gz",
                           "ruscii_8x8.psf.gz", "koi8u_8x8.psf.gz", "iso07.f08.psf.gz"}) {
    psf_font font;
    if (load_psf1(dir + "/" + name, font) && font.height == 8 && !font.glyph_of.empty()) fonts8.push_back(font);
  }
  if (fonts8.empty()) {
    std::fprintf(stderr, "psf_to_glyphs: no 8x8 font with a Unicode table in %s\n", dir.c_str());
    return 1;
  }
  std::vector<uint8_t> glyphs8;
  std::vector<int> missing8;
  fill_by_unicode(fonts8, 8, glyphs8, &missing8);
  // The few symbols no 8x8 font has (peseta, florin, infinity, ...) are the 8x16 shape
  // with each pair of rows merged.
  for (int code : missing8) {
    for (int row = 0; row < 8; ++row) {
      for (int x = 0; x < 8; ++x) {
        size_t top = static_cast<size_t>(code) * 128 + (2 * row) * 8 + x;
        glyphs8[static_cast<size_t>(code) * 64 + row * 8 + x] = (glyphs16[top] | glyphs16[top + 8]) ? 255 : 0;
      }
    }
  }

  FILE* out = std::fopen(argv[2], "w");
  if (!out) return 1;
  std::fprintf(out, "// Generated by tools/psf_to_glyphs from the packaged console fonts. Do not edit.\n");
  std::fprintf(out, "#include <cstdint>\n");
  write_table(out, "builtin_glyphs_8x8", glyphs8);
  write_table(out, "builtin_glyphs_8x16", glyphs16);
  return std::fclose(out) == 0 ? 0 : 1;
}
