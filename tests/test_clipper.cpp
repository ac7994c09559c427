// The back-buffer clipper: the region block, the clipper's life, and BOBs
// drawn on the screen and partly off it.
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

// A shown BOB draws its frame less the last row and column (never shown),
// with index 0 left out: whole on the screen without a clipper, and with the
// game's clipper over any edge or corner, the part that is on the screen.
// Without BOB_SHOWN nothing is drawn, and that is not a failure.
TEST_F(Clipper, BobDrawsItsVisiblePartWithZeroTransparent) {
  Sheet sheet(80, 40);
  sheet.pixels[4 * 80 + 3] = 0;  // frame pixel (2, 3)
  BOB bob{};
  ASSERT_EQ(bob_create(&bob, 0, 0, 66, 8, 1, BOB_SHOWN, DDSCAPS_SYSTEMMEMORY),
            1);
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 1);
  // The first two without the clipper, the second of them hidden.
  const int32_t places[][2] = {{300, 200}, {300, 200}, {-5, 200},  {600, 200},
                               {300, -3},  {300, 476}, {-60, -6},  {630, 475},
                               {-64, 0},   {639, 479}, {-65, 100}, {640, 100},
                               {10, 480},  {10, -7}};
  for (size_t i = 0; i < sizeof places / sizeof places[0]; i++) {
    const int32_t *p = places[i];
    if (i == 2) {
      back_clipper = clipper_attach(back_surface, 1, &SCREEN);
      ASSERT_TRUE(back_clipper);
    }
    bob.flags = i == 1 ? 0 : BOB_SHOWN;
    surface_fill(back_surface, 7);
    bob.x = p[0];
    bob.y = p[1];
    ASSERT_EQ(bob_draw(&bob, back_surface), 1) << p[0] << "," << p[1];
    ASSERT_TRUE(lock_back());
    for (int32_t y = 0; y < 480; y++) {
      for (int32_t x = 0; x < 640; x++) {
        const int32_t fx = x - p[0], fy = y - p[1];
        const bool in = i != 1 && fx >= 0 && fx < 65 && fy >= 0 && fy < 7;
        const uint8_t v = in ? sheet.pixels[(fy + 1) * 80 + fx + 1] : 0;
        ASSERT_EQ(back_lock_ptr[y * back_lock_pitch + x], v ? v : 7)
            << "BOB " << i << " at " << p[0] << "," << p[1] << ", pixel " << x
            << "," << y;
      }
    }
    unlock_back();
  }
  bob_destroy(&bob);
}

}  // namespace
