// Icon painter: draws the program's icon from one set of shapes as SVG, as a 64x64 PNG and as the window's pixel table.
//
// Usage: draw_icon OUT_DIR ICON_NAME
// Writes OUT_DIR/ICON_NAME.svg, OUT_DIR/ICON_NAME.png and OUT_DIR/window_icon.cpp. The icon
// is a small monitor whose screen shows the spectrum from 380 nm to 780 nm, each wavelength
// as high as the calculator's own table says its full colour is bright. Every output is
// made from the same shapes, so the menu, the task bar and the window show one picture.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/segment_data.h"
#include "app/spectrum_colour.h"

namespace {

// A rectangle with rounded corners in the icon's 64 x 64 design grid.
struct shape {
  double x, y, w, h, r;
  uint32_t rgb;
};

const double design_size = 64;

// Brightness (0 to 100) of the full colour of a wavelength, from the calculator's segment table.
double table_brightness(double nm) {
  std::vector<double> items;
  for (const char* p = segment_data; p < segment_data + segment_data_length;) {
    char* stop = nullptr;
    items.push_back(std::strtod(p, &stop));
    p = stop + 1;  // the comma after each item
  }
  for (size_t k = 0; k + 5 < items.size(); k += 6)
    if (items[k] <= nm && nm <= items[k + 1])
      return items[k + 2] + nm * items[k + 3] + nm * nm * items[k + 4] + nm * nm * nm * items[k + 5];
  return 0;
}

std::vector<shape> icon_shapes() {
  std::vector<shape> shapes = {
      {2, 2, 60, 60, 9, 0x555555},  // case outline
      {3, 3, 58, 58, 8, 0xAAAAAA},  // case, the text screen's light grey
      {7, 7, 50, 50, 3, 0x000000},  // screen
  };
  const int bars = 48;
  const double left = 8, base = 52, tallest = 40;
  for (int i = 0; i < bars; ++i) {
    double nm = 380 + (i + 0.5) * 400.0 / bars;
    double h = tallest * std::min(1.0, std::max(0.0, table_brightness(nm) / 100));
    shapes.push_back({left + i, base - h, 1, h, 0, spectrum_rgb(nm)});
  }
  shapes.push_back({8, 53, 48, 1, 0, 0xAAAAAA});  // axis
  return shapes;
}

bool covers(const shape& s, double px, double py) {
  if (px < s.x || py < s.y || px >= s.x + s.w || py >= s.y + s.h) return false;
  if (s.r <= 0) return true;
  double cx = std::min(std::max(px, s.x + s.r), s.x + s.w - s.r);
  double cy = std::min(std::max(py, s.y + s.r), s.y + s.h - s.r);
  return (px - cx) * (px - cx) + (py - cy) * (py - cy) <= s.r * s.r;
}

// The icon at size x size pixels as non-premultiplied 0xAARRGGBB, row by row. Each pixel
// averages 8 x 8 samples, so edges and the bars' tops are smooth at every size.
std::vector<uint32_t> rasterise(const std::vector<shape>& shapes, int size) {
  const int sub = 8;
  double scale = design_size / size;
  std::vector<uint32_t> pixels;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      double r = 0, g = 0, b = 0, a = 0;
      for (int sy = 0; sy < sub; ++sy)
        for (int sx = 0; sx < sub; ++sx) {
          double px = (x + (sx + 0.5) / sub) * scale, py = (y + (sy + 0.5) / sub) * scale;
          for (size_t k = shapes.size(); k-- > 0;)
            if (covers(shapes[k], px, py)) {
              r += shapes[k].rgb >> 16 & 255, g += shapes[k].rgb >> 8 & 255, b += shapes[k].rgb & 255, a += 1;
              break;
            }
        }
      uint32_t pixel = 0;
      if (a > 0) {
        auto channel = [a](double sum) { return static_cast<uint32_t>(std::lround(sum / a)); };
        pixel = static_cast<uint32_t>(std::lround(255 * a / (sub * sub))) << 24 | channel(r) << 16 |
                channel(g) << 8 | channel(b);
      }
      pixels.push_back(pixel);
    }
  return pixels;
}

std::string svg_text(const std::vector<shape>& shapes) {
  std::string text =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"64\" height=\"64\" viewBox=\"0 0 64 64\">\n";
  for (const shape& s : shapes) {
    char line[200];
    std::snprintf(line, sizeof line, "  <rect x=\"%g\" y=\"%.4g\" width=\"%g\" height=\"%.4g\"%s fill=\"#%06X\"/>\n", s.x,
                  s.y, s.w, s.h, s.r > 0 ? (" rx=\"" + std::to_string(static_cast<int>(s.r)) + "\"").c_str() : "",
                  s.rgb);
    text += line;
  }
  return text + "</svg>\n";
}

// ---- PNG: RGBA, 8 bits per channel, in stored (uncompressed) deflate blocks ----------

uint32_t crc32_of(const std::string& bytes) {
  uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : bytes) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
  }
  return ~crc;
}

void put_be32(std::string& out, uint32_t v) {
  for (int shift = 24; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift & 255);
}

void put_chunk(std::string& out, const char* type, const std::string& data) {
  put_be32(out, static_cast<uint32_t>(data.size()));
  std::string typed = std::string(type) + data;
  out += typed;
  put_be32(out, crc32_of(typed));
}

std::string png_bytes(const std::vector<uint32_t>& pixels, int size) {
  std::string raw;  // each row: filter type 0, then R G B A per pixel
  for (int y = 0; y < size; ++y) {
    raw += '\0';
    for (int x = 0; x < size; ++x) {
      uint32_t p = pixels[static_cast<size_t>(y) * size + x];
      raw += static_cast<char>(p >> 16 & 255), raw += static_cast<char>(p >> 8 & 255);
      raw += static_cast<char>(p & 255), raw += static_cast<char>(p >> 24 & 255);
    }
  }
  std::string zlib = "\x78\x01";
  for (size_t at = 0; at < raw.size() || at == 0; at += 65535) {
    size_t n = std::min<size_t>(65535, raw.size() - at);
    zlib += static_cast<char>(at + n == raw.size() ? 1 : 0);
    zlib += static_cast<char>(n & 255), zlib += static_cast<char>(n >> 8);
    zlib += static_cast<char>(~n & 255), zlib += static_cast<char>((~n >> 8) & 255);
    zlib += raw.substr(at, n);
  }
  uint32_t a = 1, b = 0;
  for (unsigned char c : raw) a = (a + c) % 65521, b = (b + a) % 65521;
  put_be32(zlib, b << 16 | a);

  std::string header;
  put_be32(header, static_cast<uint32_t>(size));
  put_be32(header, static_cast<uint32_t>(size));
  header += std::string("\x08\x06\x00\x00\x00", 5);  // 8 bits, RGBA, deflate, no filter, no interlace
  std::string out = "\x89PNG\r\n\x1a\n";
  put_chunk(out, "IHDR", header);
  put_chunk(out, "IDAT", zlib);
  put_chunk(out, "IEND", "");
  return out;
}

// The window's icon property holds width, height and the pixels for each size in turn.
std::string window_icon_source(const std::vector<shape>& shapes) {
  std::string text =
      "// The window icon in the layout of the _NET_WM_ICON property (made by tools/draw_icon).\n"
      "#include <cstddef>\n#include <cstdint>\n\nextern const uint32_t window_icon_cardinals[] = {\n";
  size_t count = 0;
  for (int size : {64, 32, 16}) {
    text += "  " + std::to_string(size) + ", " + std::to_string(size) + ",\n";
    std::vector<uint32_t> pixels = rasterise(shapes, size);
    for (size_t k = 0; k < pixels.size(); ++k) {
      char item[16];
      std::snprintf(item, sizeof item, "0x%08X,", pixels[k]);
      text += (k % 8 == 0 ? "  " : " ") + std::string(item) + (k % 8 == 7 ? "\n" : "");
    }
    count += 2 + pixels.size();
  }
  return text + "};\nextern const size_t window_icon_cardinal_count = " + std::to_string(count) + ";\n";
}

bool write_file(const std::string& path, const std::string& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
  return std::fclose(f) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: draw_icon OUT_DIR ICON_NAME\n");
    return 2;
  }
  std::string dir = argv[1], name = argv[2];
  std::vector<shape> shapes = icon_shapes();
  bool ok = write_file(dir + "/" + name + ".svg", svg_text(shapes)) &&
            write_file(dir + "/" + name + ".png", png_bytes(rasterise(shapes, 64), 64)) &&
            write_file(dir + "/window_icon.cpp", window_icon_source(shapes));
  if (!ok) {
    std::perror("draw_icon");
    return 1;
  }
  return 0;
}
