// Hardware images (keeps the drawing surface, the texture list, the batched textured triangles and the cached 2D drawing state).
#include <GL/glew.h>
#include <GL/glu.h>

#include <cmath>
#include <cstring>
#include <new>
#include <vector>

#include "runtime/window/message_box.h"
#include "runtime/window/textures.h"

int32_t framebuffer_objects = 0;
int32_t window_width = 0, window_height = 0;
destination_rect destination = {0, 0, -1, -1, 1.0f, 1.0f, 0, 0};

namespace {

// One texture made from 32-bit pixels.
struct hardware_image {
  int32_t in_use;                          // 1 while the handle is live
  GLuint name;                             // OpenGL texture name
  int32_t width, height;                   // pixel size of the image
  int32_t texture_width, texture_height;   // size texture coordinates are divided by (padded size)
  int32_t exact;                           // 1: stored at its own size, so rows can be replaced in place
  GLuint framebuffer;                      // framebuffer object over it for blit_image, 0 before the first
  int32_t blit_refused;                    // 1: the driver cannot blit from it; draw it instead
};

// Handles are indices; entry 0 is never handed out. Made once and never destroyed,
// because the window thread may still draw while exit runs.
std::vector<hardware_image>& hardware_images = *new std::vector<hardware_image>(1);

// Triangles waiting to be drawn with one state combination: x, y and u, v per vertex.
std::vector<float>& queued_vertices = *new std::vector<float>;
std::vector<float>& queued_texels = *new std::vector<float>;

// The 2D state last set on the window, so that it is set again only when it changes.
int32_t state_2d_ready = 0;      // projection, model-view and viewport are set
int32_t state_2d_width = 0;      // the window size they were set for
int32_t state_2d_height = 0;
int32_t bound_handle = 0;        // hardware image bound and configured, 0 = unknown
int32_t bound_smooth = -1;       // filter of that binding
int32_t bound_blend = -1;        // blending of that binding

// Forgets errors left by earlier calls, so the next check sees only its own call.
void clear_gl_errors() {
  for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
  }
}

int32_t next_power_of_two(int32_t value) {
  int32_t p = 1;
  while (p < value && p < (1 << 30)) p <<= 1;
  return p;
}

// The image copied into a power-of-two block, its last column and last row repeated once
// so that filtering at the edge does not pull in black.
uint32_t* padded_copy(const uint32_t* pixels, int32_t width, int32_t height, int32_t padded_w, int32_t padded_h) {
  uint32_t* padded = new (std::nothrow) uint32_t[size_t(padded_w) * padded_h]();
  if (!padded) return nullptr;
  for (int32_t y = 0; y < height; ++y) {
    uint32_t* row = padded + size_t(y) * padded_w;
    std::memcpy(row, pixels + size_t(y) * width, size_t(width) * 4);
    if (padded_w > width) row[width] = row[width - 1];
  }
  if (padded_h > height)
    std::memcpy(padded + size_t(height) * padded_w, padded + size_t(height - 1) * padded_w, size_t(padded_w) * 4);
  return padded;
}

int32_t register_image(GLuint name, int32_t width, int32_t height, int32_t texture_width, int32_t texture_height,
                       int32_t exact) {
  hardware_image image = {1, name, width, height, texture_width, texture_height, exact, 0, 0};
  for (size_t i = 1; i < hardware_images.size(); ++i) {
    if (!hardware_images[i].in_use) {
      hardware_images[i] = image;
      return int32_t(i);
    }
  }
  hardware_images.push_back(image);
  return int32_t(hardware_images.size() - 1);
}

void ensure_2d_state() {
  if (state_2d_ready && state_2d_width == window_width && state_2d_height == window_height) return;
  flush_triangles();
  glViewport(0, 0, window_width, window_height);
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glOrtho(0, window_width, 0, window_height, -1, 1);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  // y grows downward from the window's top-left corner.
  glScalef(1.0f, -1.0f, 1.0f);
  glTranslatef(0.0f, -float(window_height), 0.0f);
  state_2d_ready = 1;
  state_2d_width = window_width;
  state_2d_height = window_height;
}

void bind_for_drawing(int32_t handle, int32_t blend, int32_t smooth) {
  if (handle == bound_handle && blend == bound_blend && smooth == bound_smooth) return;
  flush_triangles();
  const hardware_image& image = hardware_images[size_t(handle)];
  glEnable(GL_TEXTURE_2D);
  glBindTexture(GL_TEXTURE_2D, image.name);
  GLint filter = smooth ? GL_LINEAR : GL_NEAREST;
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, filter);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  if (blend) {
    glEnable(GL_BLEND);
    if (framebuffer_objects && glBlendFuncSeparateEXT)
      glBlendFuncSeparateEXT(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA, GL_ONE, GL_ONE);
    else
      glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
  } else {
    glDisable(GL_BLEND);
  }
  glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  bound_handle = handle;
  bound_blend = blend;
  bound_smooth = smooth;
}

// Another binding happened behind the cache's back.
void forget_binding() { bound_handle = 0; bound_blend = bound_smooth = -1; }

}  // namespace

bool texture_exists(int32_t handle) {
  return handle > 0 && size_t(handle) < hardware_images.size() && hardware_images[size_t(handle)].in_use;
}

int32_t make_texture(int32_t width, int32_t height, const uint32_t* pixels) {
  if (width <= 0 || height <= 0 || !pixels) return 0;
  flush_triangles();  // queued triangles belong to the texture bound now
  forget_binding();
  clear_gl_errors();
  GLuint name = 0;
  glGenTextures(1, &name);
  glBindTexture(GL_TEXTURE_2D, name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
  int32_t texture_width = width, texture_height = height;
  int32_t exact = 1;
  if (glGetError() != GL_NO_ERROR) {
    exact = 0;
    // Old drivers want power-of-two sizes.
    clear_gl_errors();
    int32_t padded_w = next_power_of_two(width), padded_h = next_power_of_two(height);
    uint32_t* padded = padded_copy(pixels, width, height, padded_w, padded_h);
    bool uploaded = false;
    if (padded) {
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, padded_w, padded_h, 0, GL_BGRA, GL_UNSIGNED_BYTE, padded);
      delete[] padded;
      uploaded = glGetError() == GL_NO_ERROR;
    }
    if (uploaded) {
      texture_width = padded_w;
      texture_height = padded_h;
    } else {
      clear_gl_errors();
      // The mipmap builder rescales to a size the driver takes; coordinates stay 0 to 1.
      GLint result = gluBuild2DMipmaps(GL_TEXTURE_2D, GL_RGBA, width, height, GL_BGRA, GL_UNSIGNED_BYTE, pixels);
      if (result != 0) {
        alert("gluBuild2DMipmaps failed: %i", int(result));
        glBindTexture(GL_TEXTURE_2D, 0);
        glDeleteTextures(1, &name);
        return 0;
      }
    }
  }
  return register_image(name, width, height, texture_width, texture_height, exact);
}

bool update_texture(int32_t handle, int32_t width, int32_t height, const uint32_t* pixels, int32_t first_row,
                    int32_t last_row) {
  if (!texture_exists(handle) || !pixels) return false;
  const hardware_image& image = hardware_images[size_t(handle)];
  if (!image.exact || image.width != width || image.height != height) return false;
  if (first_row < 0) first_row = 0;
  if (last_row >= height) last_row = height - 1;
  if (last_row < first_row) return true;  // nothing changed
  flush_triangles();  // queued triangles still sample the old pixels
  forget_binding();
  clear_gl_errors();
  glBindTexture(GL_TEXTURE_2D, image.name);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, first_row, width, last_row - first_row + 1, GL_BGRA, GL_UNSIGNED_BYTE,
                  pixels + size_t(first_row) * width);
  return glGetError() == GL_NO_ERROR;
}

void free_texture(int32_t handle) {
  if (!texture_exists(handle)) return;
  flush_triangles();
  hardware_image& image = hardware_images[size_t(handle)];
  if (image.framebuffer) glDeleteFramebuffersEXT(1, &image.framebuffer);
  glDeleteTextures(1, &image.name);
  image = hardware_image{};
  if (bound_handle == handle) forget_binding();
}

void draw_image_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1, int32_t handle, int32_t source_x0,
                     int32_t source_y0, int32_t source_x1, int32_t source_y1, int32_t blend, int32_t smooth) {
  if (!texture_exists(handle)) return;
  window_rect r = map_frame_rect(destination, x0, y0, x1 - x0 + 1, y1 - y0 + 1);
  ensure_2d_state();
  bind_for_drawing(handle, blend ? 1 : 0, smooth ? 1 : 0);
  const hardware_image& image = hardware_images[size_t(handle)];
  // Inset by a hundredth of a texel so neighbouring texels never bleed in.
  float u0 = (0.01f + float(source_x0)) / float(image.texture_width);
  float u1 = (0.99f + float(source_x1)) / float(image.texture_width);
  float v0 = (0.01f + float(source_y0)) / float(image.texture_height);
  float v1 = (0.99f + float(source_y1)) / float(image.texture_height);
  float left = float(r.x0), top = float(r.y0), right = float(r.x1 + 1), bottom = float(r.y1 + 1);
  const float vertices[12] = {left, top, right, top, right, bottom, left, top, right, bottom, left, bottom};
  const float texels[12] = {u0, v0, u1, v0, u1, v1, u0, v0, u1, v1, u0, v1};
  queued_vertices.insert(queued_vertices.end(), vertices, vertices + 12);
  queued_texels.insert(queued_texels.end(), texels, texels + 12);
}

bool blit_image(int32_t handle, int32_t x, int32_t y) {
  if (!texture_exists(handle) || !framebuffer_objects || !GLEW_EXT_framebuffer_blit) return false;
  hardware_image& image = hardware_images[size_t(handle)];
  if (!image.exact || image.blit_refused) return false;
  flush_triangles();
  if (!image.framebuffer) {
    glGenFramebuffersEXT(1, &image.framebuffer);
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, image.framebuffer);
    glFramebufferTexture2DEXT(GL_READ_FRAMEBUFFER_EXT, GL_COLOR_ATTACHMENT0_EXT, GL_TEXTURE_2D, image.name, 0);
    if (glCheckFramebufferStatusEXT(GL_READ_FRAMEBUFFER_EXT) != GL_FRAMEBUFFER_COMPLETE_EXT) image.blit_refused = 1;
  } else {
    glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, image.framebuffer);
  }
  if (!image.blit_refused) {
    clear_gl_errors();
    glBindFramebufferEXT(GL_DRAW_FRAMEBUFFER_EXT, 0);
    // The image's first row is the top of the picture, GL's window rows count upwards:
    // the destination is turned over, which on a software renderer is a plain copy.
    int32_t top = window_height - y;
    glBlitFramebufferEXT(0, 0, image.width, image.height, x, top, x + image.width, top - image.height,
                         GL_COLOR_BUFFER_BIT, GL_NEAREST);
    if (glGetError() != GL_NO_ERROR) image.blit_refused = 1;
  }
  glBindFramebufferEXT(GL_READ_FRAMEBUFFER_EXT, 0);
  return !image.blit_refused;
}

void flush_triangles() {
  if (queued_vertices.empty()) return;
  glEnableClientState(GL_VERTEX_ARRAY);
  glEnableClientState(GL_TEXTURE_COORD_ARRAY);
  glVertexPointer(2, GL_FLOAT, 0, queued_vertices.data());
  glTexCoordPointer(2, GL_FLOAT, 0, queued_texels.data());
  glDrawArrays(GL_TRIANGLES, 0, GLsizei(queued_vertices.size() / 2));
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
  queued_vertices.clear();
  queued_texels.clear();
}

namespace {

// Window pixels (x0, y0)-(x1, y1) inclusive as one untextured quad in the current colour;
// the caller sets colour and blending.
void untextured_window_quad(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  ensure_2d_state();
  forget_binding();
  glDisable(GL_TEXTURE_2D);
  glBegin(GL_QUADS);
  glVertex2f(float(x0), float(y0));
  glVertex2f(float(x1 + 1), float(y0));
  glVertex2f(float(x1 + 1), float(y1 + 1));
  glVertex2f(float(x0), float(y1 + 1));
  glEnd();
}

}  // namespace

void fill_window_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (x1 < x0 || y1 < y0) return;
  flush_triangles();
  glDisable(GL_BLEND);
  glColor4f(0.0f, 0.0f, 0.0f, 1.0f);
  untextured_window_quad(x0, y0, x1, y1);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
}

void invert_window_rect(int32_t x0, int32_t y0, int32_t x1, int32_t y1) {
  if (x1 < x0 || y1 < y0) return;
  flush_triangles();
  glEnable(GL_BLEND);
  // White times (1 - what is there): every colour channel turned over, alpha kept.
  if (glBlendFuncSeparateEXT)
    glBlendFuncSeparateEXT(GL_ONE_MINUS_DST_COLOR, GL_ZERO, GL_ZERO, GL_ONE);
  else
    glBlendFunc(GL_ONE_MINUS_DST_COLOR, GL_ZERO);
  glColor4f(1.0f, 1.0f, 1.0f, 1.0f);
  untextured_window_quad(x0, y0, x1, y1);
  glDisable(GL_BLEND);
}

void reset_2d_state() {
  // Only forgets; the next draw sets projection, viewport and binding again.
  state_2d_ready = 0;
  forget_binding();
}

window_rect map_frame_rect(const destination_rect& dest, int32_t x, int32_t y, int32_t width, int32_t height) {
  window_rect r;
  // nearbyint rounds ties to even in the default rounding mode.
  r.x0 = dest.x0 + int32_t(std::nearbyint(double(x) * dest.scale_x));
  r.y0 = dest.y0 + int32_t(std::nearbyint(double(y) * dest.scale_y));
  int32_t w = int32_t(0.99 + double(width) * dest.scale_x);
  int32_t h = int32_t(0.99 + double(height) * dest.scale_y);
  r.x1 = r.x0 + w - 1;
  r.y1 = r.y0 + h - 1;
  return r;
}

bool window_to_frame_point(const destination_rect& dest, int32_t x, int32_t y, int32_t* frame_x, int32_t* frame_y) {
  if (x < dest.x0 || x > dest.x1 || y < dest.y0 || y > dest.y1 || dest.scale_x <= 0 || dest.scale_y <= 0)
    return false;
  *frame_x = int32_t(std::floor(double(x - dest.x0) / dest.scale_x));
  *frame_y = int32_t(std::floor(double(y - dest.y0) / dest.scale_y));
  return true;
}
