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

namespace {

// Unicode code points of code page 437, by byte.
const uint16_t cp437_unicode[256] = {
    0x0000, 0x263A, 0x263B, 0x2665, 0x2666, 0x2663, 0x2660, 0x2022, 0x25D8, 0x25CB, 0x25D9, 0x2642, 0x2640,
    0x266A, 0x266B, 0x263C, 0x25BA, 0x25C4, 0x2195, 0x203C, 0x00B6, 0x00A7, 0x25AC, 0x21A8, 0x2191, 0x2193,
    0x2192, 0x2190, 0x221F, 0x2194, 0x25B2, 0x25BC, 0x0020, 0x0021, 0x0022, 0x0023, 0x0024, 0x0025, 0x0026,
    0x0027, 0x0028, 0x0029, 0x002A, 0x002B, 0x002C, 0x002D, 0x002E, 0x002F, 0x0030, 0x0031, 0x0032, 0x0033,
    0x0034, 0x0035, 0x0036, 0x0037, 0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F, 0x0040,
    0x0041, 0x0042, 0x0043, 0x0044, 0x0045, 0x0046, 0x0047, 0x0048, 0x0049, 0x004A, 0x004B, 0x004C, 0x004D,
    0x004E, 0x004F, 0x0050, 0x0051, 0x0052, 0x0053, 0x0054, 0x0055, 0x0056, 0x0057, 0x0058, 0x0059, 0x005A,
    0x005B, 0x005C, 0x005D, 0x005E, 0x005F, 0x0060, 0x0061, 0x0062, 0x0063, 0x0064, 0x0065, 0x0066, 0x0067,
    0x0068, 0x0069, 0x006A, 0x006B, 0x006C, 0x006D, 0x006E, 0x006F, 0x0070, 0x0071, 0x0072, 0x0073, 0x0074,
    0x0075, 0x0076, 0x0077, 0x0078, 0x0079, 0x007A, 0x007B, 0x007C, 0x007D, 0x007E, 0x2302, 0x00C7, 0x00FC,
    0x00E9, 0x00E2, 0x00E4, 0x00E0, 0x00E5, 0x00E7, 0x00EA, 0x00EB, 0x00E8, 0x00EF, 0x00EE, 0x00EC, 0x00C4,
    0x00C5, 0x00C9, 0x00E6, 0x00C6, 0x00F4, 0x00F6, 0x00F2, 0x00FB, 0x00F9, 0x00FF, 0x00D6, 0x00DC, 0x00A2,
    0x00A3, 0x00A5, 0x20A7, 0x0192, 0x00E1, 0x00ED, 0x00F3, 0x00FA, 0x00F1, 0x00D1, 0x00AA, 0x00BA, 0x00BF,
    0x2310, 0x00AC, 0x00BD, 0x00BC, 0x00A1, 0x00AB, 0x00BB, 0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561,
    0x2562, 0x2556, 0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510, 0x2514, 0x2534, 0x252C,
    0x251C, 0x2500, 0x253C, 0x255E, 0x255F, 0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B, 0x256A, 0x2518, 0x250C, 0x2588, 0x2584,
    0x258C, 0x2590, 0x2580, 0x03B1, 0x00DF, 0x0393, 0x03C0, 0x03A3, 0x03C3, 0x00B5, 0x03C4, 0x03A6, 0x0398,
    0x03A9, 0x03B4, 0x221E, 0x03C6, 0x03B5, 0x2229, 0x2261, 0x00B1, 0x2265, 0x2264, 0x2320, 0x2321, 0x00F7,
    0x2248, 0x00B0, 0x2219, 0x00B7, 0x221A, 0x207F, 0x00B2, 0x25A0, 0x00A0};

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
      auto it = font.glyph_of.find(cp437_unicode[code]);
      if (it == font.glyph_of.end()) continue;
      expand(font, it->second, &out[static_cast<size_t>(code) * 8 * h]);
      found = true;
      break;
    }
    if (!found) {
      if (missing_codes) {
        missing_codes->push_back(code);
      } else {
        std::fprintf(stderr, "psf_to_glyphs: no 8x%d glyph for code %d (U+%04X)\n", h, code, cp437_unicode[code]);
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
