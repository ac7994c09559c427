// The display device and our DirectDraw beneath it, seen from the screen:
// what the player sees is the last frame the headless platform captured.
#include <string.h>

#include <algorithm>

#include "engine/display/display.h"
#include "support.h"

namespace {

using Display = FreshDisplay;

// Every byte of a 640 x 480 picture (a surface's or the screen's) is `index`.
bool all(const uint8_t *pixels, uint8_t index) {
  return pixels && std::all_of(pixels, pixels + 640 * 480,
                               [&](uint8_t p) { return p == index; });
}

// The screen, when it is the 640 x 480 picture it should be.
const uint8_t *screen() {
  int32_t w = 0, h = 0;
  const uint8_t *frame = headless_last_frame(&w, &h);
  return w == 640 && h == 480 ? frame : nullptr;
}

TEST_F(Display, SetUpInstallsTheFourRampsAndClearsBothSurfaces) {
  // Entry, then its colour as 0xRRGGBB.
  const uint32_t entries[][2] = {
      {0, 0x000000},   {1, 0x040000},   {64, 0x000000}, {65, 0x000400},
      {129, 0x000004}, {193, 0x040404}, {255, 0xFCFCFC}};
  for (const auto &e : entries) {
    const PALETTEENTRY &p = display_palette[e[0]];
    EXPECT_EQ(p.peRed << 16 | p.peGreen << 8 | p.peBlue, e[1])
        << "entry " << e[0];
    EXPECT_EQ(p.peFlags, PC_NOCOLLAPSE) << "entry " << e[0];
  }
  // The screen is shown through exactly that palette.
  ASSERT_NE(headless_last_palette(), nullptr);
  EXPECT_EQ(memcmp(headless_last_palette(), display_palette, 1024), 0);
  EXPECT_TRUE(all(primary_surface->pixels, 0));
  EXPECT_TRUE(all(back_surface->pixels, 0));
  EXPECT_TRUE(all(screen(), 0));
}

// Fills ignore the clip rectangle. The primary's fill and unlock are shown at
// once; the back is shown by a flip, refused while either surface is locked.
TEST_F(Display, ThePrimaryIsShownAtOnceAndTheBackByAFlip) {
  const int frames = headless_frame_count();
  clip_left = clip_top = 100;
  clip_right = clip_bottom = 110;
  surface_fill(back_surface, 5);
  surface_fill(primary_surface, 7);
  EXPECT_EQ(headless_frame_count(), frames + 1);  // the primary's fill only
  EXPECT_TRUE(all(screen(), 7));
  ASSERT_NE(lock_back(), nullptr);
  EXPECT_EQ(display_flip(), 0);
  uint8_t *pixels = lock_primary();
  ASSERT_NE(pixels, nullptr);
  pixels[5 * primary_lock_pitch + 6] = 77;
  unlock_back();
  EXPECT_EQ(display_flip(), 0);
  EXPECT_EQ(headless_frame_count(), frames + 1);  // nothing shown by refusals
  unlock_primary();
  EXPECT_EQ(headless_frame_count(), frames + 2);
  EXPECT_EQ(screen()[5 * 640 + 6], 77);
  EXPECT_EQ(display_flip(), 1);
  EXPECT_TRUE(all(screen(), 5));
  EXPECT_EQ(back_surface->pixels[5 * 640 + 6], 77);  // the old picture, swapped
}

TEST_F(Display, LocksAreCountedOnceAndUnlocksOnlyWhatIsLocked) {
  EXPECT_EQ(unlock_primary(), 0);
  EXPECT_EQ(unlock_back(), 0);
  uint8_t *first = lock_back();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(lock_back(), first);
  // One unlock releases the one lock underneath: anyone may lock it again.
  EXPECT_EQ(unlock_back(), 1);
  uint8_t *pixels = nullptr;
  int32_t pitch = 0;
  EXPECT_EQ(dd_lock(back_surface, &pixels, &pitch), DD_OK);
  dd_unlock(back_surface);
  EXPECT_EQ(unlock_back(), 0);
}

TEST_F(Display, FailingModeSetLeavesTheGeometry) {
  display_shutdown();
  headless_fail_display_mode(1);
  EXPECT_EQ(display_init(800, 600, 8), 0);
  EXPECT_EQ(display_width, 640);
  EXPECT_EQ(display_height, 480);
  EXPECT_EQ(display_depth, 8);
  EXPECT_EQ(display_flip(), 0);  // no surfaces: not reported as a flip
  display_shutdown();
  headless_fail_display_mode(0);
  EXPECT_EQ(display_init(640, 480, 16), 0);  // only 8 bits are offered
  EXPECT_EQ(display_depth, 8);
}

TEST_F(Display, PaletteChangesReachTheScreenAtOnce) {
  const PALETTEENTRY orange = {255, 128, 0, PC_NOCOLLAPSE};
  dd_palette_set_entries(palette_object, 0, 1, &orange);
  EXPECT_EQ(headless_last_rgb(0, 0), 0xFF8000);
  // A range that runs past the end of the palette is refused whole.
  EXPECT_NE(dd_palette_set_entries(palette_object, 200, INT32_MAX, &orange),
            DD_OK);
}

}  // namespace
