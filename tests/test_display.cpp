// The display device and our DirectDraw beneath it, seen from the screen:
// what the player sees is the last frame the headless platform captured.
#include <string.h>

#include "engine/display/display.h"
#include "support.h"

namespace {

class Display : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    open_window_display_keyboard();
  }

  // Every byte of a surface is `index`.
  static bool all(const DDSurface *s, uint8_t index) {
    for (int32_t y = 0; y < s->height; y++) {
      for (int32_t x = 0; x < s->width; x++) {
        if (s->pixels[y * s->pitch + x] != index) return false;
      }
    }
    return true;
  }

  // The screen shows `index` everywhere.
  static bool screen_all(uint8_t index) {
    int32_t w = 0, h = 0;
    const uint8_t *frame = headless_last_frame(&w, &h);
    if (!frame || w != 640 || h != 480) return false;
    for (int32_t i = 0; i < w * h; i++) {
      if (frame[i] != index) return false;
    }
    return true;
  }
};

void expect_entry(int i, int r, int g, int b) {
  const PALETTEENTRY &e = display_palette[i];
  EXPECT_EQ(e.peRed, r) << "entry " << i;
  EXPECT_EQ(e.peGreen, g) << "entry " << i;
  EXPECT_EQ(e.peBlue, b) << "entry " << i;
  EXPECT_EQ(e.peFlags, PC_NOCOLLAPSE) << "entry " << i;
}

TEST_F(Display, SetUpInstallsTheFourRampsAndClearsBothSurfaces) {
  expect_entry(0, 0, 0, 0);
  expect_entry(1, 4, 0, 0);
  expect_entry(63, 252, 0, 0);
  expect_entry(64, 0, 0, 0);
  expect_entry(65, 0, 4, 0);
  expect_entry(129, 0, 0, 4);
  expect_entry(193, 4, 4, 4);
  expect_entry(255, 252, 252, 252);
  // The screen is shown through exactly that palette.
  ASSERT_NE(headless_last_palette(), nullptr);
  EXPECT_EQ(memcmp(headless_last_palette(), display_palette, 1024), 0);
  EXPECT_TRUE(all(primary_surface, 0));
  EXPECT_TRUE(all(back_surface, 0));
  EXPECT_TRUE(screen_all(0));
  EXPECT_EQ(display_width, 640);
  EXPECT_EQ(display_height, 480);
  EXPECT_EQ(display_depth, 8);
}

TEST_F(Display, FlipIsRefusedWhileEitherSurfaceIsLocked) {
  surface_fill(back_surface, 5);
  const int frames = headless_frame_count();
  ASSERT_NE(lock_back(), nullptr);
  EXPECT_EQ(display_flip(), 0);
  ASSERT_NE(lock_primary(), nullptr);
  unlock_back();
  EXPECT_EQ(display_flip(), 0);
  EXPECT_EQ(headless_frame_count(), frames);  // nothing shown by the refusals
  unlock_primary();
  EXPECT_TRUE(screen_all(0));
  EXPECT_EQ(display_flip(), 1);
  EXPECT_TRUE(screen_all(5));
  EXPECT_TRUE(all(back_surface, 0));  // the back buffer holds the old picture
}

TEST_F(Display, LocksAreCountedOnceAndUnlocksOnlyWhatIsLocked) {
  EXPECT_EQ(unlock_primary(), 0);
  EXPECT_EQ(unlock_back(), 0);
  uint8_t *first = lock_back();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(lock_back(), first);
  EXPECT_EQ(back_lock_ptr, first);
  EXPECT_EQ(back_lock_pitch, 640);
  // One unlock releases the one lock underneath: the surface can be locked
  // by anyone again.
  EXPECT_EQ(unlock_back(), 1);
  EXPECT_EQ(back_lock_ptr, nullptr);
  EXPECT_EQ(back_lock_pitch, 0);
  uint8_t *pixels = nullptr;
  int32_t pitch = 0;
  EXPECT_EQ(dd_lock(back_surface, &pixels, &pitch), DD_OK);
  dd_unlock(back_surface);
  EXPECT_EQ(unlock_back(), 0);
}

TEST_F(Display, FillCoversTheWholeSurfaceWhateverTheClipRectangle) {
  const int32_t saved[4] = {clip_left, clip_top, clip_right, clip_bottom};
  clip_left = 100;
  clip_top = 100;
  clip_right = 110;
  clip_bottom = 110;
  surface_fill(back_surface, 7);
  clip_left = saved[0];
  clip_top = saved[1];
  clip_right = saved[2];
  clip_bottom = saved[3];
  EXPECT_TRUE(all(back_surface, 7));
}

TEST_F(Display, KeyedBlitSkipsIndexZeroAndLeavesOutTheLastRowAndColumn) {
  DDSurface *frame = nullptr;
  ASSERT_EQ(
      dd_create_surface(ddraw_object, 4, 3, DDSCAPS_OFFSCREENPLAIN, &frame),
      DD_OK);
  dd_set_color_key(frame, 0, 0);
  const uint8_t picture[12] = {1, 0, 2, 3, 4, 5, 0, 6, 7, 8, 9, 10};
  memcpy(frame->pixels, picture, sizeof picture);
  surface_fill(back_surface, 99);
  // As a 4 x 3 sprite at (10, 20) draws itself.
  const RECT to = {10, 20, 10 + 4 - 1, 20 + 3 - 1};
  const RECT from = {0, 0, 4 - 1, 3 - 1};
  ASSERT_EQ(dd_blt(back_surface, &to, frame, &from, 1), DD_OK);
  for (int32_t y = 0; y < 3; y++) {
    for (int32_t x = 0; x < 4; x++) {
      const uint8_t source = picture[y * 4 + x];
      const bool covered = x < 3 && y < 2 && source != 0;
      EXPECT_EQ(back_surface->pixels[(20 + y) * 640 + 10 + x],
                covered ? source : 99)
          << x << "," << y;
    }
  }

  dd_release_surface(frame);
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

TEST_F(Display, ChangesToThePrimaryReachTheScreenAtOnce) {
  int frames = headless_frame_count();
  surface_fill(back_surface, 4);  // not the screen: nothing is shown
  EXPECT_EQ(headless_frame_count(), frames);
  surface_fill(primary_surface, 3);
  EXPECT_TRUE(screen_all(3));

  uint8_t *pixels = lock_primary();
  ASSERT_NE(pixels, nullptr);
  pixels[5 * primary_lock_pitch + 6] = 77;
  frames = headless_frame_count();
  unlock_primary();
  EXPECT_EQ(headless_frame_count(), frames + 1);
  EXPECT_EQ(headless_last_frame(nullptr, nullptr)[5 * 640 + 6], 77);

  const PALETTEENTRY orange = {255, 128, 0, PC_NOCOLLAPSE};
  dd_palette_set_entries(palette_object, 3, 1, &orange);
  EXPECT_EQ(headless_last_rgb(0, 0), 0xFF8000);
  // A range that runs past the end of the palette is refused whole.
  EXPECT_NE(dd_palette_set_entries(palette_object, 200, INT32_MAX, &orange),
            DD_OK);
}

}  // namespace
