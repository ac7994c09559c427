// BOB frames: their surfaces, loading from a sheet, what drawing refuses, and
// giving everything back (test_clipper looks at what they draw).
#include "engine/display/bob.h"
#include "engine/display/ddraw_testing.h"
#include "engine/display/display.h"
#include "sheet.h"
#include "support.h"

namespace {

const int32_t SHOWN = 0x11;  // as the game creates its BOBs

class Bob : public FreshDisplay {
 protected:
  void TearDown() override { bob_destroy(&bob); }

  int32_t create(int32_t x, int32_t y, int32_t w, int32_t h, int32_t frames,
                 int32_t flags = SHOWN) {
    return bob_create(&bob, x, y, w, h, frames, flags, DDSCAPS_SYSTEMMEMORY);
  }

  // True when frame 0 holds sheet pixels from (left, top) on, and its row pad
  // is still 0.
  bool frame_holds(int32_t left, int32_t top) {
    const DDSurface *s = bob.frames[0];
    for (int32_t y = 0; y < bob.height; y++) {
      for (int32_t x = 0; x < s->width; x++) {
        const uint8_t want = x < bob.width ? sheet_value(left + x, top + y) : 0;
        if (s->pixels[y * s->pitch + x] != want) return false;
      }
    }
    return true;
  }

  BOB bob{};
};

// Surfaces padded to 8-byte rows (keyed on 0: test_clipper shows it), one per
// frame; failed or empty creates hold only what they made, and destroy gives
// everything back, once.
TEST_F(Bob, CreateMakesPaddedSurfacesAndDestroyGivesThemBack) {
  const int32_t before = dd_live_surfaces();
  const int32_t width_pad[][2] = {{1, 7},  {8, 0},  {11, 5},
                                  {64, 0}, {65, 7}, {66, 6}};
  for (const auto &c : width_pad) {
    bob.current_frame = 9;
    ASSERT_EQ(create(0, 0, c[0], 8, 2), 1);
    EXPECT_EQ(bob.row_pad, c[1]) << c[0];
    EXPECT_EQ(bob.current_frame, 0);
    EXPECT_EQ(dd_live_surfaces(), before + 2);
    for (const DDSurface *s : {bob.frames[0], bob.frames[1]}) {
      EXPECT_EQ(s->width, c[0] + c[1]);
    }
    bob_destroy(&bob);
  }
  EXPECT_EQ(create(0, 0, 11, 11, 0), 1);
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);  // no frame to show
  EXPECT_EQ(create(0, 0, 11, 11, 65), 0);      // more than the record holds
  EXPECT_EQ(dd_live_surfaces(), before);

  dd_fail_surfaces_after(2);
  EXPECT_EQ(create(0, 0, 11, 11, 5), 0);
  dd_fail_surfaces_after(-1);
  EXPECT_EQ(dd_live_surfaces(), before + 2);
  EXPECT_EQ(bob_destroy(&bob), 1);
  EXPECT_EQ(dd_live_surfaces(), before);
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);  // nor reaches what it gave back
  EXPECT_EQ(bob_destroy(&bob), 1);  // nothing left to give back twice
  EXPECT_EQ(dd_live_surfaces(), before);
  EXPECT_EQ(bob_destroy(nullptr), 0);
}

TEST_F(Bob, LoadTakesTheCellOrThePixelAndNothingOutside) {
  Sheet sheet(133, 10);  // exactly two 65 x 8 cells across, one down
  ASSERT_EQ(create(0, 0, 65, 8, 2), 1);
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 1, 0, 0), 1);
  EXPECT_TRUE(frame_holds(67, 1));  // cell (1, 0)
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 0, 68, 2, 3), 1);
  EXPECT_TRUE(frame_holds(68, 2));  // any mode but 0 takes pixels
  ASSERT_EQ(bob_load_frame(&bob, &sheet.file, 1, 0, 0, 0), 1);

  // Frames the record lacks; cells and pixels outside the sheet on each side.
  const int32_t bad[][4] = {
      {-1, 0, 0, 0},
      {2, 0, 0, 0},
      {64, 0, 0, 0},
      {0, 2, 0, 0},
      {0, 0, 1, 0},
      {0, -1, 0, 0},
      {0, 0, -1, 0},
      {0, 69, 0, 1},
      {0, 0, 3, 1},
      {0, -1, 0, 1},
      {0, 0, -1, 1},
      {0, 1041204193, 0, 0}};  // a pixel column that wraps round to 3
  for (const auto &b : bad) {
    EXPECT_EQ(bob_load_frame(&bob, &sheet.file, b[0], b[1], b[2], b[3]), 0)
        << b[0] << ": " << b[1] << "," << b[2] << " mode " << b[3];
  }
  EXPECT_EQ(bob_load_frame(nullptr, &sheet.file, 0, 0, 0, 0), 0);
  EXPECT_EQ(bob_load_frame(&bob, nullptr, 0, 0, 0, 0), 0);
  sheet.file.info_header.biBitCount = 24;
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 0);
  sheet.file.info_header.biBitCount = 8;
  sheet.file.buffer = nullptr;
  EXPECT_EQ(bob_load_frame(&bob, &sheet.file, 0, 0, 0, 0), 0);
  EXPECT_TRUE(frame_holds(68, 2));
}

TEST_F(Bob, DrawRefusesWhatItCannotDraw) {
  ASSERT_EQ(create(100, 100, 11, 11, 1), 1);
  EXPECT_EQ(bob_draw(nullptr, back_surface), 0);
  EXPECT_EQ(bob_draw(&bob, nullptr), 0);
  for (int32_t frame : {-1, 1, 64}) {
    bob.current_frame = frame;
    EXPECT_EQ(bob_draw(&bob, back_surface), 0) << frame;
  }
  bob.current_frame = 0;
  bob.x = INT32_MAX - 3;  // a right edge that can't be expressed
  EXPECT_EQ(bob_draw(&bob, back_surface), 0);
}

}  // namespace
