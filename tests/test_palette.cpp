// Palettes, the nine screen transitions and the clipped line writers.

#include <algorithm>
#include <vector>

#include "engine/display/display.h"
#include "engine/display/lines.h"
#include "engine/display/palette.h"
#include "engine/random.h"
#include "support.h"

namespace {

using Bytes = std::vector<uint8_t>;
using Colour = std::vector<int>;  // r, g, b

Colour rgb(const void *palette, int i) {
  const uint8_t *p = (const uint8_t *)palette + 4 * i;
  return {p[0], p[1], p[2]};
}

// What reached the screen: when, and in which colours.
struct Shown {
  uint32_t time;
  Bytes palette;
};

void record(const uint8_t *, int32_t, int32_t, const uint8_t *palette,
            void *user) {
  ((std::vector<Shown> *)user)
      ->push_back({headless_now(), {palette, palette + 1024}});
}

class Palette : public FreshDisplay {
 protected:
  void SetUp() override {
    FreshDisplay::SetUp();
    headless_on_present(record, &shown);
  }

  // Each step was shown once, 12 to 16 ms after the one before.
  void expect_steps_shown(size_t steps) {
    EXPECT_EQ(shown.size(), steps);
    for (size_t i = 1; i < shown.size(); i++) {
      const uint32_t gap = shown[i].time - shown[i - 1].time;
      EXPECT_TRUE(gap >= 12 && gap <= 16) << "step " << i << " after " << gap;
    }
  }

  std::vector<Shown> shown;
};

// The first step shows a step's size. Darken takes 3 off (4 or less straight
// to 0) and leaves entry 0 alone; lighten adds 4; the colour types add 6 to
// their channel and take 4 off the others.
TEST_F(Palette, FadesStepToTheirEnd) {
  const struct {
    int32_t type;
    size_t steps;
    Colour fill, first, last;
  } cases[] = {
      {TRANSITION_DARKEN, 80, {255, 5, 4}, {252, 2, 0}, {15, 0, 0}},
      {TRANSITION_LIGHTEN, 64, {0, 255, 255}, {4, 255, 255}, {255, 255, 255}},
      {TRANSITION_TO_RED, 64, {0, 255, 255}, {6, 251, 251}, {255, 0, 0}},
      {TRANSITION_TO_BLUE, 64, {0, 255, 255}, {0, 251, 255}, {0, 0, 255}},
      {TRANSITION_TO_GREEN, 64, {0, 255, 255}, {0, 255, 251}, {0, 255, 0}},
  };
  for (const auto &c : cases) {
    PALETTEENTRY p[256];
    for (PALETTEENTRY &e : p) {
      e = {(uint8_t)c.fill[0], (uint8_t)c.fill[1], (uint8_t)c.fill[2], 4};
    }
    p[0] = {255, 0, 0, 4};
    palette_set(p);
    shown.clear();
    screen_transition(c.type, nullptr, 0);
    expect_steps_shown(c.steps);
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(rgb(shown[0].palette.data(), 1), c.first) << c.type;
    const bool darken = c.type == TRANSITION_DARKEN;
    EXPECT_EQ(rgb(display_palette, 0), (darken ? Colour{255, 0, 0} : c.last));
    for (int i = 1; i < 256; i++) {
      ASSERT_EQ(rgb(display_palette, i), c.last) << c.type << ": " << i;
      ASSERT_EQ(display_palette[i].peFlags, 4);
    }
  }
}

// The closing types paint every pixel of the screen with 0, a step each
// 12 ms, shown as they go when drawn into the locked primary.
TEST_F(Palette, ClosingTypesCoverTheScreen) {
  const size_t type_steps[][2] = {{TRANSITION_CLOSE_COLUMNS, 160},
                                  {TRANSITION_CLOSE_ROWS, 120},
                                  {TRANSITION_CLOSE_BOTH, 160}};
  for (const auto &c : type_steps) {
    surface_fill(primary_surface, 0xAA);
    ASSERT_TRUE(lock_primary());
    shown.clear();
    screen_transition((int32_t)c[0], primary_lock_ptr, primary_lock_pitch);
    expect_steps_shown(c[1]);
    for (int32_t y = 0; y < 480; y++) {
      const uint8_t *row = primary_lock_ptr + y * primary_lock_pitch;
      ASSERT_EQ(std::count(row, row + 640, 0), 640) << c[0] << " row " << y;
    }
    unlock_primary();
  }
  // A display under 2 rows has no middle to close towards; two are enough.
  display_width = 8;
  for (int32_t rows : {1, 2}) {
    display_height = rows;
    Bytes picture(8 * rows, 0xAA);
    screen_transition(TRANSITION_CLOSE_BOTH, picture.data(), 8);
    EXPECT_EQ(picture, Bytes(8 * rows, rows == 1 ? 0xAA : 0));
  }
}

// The scatter takes the row from the first draw and the column from the
// second, 4 x w x h + 1 times.
TEST_F(Palette, ScatterPlotsRowThenColumn) {
  display_width = 24;
  display_height = 10;
  Bytes picture(24 * 10, 0xAA), expected(picture);
  for (int n = 0; n <= 4 * 24 * 10; n++) {
    const int32_t y = random_next() % 10;
    expected[y * 24 + random_next() % 24] = 0;
  }
  random_state = 1;
  screen_transition(TRANSITION_SCATTER, picture.data(), 24);
  EXPECT_EQ(picture, expected);
}

// Each line is drawn on a 640 x 480 picture with a guard row above and below
// and 10 guard bytes at both ends of each row: only its part on the screen,
// (x1, y1) to (x2, y2), may change, to the colour's low byte.
TEST(Lines, LinesAreClippedToTheScreen) {
  const int32_t PITCH = 660;
  const struct {
    bool vertical;
    int32_t from, to, at;
    int32_t x1, y1, x2, y2;  // nothing painted when x1 > x2
  } cases[] = {{false, 700, -50, 10, 0, 10, 639, 10},
               {false, 0, 10, 480, 1, 0, 0, 0},
               {false, 640, 700, 5, 1, 0, 0, 0},
               {false, -9, -1, 3, 1, 0, 0, 0},
               {false, 0, 10, -1, 1, 0, 0, 0},
               {false, 639, 630, 479, 630, 479, 639, 479},
               {false, INT32_MIN, INT32_MAX, 0, 0, 0, 639, 0},
               {true, 500, -3, 7, 7, 0, 7, 479},
               {true, 0, 10, -1, 1, 0, 0, 0},
               {true, 0, 10, 640, 1, 0, 0, 0},
               {true, -20, -1, 3, 1, 0, 0, 0},
               {true, 480, 900, 3, 1, 0, 0, 0},
               {true, 4, 4, 639, 639, 4, 639, 4},
               {true, 479, 470, 0, 0, 470, 0, 479}};
  for (const auto &c : cases) {
    Bytes memory(PITCH * 482, 1), want(memory);
    for (int32_t y = c.y1; y <= c.y2 && c.x1 <= c.x2; y++) {
      for (int32_t x = c.x1; x <= c.x2; x++) want[(y + 1) * PITCH + x + 10] = 0;
    }
    uint8_t *start = &memory[PITCH + 10];
    if (c.vertical) vline_clipped(c.from, c.to, c.at, 0x1200, start, PITCH);
    if (!c.vertical) hline_clipped(c.from, c.to, c.at, 0x1200, start, PITCH);
    EXPECT_TRUE(memory == want) << (c.vertical ? "column " : "row ") << c.at
                                << ": " << c.from << ".." << c.to;
  }
}

// Unknown types, and the drawing types and line writers without a picture,
// neither wait nor show nor draw anything.
TEST_F(Palette, UnknownTypesAndNullPicturesDoNothing) {
  Bytes picture(640 * 480, 5);
  const uint32_t now = headless_now();
  for (int32_t type : {9, -1, 100, INT32_MIN}) {
    screen_transition(type, picture.data(), 640);
  }
  for (int32_t type = 2; type <= 5; type++) {
    screen_transition(type, nullptr, 640);
  }
  hline_clipped(0, 639, 0, 0, nullptr, 640);
  vline_clipped(0, 479, 0, 0, nullptr, 640);
  EXPECT_EQ(plot_pixel(3, 3, 0, nullptr, 640), 1);
  EXPECT_EQ(headless_now(), now);
  EXPECT_TRUE(shown.empty());
  EXPECT_TRUE(picture == Bytes(640 * 480, 5));
  EXPECT_EQ(random_state, 1u);  // not even the scatter ran
}

}  // namespace
