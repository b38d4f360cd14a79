// The text screen read back from a window's pixels: 8x16 cells decoded with the runtime's glyphs into codes and colours.
#include "support/screen_reader.h"

#include <algorithm>
#include <cstdint>
#include <map>

#include <X11/Xutil.h>

#include "runtime/console/fonts.h"
#include "support/wait_clock.h"

const unsigned long text_colors[16] = {0x000000, 0x0000AA, 0x00AA00, 0x00AAAA, 0xAA0000, 0xAA00AA,
                                       0xAA5500, 0xAAAAAA, 0x555555, 0x5555FF, 0x55FF55, 0x55FFFF,
                                       0xFF5555, 0xFF55FF, 0xFFFF55, 0xFFFFFF};

int nearest_text_color(unsigned long rgb) {
  int best = 0;
  long best_distance = -1;
  for (int i = 0; i < 16; ++i) {
    long dr = static_cast<long>((rgb >> 16) & 255) - static_cast<long>((text_colors[i] >> 16) & 255);
    long dg = static_cast<long>((rgb >> 8) & 255) - static_cast<long>((text_colors[i] >> 8) & 255);
    long db = static_cast<long>(rgb & 255) - static_cast<long>(text_colors[i] & 255);
    long d = dr * dr + dg * dg + db * db;
    if (best_distance < 0 || d < best_distance) {
      best_distance = d;
      best = i;
    }
  }
  return best;
}

namespace {

// One glyph as a 128-bit mask, bit (row * 8 + column), rows 0-7 in lo and 8-15 in hi.
struct glyph_mask {
  uint64_t lo = 0, hi = 0;
};

// Bits of pixel row 14, where the default text cursor is drawn.
const uint64_t cursor_row_bits = 0xFFull << 48;

const std::vector<glyph_mask>& glyph_masks() {
  static auto* masks = [] {
    auto* m = new std::vector<glyph_mask>(256);
    for (int code = 0; code < 256; ++code)
      for (int i = 0; i < 128; ++i)
        if (builtin_glyphs_8x16[code * 128 + i]) {
          if (i < 64) (*m)[code].lo |= 1ull << i;
          else (*m)[code].hi |= 1ull << (i - 64);
        }
    return m;
  }();
  return *masks;
}

// Codes in the order they are preferred when shapes coincide: printable ASCII first,
// the blank glyphs 0 and 255 last.
const std::vector<int>& glyph_order() {
  static auto* order = [] {
    auto* o = new std::vector<int>;
    for (int c = 32; c < 127; ++c) o->push_back(c);
    for (int c = 128; c < 255; ++c) o->push_back(c);
    for (int c = 1; c < 32; ++c) o->push_back(c);
    o->push_back(127);
    o->push_back(0);
    o->push_back(255);
    return o;
  }();
  return *order;
}

struct cell_candidate {
  int code, fg, bg;
};

// All readings of one cell whose pixels (colour indices, 8x16; -1 unknown) match a glyph
// exactly, ignoring the pixels outside `care` and the unknown ones.
std::vector<cell_candidate> match_cell(const int* colors, glyph_mask care) {
  for (int i = 0; i < 128; ++i)
    if (colors[i] < 0) {
      if (i < 64) care.lo &= ~(1ull << i);
      else care.hi &= ~(1ull << (i - 64));
    }
  auto cared = [&](int i) { return i < 64 ? (care.lo >> i) & 1 : (care.hi >> (i - 64)) & 1; };
  int first = -1, second = -1;
  for (int i = 0; i < 128; ++i) {
    if (!cared(i)) continue;
    int c = colors[i];
    if (first < 0 || c == first) first = c;
    else if (second < 0 || c == second) second = c;
    else return {};  // three colours: no glyph
  }
  if (first < 0) return {};  // nothing known of the cell
  if (second < 0) return {{32, -1, first}};
  glyph_mask lit;  // cared pixels in `second`
  for (int i = 0; i < 128; ++i)
    if (cared(i) && colors[i] == second) {
      if (i < 64) lit.lo |= 1ull << i;
      else lit.hi |= 1ull << (i - 64);
    }
  std::vector<cell_candidate> found;
  for (int code : glyph_order()) {
    const glyph_mask& g = glyph_masks()[code];
    uint64_t lo = g.lo & care.lo, hi = g.hi & care.hi;
    if (lo == lit.lo && hi == lit.hi) found.push_back({code, second, first});
    if (lo == (~lit.lo & care.lo) && hi == (~lit.hi & care.hi)) found.push_back({code, first, second});
  }
  return found;
}

}  // namespace

bool decode_screen(const std::vector<unsigned long>& pixels, int width, int height, int cols, int rows,
                   screen_text* out) {
  if (cols <= 0 || rows <= 0 || width < cols * 8 || height < rows * 16 ||
      pixels.size() < static_cast<size_t>(width) * height)
    return false;
  screen_text s;
  s.cols = cols;
  s.rows = rows;
  s.lines.assign(rows, std::string(cols, ' '));
  s.fg.assign(rows, std::vector<int>(cols, -1));
  s.bg.assign(rows, std::vector<int>(cols, -1));
  s.cursor.assign(rows, std::vector<bool>(cols, false));

  std::map<unsigned long, int> color_cache;
  std::vector<std::vector<std::vector<cell_candidate>>> candidates(rows, std::vector<std::vector<cell_candidate>>(cols));
  std::vector<std::vector<bool>> via_cursor(rows, std::vector<bool>(cols, false));
  int bg_votes[16] = {};
  int colors[128];
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
          unsigned long rgb = pixels[static_cast<size_t>(r * 16 + y) * width + c * 8 + x];
          if (rgb == x_unknown_pixel) {
            colors[y * 8 + x] = -1;
            continue;
          }
          rgb &= 0xFFFFFF;
          auto hit = color_cache.find(rgb);
          if (hit == color_cache.end()) hit = color_cache.emplace(rgb, nearest_text_color(rgb)).first;
          colors[y * 8 + x] = hit->second;
        }
      auto found = match_cell(colors, glyph_mask{~0ull, ~0ull});
      if (found.empty()) {
        found = match_cell(colors, glyph_mask{~0ull, ~cursor_row_bits});
        via_cursor[r][c] = !found.empty();
      }
      if (found.size() == 1) bg_votes[found[0].bg] += 1;
      candidates[r][c] = std::move(found);
    }
  // Shapes that read two ways (a glyph and its inverse in swapped colours) take the
  // reading whose background is the screen's usual one.
  int usual_bg = 0;
  for (int i = 1; i < 16; ++i)
    if (bg_votes[i] > bg_votes[usual_bg]) usual_bg = i;
  for (int r = 0; r < rows; ++r)
    for (int c = 0; c < cols; ++c) {
      const auto& found = candidates[r][c];
      if (found.empty()) {
        s.lines[r][c] = '?';
        continue;
      }
      cell_candidate pick = found[0];
      for (const auto& f : found)
        if (f.bg == usual_bg && (f.code >= 32 && f.code < 127) == (pick.code >= 32 && pick.code < 127)) {
          pick = f;
          break;
        }
      s.lines[r][c] = static_cast<char>(pick.code);
      s.fg[r][c] = pick.fg;
      s.bg[r][c] = pick.bg;
      s.cursor[r][c] = via_cursor[r][c];
      if (via_cursor[r][c] && pick.fg < 0) {
        // A blank cell under the cursor: the cursor line shows the foreground colour.
        for (int x = 0; x < 8; ++x) {
          unsigned long rgb = pixels[static_cast<size_t>(r * 16 + 14) * width + c * 8 + x];
          if (rgb == x_unknown_pixel) continue;
          int idx = nearest_text_color(rgb & 0xFFFFFF);
          if (idx != pick.bg) s.fg[r][c] = idx;
        }
      }
    }
  *out = std::move(s);
  return true;
}

namespace {

int mask_shift(unsigned long mask) {
  int shift = 0;
  while (mask && !(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return shift;
}

unsigned long mask_scale(unsigned long value, unsigned long mask) {
  // Channels narrower than 8 bits are widened to 0-255.
  unsigned long max = mask >> mask_shift(mask);
  return max ? value * 255 / max : 0;
}

}  // namespace

bool x_read_screen(Display* display, unsigned long window, int cols, int rows, screen_text* out) {
  if (!display || cols <= 0 || rows <= 0) return false;
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes) || attributes.map_state != IsViewable) return false;
  int need_w = cols * 8, need_h = rows * 16;
  if (attributes.width < need_w || attributes.height < need_h) return false;
  // Where the program draws the screen: centred at the largest whole multiple that fits.
  int kx = std::min(attributes.width / need_w, attributes.height / need_h), ky = kx;
  int left = (attributes.width - need_w * kx) / 2, top = (attributes.height - need_h * ky) / 2;
  // Only the part on the screen can be read: clip the rectangle to it.
  int root_x = 0, root_y = 0;
  Window child = 0;
  XTranslateCoordinates(display, window, attributes.root, left, top, &root_x, &root_y, &child);
  int read_w = need_w * kx, read_h = need_h * ky;
  int x0 = std::max(0, -root_x), y0 = std::max(0, -root_y);
  int x1 = std::min(read_w, attributes.screen->width - root_x);
  int y1 = std::min(read_h, attributes.screen->height - root_y);
  if (x1 <= x0 || y1 <= y0) return false;
  XImage* image = XGetImage(display, window, left + x0, top + y0, x1 - x0, y1 - y0, AllPlanes, ZPixmap);
  if (!image) return false;
  std::vector<unsigned long> pixels(static_cast<size_t>(need_w) * need_h, x_unknown_pixel);
  int rs = mask_shift(image->red_mask), gs = mask_shift(image->green_mask), bs = mask_shift(image->blue_mask);
  bool uniform = true;
  for (int y = 0; y < need_h; ++y)
    for (int x = 0; x < need_w; ++x) {
      int sx = x * kx + kx / 2, sy = y * ky + ky / 2;
      if (sx < x0 || sx >= x1 || sy < y0 || sy >= y1) continue;
      unsigned long p = XGetPixel(image, sx - x0, sy - y0);
      if (uniform && (kx > 1 || ky > 1))
        for (int by = std::max(y * ky, y0); by < std::min((y + 1) * ky, y1); ++by)
          for (int bx = std::max(x * kx, x0); bx < std::min((x + 1) * kx, x1); ++bx)
            if (XGetPixel(image, bx - x0, by - y0) != p) uniform = false;
      unsigned long r = mask_scale((p & image->red_mask) >> rs, image->red_mask);
      unsigned long g = mask_scale((p & image->green_mask) >> gs, image->green_mask);
      unsigned long b = mask_scale((p & image->blue_mask) >> bs, image->blue_mask);
      pixels[static_cast<size_t>(y) * need_w + x] = (r << 16) | (g << 8) | b;
    }
  XDestroyImage(image);
  if (!decode_screen(pixels, need_w, need_h, cols, rows, out)) return false;
  out->uniform_blocks = uniform;
  return true;
}

bool x_read_window_cells(Display* display, unsigned long window, screen_text* out) {
  int width = 0, height = 0;
  if (!x_window_size(display, window, &width, &height)) return false;
  return x_read_screen(display, window, width / 8, height / 16, out);
}

bool x_wait_screen(Display* display, unsigned long window, int cols, int rows,
                   const std::function<bool(const screen_text&)>& done, int timeout_ms, screen_text* last) {
  int64_t deadline = now_ms() + timeout_ms;
  screen_text screen;
  for (;;) {
    bool read = x_read_screen(display, window, cols, rows, &screen);
    if (read && done(screen)) {
      if (last) *last = screen;
      return true;
    }
    if (now_ms() >= deadline) {
      if (last) *last = screen;
      return false;
    }
    pause_ms(20);
  }
}
