// The back-buffer clipper: the region block, the clipper's life, and BOBs
// drawn partly off the screen.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "engine/display/bob.h"
#include "engine/display/clipper.h"
#include "engine/display/display.h"
#include "sheet.h"
#include "support.h"

namespace {

class Clipper : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    open_window_display_keyboard();
  }
  void TearDown() override { bob_destroy(&bob); }

  // A BOB of w x h cut from the top-left cell of a sheet.
  void make_bob(int32_t w, int32_t h) {
    ASSERT_EQ(bob_create(&bob, 0, 0, w, h, 1, BOB_SHOWN, DDSCAPS_SYSTEMMEMORY),
              1);
    ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 1);
  }

  // Draws the BOB at (x, y) on a cleared back buffer and checks every pixel
  // of the screen: the frame's shown part where it overlaps `visible`, index
  // 0 everywhere else.
  void expect_drawn_within(int32_t x, int32_t y,
                           const std::vector<RECT> &visible) {
    surface_fill(back_surface, 0);
    bob.x = x;
    bob.y = y;
    ASSERT_EQ(bob_draw(&bob, back_surface), 1) << x << "," << y;
    ASSERT_TRUE(lock_back());
    for (int32_t sy = 0; sy < 480; sy++) {
      for (int32_t sx = 0; sx < 640; sx++) {
        bool in = sx >= x && sx < x + bob.width - 1 && sy >= y &&
                  sy < y + bob.height - 1;
        bool seen = false;
        for (const RECT &r : visible) {
          seen = seen ||
                 (sx >= r.left && sx < r.right && sy >= r.top && sy < r.bottom);
        }
        const uint8_t want =
            in && seen ? sheet_value(sx - x + 1, sy - y + 1) : (uint8_t)0;
        ASSERT_EQ(back_lock_ptr[sy * back_lock_pitch + sx], want)
            << "BOB at " << x << "," << y << ", pixel " << sx << "," << sy;
      }
    }
    unlock_back();
  }

  Sheet sheet{80, 40};
  BOB bob{};
};

TEST(ClipperRegion, HeaderBoundsAndRectangles) {
  const RECT screen = {0, 0, 640, 480};
  RGNDATA *one = clipper_region(1, &screen);
  ASSERT_TRUE(one);
  EXPECT_EQ(one->rdh.dwSize, 32u);
  EXPECT_EQ(one->rdh.iType, RDH_RECTANGLES);
  EXPECT_EQ(one->rdh.nCount, 1u);
  EXPECT_EQ(one->rdh.nRgnSize, 16u);
  EXPECT_EQ(memcmp(&one->rdh.rcBound, &screen, 16), 0);
  EXPECT_EQ(memcmp((char *)one + 32, &screen, 16), 0);
  free(one);

  const struct {
    std::vector<RECT> rects;
    RECT bound;
  } cases[] = {
      {{{10, 20, 30, 40}, {5, 25, 15, 60}}, {5, 20, 30, 60}},
      // Wholly negative: the bounds' starting values must not win.
      {{{-100, -50, -10, -5}}, {-100, -50, -10, -5}},
      // The left and top start at 64000, and a rectangle beyond it leaves
      // them there.
      {{{70000, 70000, 70010, 70010}}, {64000, 64000, 70010, 70010}},
      {{{0, 0, 1, 1}, {-3, 400, 2, 500}, {600, -9, 700, 3}},
       {-3, -9, 700, 500}},
  };
  for (const auto &c : cases) {
    const int32_t n = (int32_t)c.rects.size();
    RGNDATA *region = clipper_region(n, c.rects.data());
    ASSERT_TRUE(region);
    EXPECT_EQ(region->rdh.nCount, (uint32_t)n);
    EXPECT_EQ(region->rdh.nRgnSize, (uint32_t)n * 16);
    const RECT &b = region->rdh.rcBound;
    EXPECT_EQ(b.left, c.bound.left);
    EXPECT_EQ(b.top, c.bound.top);
    EXPECT_EQ(b.right, c.bound.right);
    EXPECT_EQ(b.bottom, c.bound.bottom);
    EXPECT_EQ(memcmp((char *)region + 32, c.rects.data(), n * 16u), 0);
    free(region);
  }
  EXPECT_EQ(clipper_region(0, &screen), nullptr);
  EXPECT_EQ(clipper_region(-1, &screen), nullptr);
}

TEST_F(Clipper, FailuresLeaveNoClipperBehind) {
  const int32_t before = dd_live_clippers();
  const RECT screen = {0, 0, 640, 480};
  EXPECT_EQ(clipper_attach(back_surface, 0, &screen), nullptr);
  EXPECT_EQ(clipper_attach(back_surface, 1, nullptr), nullptr);
  EXPECT_EQ(clipper_attach(nullptr, 1, &screen), nullptr);  // SetClipper fails
  // A list longer than the display layer takes: SetClipList fails.
  std::vector<RECT> many(5000, screen);
  EXPECT_EQ(clipper_attach(back_surface, 5000, many.data()), nullptr);
  EXPECT_EQ(back_surface->clipper, nullptr);
  EXPECT_EQ(dd_live_clippers(), before);

  // Attached, it lives until both the game's handle and the surface let go.
  back_clipper = clipper_attach(back_surface, 1, &screen);
  ASSERT_TRUE(back_clipper);
  EXPECT_EQ(back_surface->clipper, back_clipper);
  EXPECT_EQ(dd_live_clippers(), before + 1);
  display_shutdown();
  EXPECT_EQ(dd_live_clippers(), before);
}

TEST_F(Clipper, BeforeTheDisplayThereIsNoClipper) {
  display_shutdown();
  const RECT screen = {0, 0, 640, 480};
  EXPECT_EQ(clipper_attach(back_surface, 1, &screen), nullptr);
}

// The game's clipper: one rectangle the size of the screen. A BOB over any
// edge or corner draws the part of it that is on the screen.
TEST_F(Clipper, BobOverEveryEdgeDrawsItsVisiblePart) {
  make_bob(66, 8);
  const RECT screen = {0, 0, 640, 480};
  // Without a clipper the blit of a BOB off the edge is refused outright.
  bob.x = -5;
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);

  back_clipper = clipper_attach(back_surface, 1, &screen);
  ASSERT_TRUE(back_clipper);
  const struct {
    int32_t x, y;
  } places[] = {{-5, 200},  {600, 200}, {300, -3}, {300, 476},
                {-60, -6},  {630, 475}, {-64, 0},  {639, 479},
                {-65, 100}, {640, 100}, {10, 480}, {10, -7}};
  for (const auto &p : places) expect_drawn_within(p.x, p.y, {screen});
}

// A list of two rectangles reaches the display layer intact: the BOB shows
// in both and not in the gap between them.
TEST_F(Clipper, TwoRectanglesClipToBoth) {
  make_bob(40, 30);
  const std::vector<RECT> rects = {{0, 0, 100, 480}, {120, 10, 640, 20}};
  back_clipper = clipper_attach(back_surface, 2, rects.data());
  ASSERT_TRUE(back_clipper);
  expect_drawn_within(90, 5, rects);
}

}  // namespace
