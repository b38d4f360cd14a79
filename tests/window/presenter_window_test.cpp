// Presenter on a real X server: frames drawn into a GLUT window, the size policy and full screen, pixels read back.
#include <gtest/gtest.h>

#include <GL/glew.h>
#include <GL/freeglut.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <unistd.h>

#include <functional>
#include <vector>

#include "runtime/console/fonts.h"
#include "runtime/console/screen.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/frame_presenter.h"
#include "support/text_page.h"

// The OpenGL driver keeps blocks until the process ends; the sanitizer build should not
// count those as this program's leaks.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

constexpr uint32_t black = text_colours[0], blue = text_colours[1], yellow = text_colours[14], white = text_colours[15],
                   red = text_colours[4];

// An 80x25 page of blanks on blue, a yellow full block in the top-left cell (made in SetUpTestSuite).
test_page& page = *new test_page;

// Runs the toolkit's loop for a while, redrawing on every pass, until `done` holds.
bool pump_until(const std::function<bool()>& done, int passes = 300) {
  for (int i = 0; i < passes; ++i) {
    glutPostRedisplay();
    glutMainLoopEvent();
    if (done()) return true;
    usleep(10000);
  }
  return false;
}
void pump(int passes) {
  pump_until([] { return false; }, passes);
}

// A window pixel as the X server shows it, read from the root window.
uint32_t screen_pixel(int x, int y) {
  Display* display = glXGetCurrentDisplay();
  Window child;
  int root_x = 0, root_y = 0;
  XTranslateCoordinates(display, glXGetCurrentDrawable(), DefaultRootWindow(display), x, y, &root_x, &root_y, &child);
  XImage* image = XGetImage(display, DefaultRootWindow(display), root_x, root_y, 1, 1, AllPlanes, ZPixmap);
  if (!image) return 0x12345678;
  uint32_t value = 0xFF000000u | uint32_t(XGetPixel(image, 0, 0) & 0xFFFFFF);
  XDestroyImage(image);
  return value;
}

// A pixel outside the screen is read as an error, not as the end of the test.
int ignore_x_error(Display*, XErrorEvent*) { return 0; }

class PresenterWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fonts_startup();
    renderer_reset();
    page.make(80, 25, 16, 0x17);
    page.put(0, 0, 219, 0x1E);
    int argc = 1;
    char name[] = "presenter_window_test";
    char* argv[] = {name, nullptr};
    glutInit(&argc, argv);
    XSetErrorHandler(ignore_x_error);
    glutInitDisplayMode(GLUT_RGBA | GLUT_DOUBLE | GLUT_DEPTH);
    glutInitWindowSize(640, 400);
    glutInitWindowPosition(0, 0);
    glutCreateWindow("Untitled");
    glewInit();
    if (glewIsSupported("GL_EXT_framebuffer_object")) framebuffer_objects = 1;
    glutDisplayFunc(present_frame);
    glutReshapeFunc(window_reshaped);
    build_frame();
    pump(20);
  }
  void TearDown() override {
    // Every test leaves a 640x400 window behind.
    fullscreen_request.store(0);
    resize_mode = 0;
    snap_window_to_frame = 1;
    pump_until([] { return fullscreen_mode.load() == 0 && window_width == 640 && window_height == 400; });
  }
};

TEST_F(PresenterWindow, FrameShowsTheCells) {
  ASSERT_TRUE(pump_until([] { return screen_pixel(3, 3) == yellow; }));
  EXPECT_EQ(screen_pixel(8, 0), blue);
  EXPECT_EQ(screen_pixel(639, 399), blue);
  EXPECT_EQ(screen_pixel(7, 15), yellow);
}

TEST_F(PresenterWindow, ChangedCellReachesTheWindow) {
  page.put(1, 1, 219, 0x04);  // red block in row 2, column 2
  build_frame();
  EXPECT_TRUE(pump_until([] { return screen_pixel(8 + 4, 16 + 4) == red; }));
  EXPECT_EQ(screen_pixel(16 + 4, 16 + 4), blue);
  page.put(1, 1, ' ', 0x17);
  build_frame();
  EXPECT_TRUE(pump_until([] { return screen_pixel(8 + 4, 16 + 4) == blue; }));
}

TEST_F(PresenterWindow, EnlargedWindowSnapsBackToTheFrame) {
  glutReshapeWindow(800, 600);
  ASSERT_TRUE(pump_until([] { return window_width == 800; }, 100)) << "the server did not resize the window";
  EXPECT_TRUE(pump_until([] { return window_width == 640 && window_height == 400; }));
}

TEST_F(PresenterWindow, SquarePixelFullScreenHasBlackBars) {
  fullscreen_request.store(2);
  ASSERT_TRUE(pump_until([] { return window_width == 1280 && window_height == 1024; }));
  EXPECT_EQ(fullscreen_mode.load(), 2);
  EXPECT_EQ(fullscreen_request.load(), -1);
  // 640x400 on 1280x1024: 1280x800 with bars of 112 rows above and below.
  ASSERT_TRUE(pump_until([] { return screen_pixel(1, 112) == yellow; }));
  EXPECT_EQ(destination.border_mode, 2);
  EXPECT_EQ(screen_pixel(1, 111), black);
  EXPECT_EQ(screen_pixel(600, 0), black);
  EXPECT_EQ(screen_pixel(1, 143), yellow);   // the 8x16 cell is 16x32 now
  EXPECT_EQ(screen_pixel(16, 112), blue);
  EXPECT_EQ(screen_pixel(1279, 911), blue);
  EXPECT_EQ(screen_pixel(1279, 912), black);
}

TEST_F(PresenterWindow, StretchedFullScreenFillsTheScreen) {
  fullscreen_request.store(1);
  ASSERT_TRUE(pump_until([] { return window_width == 1280 && window_height == 1024; }));
  ASSERT_TRUE(pump_until([] { return screen_pixel(1, 1) == yellow; }));
  EXPECT_EQ(destination.border_mode, 0);
  EXPECT_EQ(screen_pixel(15, 40), yellow);  // 2.0 x 2.56: the cell is 16 x 40.96
  EXPECT_EQ(screen_pixel(16, 1), blue);
  EXPECT_EQ(screen_pixel(1279, 1023), blue);
}

TEST_F(PresenterWindow, LeavingFullScreenRestoresTheFrameSize) {
  fullscreen_request.store(1);
  ASSERT_TRUE(pump_until([] { return window_width == 1280; }));
  fullscreen_request.store(0);
  EXPECT_TRUE(pump_until([] { return window_width == 640 && window_height == 400; }));
  EXPECT_EQ(fullscreen_mode.load(), 0);
  EXPECT_TRUE(pump_until([] { return screen_pixel(3, 3) == yellow; }));
}

TEST_F(PresenterWindow, TextureOfAnOddSizeDrawsWhole) {
  std::vector<uint32_t> pixels(size_t(37) * 11, white);
  pixels.back() = red;
  int32_t handle = make_texture(37, 11, pixels.data());
  ASSERT_GT(handle, 0);
  EXPECT_TRUE(texture_exists(handle));
  free_texture(handle);
  EXPECT_FALSE(texture_exists(handle));
  EXPECT_EQ(make_texture(0, 11, pixels.data()), 0);
}

}  // namespace
