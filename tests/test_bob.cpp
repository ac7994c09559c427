// BOB frames: their surfaces, loading from a sheet, drawing with index 0
// transparent, and giving everything back.
#include "engine/display/bob.h"
#include "engine/display/display.h"
#include "sheet.h"
#include "support.h"

namespace {

const int32_t SHOWN = 0x11;  // as the game creates its BOBs
const int32_t SYSMEM = DDSCAPS_SYSTEMMEMORY;

class Bob : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    open_window_display_keyboard();
  }
  void TearDown() override {
    dd_fail_surfaces_after(-1);
    bob_destroy(&bob);
  }

  // Byte (x, y) of a frame surface.
  uint8_t frame_pixel(int32_t frame, int32_t x, int32_t y) {
    const DDSurface *s = bob.frames[frame];
    return s->pixels[y * s->pitch + x];
  }

  // True when frame 0 holds sheet pixels from (left, top) on.
  bool frame_holds(int32_t left, int32_t top) {
    for (int32_t y = 0; y < bob.height; y++) {
      for (int32_t x = 0; x < bob.width; x++) {
        if (frame_pixel(0, x, y) != sheet_value(left + x, top + y)) {
          return false;
        }
      }
    }
    return true;
  }

  BOB bob{};
};

TEST_F(Bob, SurfacesArePaddedToEightAndKeyedOnZero) {
  const struct {
    int32_t width, pad;
  } cases[] = {{1, 7}, {8, 0}, {11, 5}, {64, 0}, {65, 7}, {66, 6}};
  for (const auto &c : cases) {
    const int32_t before = dd_live_surfaces();
    bob.xv = bob.yv = bob.current_frame = 9;
    ASSERT_EQ(bob_create(&bob, -3, 500, c.width, 8, 2, SHOWN, SYSMEM), 1);
    EXPECT_EQ(bob.row_pad, c.pad) << c.width;
    EXPECT_EQ(dd_live_surfaces(), before + 2);
    for (int32_t f = 0; f < 2; f++) {
      ASSERT_NE(bob.frames[f], nullptr);
      EXPECT_EQ(bob.frames[f]->width, c.width + c.pad);
      EXPECT_EQ(bob.frames[f]->height, 8);
      EXPECT_TRUE(bob.frames[f]->has_color_key);
      EXPECT_EQ(bob.frames[f]->color_key_low, 0);
      EXPECT_EQ(bob.frames[f]->color_key_high, 0);
    }
    EXPECT_EQ(bob.frames[2], nullptr);
    EXPECT_EQ(bob.x, -3);
    EXPECT_EQ(bob.y, 500);
    EXPECT_EQ(bob.xv, 0);
    EXPECT_EQ(bob.yv, 0);
    EXPECT_EQ(bob.current_frame, 0);
    EXPECT_EQ(bob.state, 1);
    EXPECT_EQ(bob.flags, SHOWN);
    ASSERT_EQ(bob_destroy(&bob), 1);
    EXPECT_EQ(dd_live_surfaces(), before);
  }
}

TEST_F(Bob, NoFramesMeansNoSurfacesAndTooManyIsRefused) {
  const int32_t before = dd_live_surfaces();
  EXPECT_EQ(bob_create(&bob, 0, 0, 11, 11, 0, SHOWN, SYSMEM), 1);
  EXPECT_EQ(bob.frames[0], nullptr);
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);  // nothing to show
  EXPECT_EQ(bob_create(&bob, 0, 0, 11, 11, 65, SHOWN, SYSMEM), 0);
  EXPECT_EQ(dd_live_surfaces(), before);
}

TEST_F(Bob, HalfMadeBobReleasesExactlyTheSurfacesMade) {
  const int32_t before = dd_live_surfaces();
  dd_fail_surfaces_after(2);
  EXPECT_EQ(bob_create(&bob, 0, 0, 11, 11, 5, SHOWN, SYSMEM), 0);
  EXPECT_NE(bob.frames[0], nullptr);
  EXPECT_NE(bob.frames[1], nullptr);
  for (int32_t f = 2; f < BOB_MAX_FRAMES; f++)
    EXPECT_EQ(bob.frames[f], nullptr);
  EXPECT_EQ(dd_live_surfaces(), before + 2);
  EXPECT_EQ(bob_destroy(&bob), 1);
  EXPECT_EQ(dd_live_surfaces(), before);
  // A second destroy finds nothing left to give back.
  EXPECT_EQ(bob_destroy(&bob), 1);
  EXPECT_EQ(dd_live_surfaces(), before);
  EXPECT_EQ(bob_destroy(nullptr), 0);
}

TEST_F(Bob, CellAndPixelModeCopyTheRightRectangle) {
  Sheet sheet(140, 20);
  ASSERT_EQ(bob_create(&bob, 0, 0, 65, 8, 1, 0x01, SYSMEM), 1);
  // Cell (1, 0) of 65 x 8 cells starts at pixel (67, 1).
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 1, 0, 0), 1);
  EXPECT_TRUE(frame_holds(67, 1));
  EXPECT_EQ(bob.flags, 0x01 | BOB_FILLED);
  // The pad at the end of each row is not written.
  for (int32_t y = 0; y < 8; y++) {
    for (int32_t x = 65; x < 72; x++) EXPECT_EQ(frame_pixel(0, x, y), 0);
  }
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 1), 1);
  EXPECT_TRUE(frame_holds(0, 0));
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 75, 12, 3), 1);
  EXPECT_TRUE(frame_holds(75, 12));
}

TEST_F(Bob, LoadRefusesWhatIsNotThere) {
  Sheet sheet(133, 10);  // exactly two 65 x 8 cells across, one down
  ASSERT_EQ(bob_create(&bob, 0, 0, 65, 8, 2, SHOWN, SYSMEM), 1);
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 1, 1, 0, 0), 1);  // the last

  EXPECT_EQ(bob_load_frame(nullptr, &sheet.file, 0, 0, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, nullptr, 0, 0, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, -1, 0, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 2, 0, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 64, 0, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 2, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 1, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, -1, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 69, 0, 1), 0);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, -1, 1), 0);
  // A cell whose pixel column, in 32 bits, wraps round to column 3.
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 1041204193, 0, 0), 0);
  sheet.file.info_header.biBitCount = 24;
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 0);
  sheet.file.info_header.biBitCount = 8;
  BitmapFile empty = sheet.file;
  empty.buffer = nullptr;
  EXPECT_EQ(bob_load_frame(&bob, &empty, 0, 0, 0, 0), 0);
  // A frame surface held by someone else can't be locked, so nothing is
  // copied.
  uint8_t *pixels;
  int32_t pitch;
  ASSERT_EQ(dd_lock(bob.frames[0], &pixels, &pitch), DD_OK);
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 0);
  dd_unlock(bob.frames[0]);

  EXPECT_EQ(bob.flags, SHOWN | BOB_FILLED);
  for (int32_t y = 0; y < 8; y++) {
    for (int32_t x = 0; x < 72; x++) ASSERT_EQ(frame_pixel(0, x, y), 0);
  }
}

TEST_F(Bob, BallShowsTenByTenWithZeroTransparent) {
  Sheet sheet(13, 13);
  sheet.set(3, 4, 0);  // frame pixel (2, 3)
  ASSERT_EQ(bob_create(&bob, 315, 440, 11, 11, 1, SHOWN, SYSMEM), 1);
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 1);
  surface_fill(back_surface, 7);
  ASSERT_EQ(bob_draw(&bob, back_surface), 1);
  ASSERT_EQ(display_flip(), 1);

  int32_t w, h;
  const uint8_t *frame = headless_last_frame(&w, &h);
  ASSERT_TRUE(frame);
  ASSERT_EQ(w, 640);
  for (int32_t y = 430; y < 460; y++) {
    for (int32_t x = 305; x < 335; x++) {
      uint8_t want = 7;
      if (x >= 315 && x <= 324 && y >= 440 && y <= 449) {
        want = sheet.pixels[(y - 440 + 1) * 13 + (x - 315 + 1)];
        if (want == 0) want = 7;
      }
      ASSERT_EQ(frame[y * w + x], want) << x << "," << y;
    }
  }
  EXPECT_EQ(frame[443 * w + 317], 7);  // the transparent one
}

TEST_F(Bob, DrawRefusesAndSkips) {
  Sheet sheet(13, 13);
  ASSERT_EQ(bob_create(&bob, 100, 100, 11, 11, 1, 0x01, SYSMEM), 1);
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 1);
  surface_fill(back_surface, 7);
  // Without BOB_SHOWN: nothing drawn, and that is not a failure.
  EXPECT_EQ(bob_draw(&bob, back_surface), 1);
  uint8_t *pixels = lock_back();
  ASSERT_TRUE(pixels);
  EXPECT_EQ(pixels[105 * back_lock_pitch + 105], 7);
  unlock_back();

  bob.flags |= BOB_SHOWN;
  EXPECT_EQ(bob_draw(nullptr, back_surface), 0);
  EXPECT_EQ(bob_draw(&bob, nullptr), 0);
  for (int32_t frame : {-1, 1, 64}) {
    bob.current_frame = frame;
    EXPECT_EQ(bob_draw(&bob, back_surface), 0) << frame;
  }
  bob.current_frame = 0;
  // Wholly off a surface without a clipper: the blit is refused.
  bob.x = 700;
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);
  // A position whose right edge can't be expressed.
  bob.x = INT32_MAX - 3;
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);
  bob.x = 100;
  EXPECT_EQ(bob_draw(&bob, back_surface), 1);
  // Destroyed, the record no longer reaches its surface.
  bob_destroy(&bob);
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);
}

}  // namespace
