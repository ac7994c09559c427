// The back-buffer clipper: the region block, the clipper's life, and BOBs
// drawn partly off the screen.
#include <stdlib.h>
#include <string.h>

#include <vector>

#include "engine/display/bob.h"
#include "engine/display/clipper.h"
#include "engine/display/ddraw_testing.h"
#include "engine/display/display.h"
#include "sheet.h"
#include "support.h"

namespace {

const RECT SCREEN = {0, 0, 640, 480};

TEST(ClipperRegion, HeaderBoundsAndRectangles) {
  const RECT rects[] = {{10, 20, 30, 40}, {5, 25, 15, 60}};
  const RECT bound = {5, 20, 30, 60};
  RGNDATA *region = clipper_region(2, rects);
  ASSERT_TRUE(region);
  EXPECT_EQ(region->rdh.nCount, 2u);
  EXPECT_EQ(memcmp(&region->rdh.rcBound, &bound, 16), 0);
  EXPECT_EQ(memcmp((char *)region + 32, rects, 32), 0);
  free(region);
  // Wholly negative: the bounds' starting values must not win.
  const RECT negative = {-100, -50, -10, -5};
  region = clipper_region(1, &negative);
  ASSERT_TRUE(region);
  EXPECT_EQ(memcmp(&region->rdh.rcBound, &negative, 16), 0);
  free(region);
  EXPECT_EQ(clipper_region(0, &SCREEN), nullptr);
  EXPECT_EQ(clipper_region(-1, &SCREEN), nullptr);
}

using Clipper = FreshDisplay;

TEST_F(Clipper, FailuresLeaveNoClipperBehind) {
  const int32_t before = dd_live_clippers();
  EXPECT_EQ(clipper_attach(back_surface, 0, &SCREEN), nullptr);
  EXPECT_EQ(clipper_attach(back_surface, 1, nullptr), nullptr);
  EXPECT_EQ(clipper_attach(nullptr, 1, &SCREEN), nullptr);  // can't attach
  std::vector<RECT> many(5000, SCREEN);  // more than the display layer takes
  EXPECT_EQ(clipper_attach(back_surface, 5000, many.data()), nullptr);
  EXPECT_EQ(back_surface->clipper, nullptr);
  EXPECT_EQ(dd_live_clippers(), before);

  // Attached, it lives until both the game's handle and the surface let go.
  back_clipper = clipper_attach(back_surface, 1, &SCREEN);
  ASSERT_TRUE(back_clipper);
  EXPECT_EQ(back_surface->clipper, back_clipper);
  EXPECT_EQ(dd_live_clippers(), before + 1);
  display_shutdown();
  EXPECT_EQ(dd_live_clippers(), before);
  EXPECT_EQ(clipper_attach(back_surface, 1, &SCREEN), nullptr);  // no display
}

// With the game's clipper, a BOB over any edge or corner draws the part of it
// that is on the screen (less the frame's last row and column, never shown).
TEST_F(Clipper, BobOverEveryEdgeDrawsItsVisiblePart) {
  Sheet sheet(80, 40);
  BOB bob{};
  ASSERT_EQ(bob_create(&bob, 0, 0, 66, 8, 1, BOB_SHOWN, DDSCAPS_SYSTEMMEMORY),
            1);
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 1);
  back_clipper = clipper_attach(back_surface, 1, &SCREEN);
  ASSERT_TRUE(back_clipper);
  const int32_t places[][2] = {{-5, 200},  {600, 200}, {300, -3}, {300, 476},
                               {-60, -6},  {630, 475}, {-64, 0},  {639, 479},
                               {-65, 100}, {640, 100}, {10, 480}, {10, -7}};
  for (const auto &p : places) {
    surface_fill(back_surface, 0);
    bob.x = p[0];
    bob.y = p[1];
    ASSERT_EQ(bob_draw(&bob, back_surface), 1) << p[0] << "," << p[1];
    ASSERT_TRUE(lock_back());
    for (int32_t y = 0; y < 480; y++) {
      for (int32_t x = 0; x < 640; x++) {
        const int32_t fx = x - p[0], fy = y - p[1];
        const bool in = fx >= 0 && fx < 65 && fy >= 0 && fy < 7;
        ASSERT_EQ(back_lock_ptr[y * back_lock_pitch + x],
                  in ? sheet_value(fx + 1, fy + 1) : 0)
            << "BOB at " << p[0] << "," << p[1] << ", pixel " << x << "," << y;
      }
    }
    unlock_back();
  }
  bob_destroy(&bob);
}

}  // namespace
