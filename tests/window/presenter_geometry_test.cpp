// Presenter arithmetic tests: destination rectangle, frame-to-window mapping, size policy and display scale.
#include <gtest/gtest.h>

#include "runtime/window/display_scale.h"
#include "runtime/ground/shared_words.h"
#include "runtime/window/frame_builder.h"
#include "runtime/window/frame_presenter.h"

namespace {

struct destination_case {
  const char* name;
  int frame_w, frame_h, window_w, window_h, fullscreen, resize, fullscreen_smooth;
  int x0, y0, x1, y1, smooth, border;
  float scale_x, scale_y;
  int display_scale = 1;
};

TEST(PresenterDestination, RectangleForEachMode) {
  const destination_case cases[] = {
      {"window fits the frame", 640, 400, 640, 400, 0, 0, 0, 0, 0, 639, 399, 0, 0, 1.0f, 1.0f},
      {"full screen of the frame's own size", 640, 400, 640, 400, 2, 0, 1, 0, 0, 639, 399, 0, 0, 1.0f, 1.0f},
      {"larger window, no scaling: centred", 640, 400, 800, 600, 0, 0, 0, 80, 100, 719, 499, 0, 0, 1.0f, 1.0f},
      {"maximized: centred at the largest whole scale", 640, 400, 1280, 1005, 0, 0, 0, 0, 102, 1279, 901, 0, 0, 2.0f,
       2.0f},
      {"smaller than the frame: its top-left part", 640, 400, 600, 300, 0, 0, 0, 0, 0, 639, 399, 0, 0, 1.0f, 1.0f},
      {"user resize stretches", 640, 400, 800, 600, 0, 1, 0, 0, 0, 799, 599, 0, 0, 1.25f, 1.5f},
      {"user resize with smoothing", 640, 400, 1280, 800, 0, 2, 0, 0, 0, 1279, 799, 1, 0, 2.0f, 2.0f},
      {"full screen stretched", 640, 400, 1920, 1080, 1, 0, 0, 0, 0, 1919, 1079, 0, 0, 3.0f, 2.7f},
      {"full screen stretched, smooth", 640, 400, 1920, 1080, 1, 2, 1, 0, 0, 1919, 1079, 1, 0, 3.0f, 2.7f},
      {"square pixels on a wide screen", 640, 400, 1920, 1080, 2, 0, 0, 96, 0, 1823, 1079, 0, 1, 2.7f, 2.7f},
      {"square pixels on a tall screen", 640, 400, 1280, 1024, 2, 0, 0, 0, 112, 1279, 911, 0, 2, 2.0f, 2.0f},
      {"square pixels, same aspect", 640, 400, 1280, 800, 2, 0, 0, 0, 0, 1279, 799, 0, 0, 2.0f, 2.0f},
      {"square pixels, odd sizes", 720, 400, 1024, 768, 2, 0, 0, 0, 100, 1023, 667, 0, 2, 1024.0f / 720.0f,
       568.0f / 400.0f},
      {"scale 2: window of twice the frame", 640, 400, 1280, 800, 0, 0, 0, 0, 0, 1279, 799, 0, 0, 2.0f, 2.0f, 2},
      {"scale 2: larger window, no scaling", 640, 400, 1500, 900, 0, 0, 0, 110, 50, 1389, 849, 0, 0, 2.0f, 2.0f, 2},
      {"scale 2: a window too small for it", 640, 400, 1200, 900, 0, 0, 0, 280, 250, 919, 649, 0, 0, 1.0f, 1.0f, 2},
      {"scale 2: user resize stretches", 640, 400, 1600, 1000, 0, 2, 0, 0, 0, 1599, 999, 1, 0, 2.5f, 2.5f, 2},
      {"scale 2: square pixels as at 1", 640, 400, 1920, 1080, 2, 0, 0, 96, 0, 1823, 1079, 0, 1, 2.7f, 2.7f, 2},
  };
  for (const destination_case& c : cases) {
    SCOPED_TRACE(c.name);
    destination_rect d = compute_destination(c.frame_w, c.frame_h, c.window_w, c.window_h, c.fullscreen, c.resize,
                                             c.fullscreen_smooth, c.display_scale);
    EXPECT_EQ(d.x0, c.x0);
    EXPECT_EQ(d.y0, c.y0);
    EXPECT_EQ(d.x1, c.x1);
    EXPECT_EQ(d.y1, c.y1);
    EXPECT_EQ(d.smooth, c.smooth);
    EXPECT_EQ(d.border_mode, c.border);
    EXPECT_FLOAT_EQ(d.scale_x, c.scale_x);
    EXPECT_FLOAT_EQ(d.scale_y, c.scale_y);
  }
}

TEST(PresenterDestination, SquarePixelBarsAreNinetySixWide) {
  destination_rect d = compute_destination(640, 400, 1920, 1080, 2, 0, 0);
  EXPECT_EQ(d.x1 - d.x0 + 1, 1728);
  EXPECT_EQ(d.x0, 96);                // left bar 0..95
  EXPECT_EQ(1920 - 1 - d.x1, 96);     // right bar 1824..1919
  // The whole frame lands exactly on the rectangle.
  window_rect r = map_frame_rect(d, 0, 0, 640, 400);
  EXPECT_EQ(r.x0, 96);
  EXPECT_EQ(r.y0, 0);
  EXPECT_EQ(r.x1, 1823);
  EXPECT_EQ(r.y1, 1079);
}

TEST(PresenterDestination, MappingRoundsOriginAndCoversPartialPixels) {
  struct map_case {
    int x, y, w, h;
    int x0, y0, x1, y1;
  } cases[] = {
      {0, 0, 8, 16, 96, 0, 96 + 21, 43},    // 8 * 2.7 = 21.6 -> 22 wide; 16 * 2.7 = 43.2 -> 44 high
      {5, 5, 1, 1, 96 + 14, 14, 96 + 16, 16},  // 5 * 2.7f is just above 13.5; width 0.99 + 2.7 -> 3
      {639, 399, 1, 1, 96 + 1725, 1077, 96 + 1727, 1079},
  };
  destination_rect d = compute_destination(640, 400, 1920, 1080, 2, 0, 0);
  for (const map_case& c : cases) {
    window_rect r = map_frame_rect(d, c.x, c.y, c.w, c.h);
    EXPECT_EQ(r.x0, c.x0) << c.x << "," << c.y;
    EXPECT_EQ(r.y0, c.y0) << c.x << "," << c.y;
    EXPECT_EQ(r.x1, c.x1) << c.x << "," << c.y;
    EXPECT_EQ(r.y1, c.y1) << c.x << "," << c.y;
  }
  // Exact halves round to even.
  destination_rect half = compute_destination(640, 400, 1600, 1000, 1, 0, 0);
  EXPECT_EQ(map_frame_rect(half, 1, 1, 1, 1).x0, 2);   // 2.5
  EXPECT_EQ(map_frame_rect(half, 3, 3, 1, 1).y0, 8);   // 7.5
  EXPECT_EQ(map_frame_rect(half, 1, 1, 1, 1).x1, 4);   // 0.99 + 2.5 -> 3 wide
  destination_rect own = compute_destination(640, 400, 640, 400, 0, 0, 0);
  window_rect r = map_frame_rect(own, 8, 16, 8, 16);
  EXPECT_EQ(r.x0, 8);
  EXPECT_EQ(r.y0, 16);
  EXPECT_EQ(r.x1, 15);
  EXPECT_EQ(r.y1, 31);
}

struct policy_case {
  const char* name;
  int frame_w, frame_h, frame_changed, window_w, window_h, previous_w, previous_h;
  float applied;
  int resize, snap;
  int action, width, height;
};

TEST(PresenterSizePolicy, Decisions) {
  const policy_case cases[] = {
      {"window fits", 640, 400, 0, 640, 400, 640, 400, 0.0f, 0, 1, 0, 640, 400},
      {"enlarged while snapping: back to the frame", 640, 400, 0, 800, 600, 640, 400, 0.0f, 0, 1, 2, 640, 400},
      {"enlarged, no snapping, frame unchanged", 640, 400, 0, 800, 600, 640, 400, 0.0f, 0, 0, 0, 800, 600},
      {"frame size changed: follow it", 320, 200, 1, 640, 400, 640, 400, 0.0f, 0, 0, 2, 320, 200},
      {"resizable, width dragged", 640, 400, 0, 800, 400, 640, 400, 0.0f, 1, 0, 1, 800, 500},
      {"resizable, height dragged", 640, 400, 0, 640, 500, 640, 400, 0.0f, 2, 0, 1, 800, 500},
      {"resizable, both, width more", 640, 400, 0, 1000, 450, 640, 400, 0.0f, 1, 0, 1, 1000, 625},
      {"resizable, both, height more", 640, 400, 0, 700, 700, 640, 400, 0.0f, 1, 0, 1, 1120, 700},
      {"resizable, aspect already right", 640, 400, 0, 1280, 800, 640, 400, 0.0f, 1, 0, 0, 1280, 800},
      {"resizable, aspect as applied", 640, 400, 0, 801, 500, 640, 400, 801.0f / 500.0f, 1, 0, 0, 801, 500},
      {"resizable, right aspect, snapping", 640, 400, 0, 1280, 800, 640, 400, 0.0f, 1, 1, 2, 640, 400},
  };
  for (const policy_case& c : cases) {
    SCOPED_TRACE(c.name);
    size_decision d = window_size_policy(c.frame_w, c.frame_h, c.frame_changed, c.window_w, c.window_h,
                                         c.previous_w, c.previous_h, c.applied, c.resize, c.snap);
    EXPECT_EQ(d.action, c.action);
    if (c.action != 0) {
      EXPECT_EQ(d.width, c.width);
      EXPECT_EQ(d.height, c.height);
    }
    if (c.action == 1) {
      EXPECT_FLOAT_EQ(d.applied_aspect, float(c.width) / float(c.height));
    }
  }
}

TEST(PresenterSizePolicy, AppliedAspectStopsTheLoop) {
  // After the policy resized the window, the reshaped window must not be resized again.
  size_decision first = window_size_policy(640, 400, 0, 803, 400, 640, 400, 0.0f, 1, 0);
  ASSERT_EQ(first.action, 1);
  size_decision second = window_size_policy(640, 400, 0, first.width, first.height, 803, 400,
                                            first.applied_aspect, 1, 0);
  EXPECT_EQ(second.action, 0);
}

TEST(DisplayScale, SettingsAndFit) {
  struct scale_case {
    const char* gdk_scale;
    const char* resources;
    int requested;
    int screen_w, screen_h, fitted;  // for a 640 x 400 frame
  } cases[] = {
      {nullptr, nullptr, 1, 1920, 1080, 1},
      {"2", "Xft.dpi: 288\n", 2, 1920, 1080, 2},  // GDK_SCALE first
      {"3", nullptr, 3, 1920, 1080, 2},            // reduced until it fits
      {"1000", nullptr, 64, 3840, 2160, 5},
      {"0", "Xft.dpi:\t192\n", 2, 1280, 800, 2},  // not a scale: the resource decides
      {"2x", nullptr, 1, 1280, 1024, 1},
      {nullptr, "Xft.antialias: 1\nXft.dpi: 287.9\n", 2, 3840, 2160, 2},
      {nullptr, "*dpi: 192\n", 2, 3840, 2160, 2},  // looked up as Xft itself does
      {nullptr, "Xft.dpi: 96\n", 1, 3840, 2160, 1},
      {nullptr, "Xft.dpi: lots\n", 1, 3840, 2160, 1},
      {"99999999999999999999", nullptr, 64, 3840, 2160, 5},
      {"4", nullptr, 4, 600, 300, 1},  // smaller than the frame: never below 1
  };
  for (const scale_case& c : cases) {
    SCOPED_TRACE(std::string(c.gdk_scale ? c.gdk_scale : "-") + " / " + (c.resources ? c.resources : "-"));
    EXPECT_EQ(requested_scale(c.gdk_scale, c.resources), c.requested);
    EXPECT_EQ(fitting_scale(c.requested, 640, 400, c.screen_w, c.screen_h), c.fitted);
  }
}

TEST(DisplayScale, WindowPixelsMapBackToFramePixels) {
  struct point_case {
    destination_rect dest;
    int x, y;
    bool inside;
    int frame_x, frame_y;
  } cases[] = {
      {compute_destination(640, 400, 1280, 800, 0, 0, 0, 2), 0, 0, true, 0, 0},
      {compute_destination(640, 400, 1280, 800, 0, 0, 0, 2), 1279, 799, true, 639, 399},
      {compute_destination(640, 400, 1280, 800, 0, 0, 0, 2), 17, 33, true, 8, 16},
      {compute_destination(640, 400, 1500, 900, 0, 0, 0, 2), 1280, 10, false, 0, 0},  // the cleared part
      {compute_destination(640, 400, 1920, 1080, 2, 0, 0, 2), 95, 10, false, 0, 0},   // the left bar
      {compute_destination(640, 400, 1920, 1080, 2, 0, 0, 2), 96 + 28, 28, true, 10, 10},
      {compute_destination(640, 400, 640, 400, 0, 0, 0), 639, 0, true, 639, 0},
  };
  for (const point_case& c : cases) {
    SCOPED_TRACE(std::to_string(c.x) + "," + std::to_string(c.y));
    int32_t fx = -1, fy = -1;
    ASSERT_EQ(window_to_frame_point(c.dest, c.x, c.y, &fx, &fy), c.inside);
    if (!c.inside) continue;
    EXPECT_EQ(fx, c.frame_x);
    EXPECT_EQ(fy, c.frame_y);
  }
}

TEST(Presenter, NothingToShowDrawsNothing) {
  // No frame was ever built: the display callback returns before touching the toolkit.
  renderer_reset();
  present_frame();
  for (software_frame& slot : software_frames) EXPECT_EQ(slot.state.load(), frame_free);
}

}  // namespace
