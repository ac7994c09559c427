// Palettes, the nine screen transitions and the clipped line writers.
#include <string.h>

#include <set>
#include <utility>
#include <vector>

#include "engine/display/clock.h"
#include "engine/display/display.h"
#include "engine/display/palette.h"
#include "engine/random.h"
#include "support.h"

namespace {

struct Presents {
  int count = 0;
  std::vector<uint32_t> times;  // virtual time of each
  uint8_t first_palette[1024];  // the colours the first one was shown in
};

void count_present(const uint8_t *, int32_t, int32_t, const uint8_t *palette,
                   void *user) {
  Presents *p = (Presents *)user;
  if (p->count == 0) memcpy(p->first_palette, palette, 1024);
  p->count++;
  p->times.push_back(headless_now());
}

// Entry i of the palette the first step was shown in, as (r, g, b).
std::vector<int> first_step(const Presents &p, int i) {
  return {p.first_palette[4 * i], p.first_palette[4 * i + 1],
          p.first_palette[4 * i + 2]};
}

class Palette : public Fresh {
 protected:
  void SetUp() override {
    Fresh::SetUp();
    open_window_display_keyboard();
    headless_on_present(count_present, &presents);
  }

  // Installs a palette whose every entry is (r, g, b) with flags 4, then sets
  // entries from `special` over it.
  void install(uint8_t r, uint8_t g, uint8_t b,
               std::initializer_list<std::pair<int, PALETTEENTRY>> special) {
    PALETTEENTRY p[256];
    for (PALETTEENTRY &e : p) e = {r, g, b, PC_NOCOLLAPSE};
    for (const auto &s : special) p[s.first] = s.second;
    palette_set(p);
    presents = Presents{};
  }

  void expect_entry(int i, uint8_t r, uint8_t g, uint8_t b, uint8_t flags) {
    EXPECT_EQ(display_palette[i].peRed, r) << "entry " << i;
    EXPECT_EQ(display_palette[i].peGreen, g) << "entry " << i;
    EXPECT_EQ(display_palette[i].peBlue, b) << "entry " << i;
    EXPECT_EQ(display_palette[i].peFlags, flags) << "entry " << i;
  }

  // Each step was shown once, at least 12 ms after the one before.
  void expect_steps_shown(int steps) {
    EXPECT_EQ(presents.count, steps);
    for (size_t i = 1; i < presents.times.size(); i++) {
      const uint32_t gap = presents.times[i] - presents.times[i - 1];
      EXPECT_GE(gap, 12u);
      EXPECT_LE(gap, 16u);
    }
  }

  Presents presents;
};

TEST_F(Palette, SetThenSaveRoundTripsAndReachesTheScreen) {
  PALETTEENTRY p[256], q[256];
  for (int i = 0; i < 256; i++) {
    p[i] = {(uint8_t)i, (uint8_t)(255 - i), (uint8_t)(i * 3), (uint8_t)(i & 7)};
  }
  EXPECT_EQ(palette_set(p), 1);
  EXPECT_EQ(palette_save(q), 1);
  EXPECT_EQ(memcmp(p, q, sizeof p), 0);
  EXPECT_EQ(presents.count, 1);
  EXPECT_EQ(memcmp(headless_last_palette(), p, sizeof p), 0);
  EXPECT_EQ(memcmp(palette_object->entries, p, sizeof p), 0);

  // Before the display exists only the system's copy changes.
  display_shutdown();
  p[5].peRed = 99;
  EXPECT_EQ(palette_set(p), 1);
  EXPECT_EQ(display_palette[5].peRed, 99);
  EXPECT_EQ(presents.count, 1);
}

TEST_F(Palette, DarkenSteps80TimesAndLeavesEntryZero) {
  install(0, 0, 0,
          {{0, {200, 100, 50, 1}},
           {1, {255, 5, 4, 4}},
           {2, {242, 241, 3, 0}},
           {3, {6, 7, 8, 2}}});
  const uint32_t start = headless_now();
  screen_transition(TRANSITION_DARKEN, nullptr, 0);
  // A step takes 3 off, and 4 or less straight to 0.
  EXPECT_EQ(first_step(presents, 1), (std::vector<int>{252, 2, 0}));
  EXPECT_EQ(first_step(presents, 3), (std::vector<int>{3, 4, 5}));
  expect_entry(0, 200, 100, 50, 1);
  expect_entry(1, 15, 0, 0, 4);
  expect_entry(2, 2, 0, 0, 0);
  expect_entry(3, 0, 0, 0, 2);
  expect_steps_shown(80);
  EXPECT_GE(headless_now() - start, 80u * 12);
  // The frame clock was last started by the final step.
  EXPECT_GE(clock_start_tick, presents.times.back());
  EXPECT_EQ(memcmp(headless_last_palette(), display_palette, 1024), 0);
}

TEST_F(Palette, LightenEndsWhite) {
  install(0, 0, 0, {{9, {0, 0, 0, 0}}, {10, {250, 1, 252, 4}}});
  screen_transition(TRANSITION_LIGHTEN, nullptr, 0);
  EXPECT_EQ(first_step(presents, 10), (std::vector<int>{254, 5, 255}));
  for (int i = 0; i < 256; i++) {
    expect_entry(i, 255, 255, 255, i == 9 ? 0 : PC_NOCOLLAPSE);
  }
  expect_steps_shown(64);
}

TEST_F(Palette, ColourTypesEndOnTheirColour) {
  // The colour's channel rises by 6 a step, the others fall by 4.
  const struct {
    int32_t type;
    uint8_t r, g, b;
    std::vector<int> first;
  } cases[] = {{TRANSITION_TO_RED, 255, 0, 0, {9, 248, 246}},
               {TRANSITION_TO_BLUE, 0, 0, 255, {0, 248, 255}},
               {TRANSITION_TO_GREEN, 0, 255, 0, {0, 255, 246}}};
  for (const auto &c : cases) {
    install(0, 255, 255, {{0, {255, 0, 0, 4}}, {1, {3, 252, 250, 4}}});
    screen_transition(c.type, nullptr, 0);
    EXPECT_EQ(first_step(presents, 1), c.first) << c.type;
    for (int i = 0; i < 256; i++) expect_entry(i, c.r, c.g, c.b, PC_NOCOLLAPSE);
    expect_steps_shown(64);
  }
}

TEST_F(Palette, UnknownTypesDoNothing) {
  install(10, 20, 30, {});
  std::vector<uint8_t> picture(640 * 480, 5);
  const uint32_t now = headless_now();
  for (int32_t type : {9, -1, 100, INT32_MIN}) {
    screen_transition(type, picture.data(), 640);
  }
  EXPECT_EQ(headless_now(), now);
  EXPECT_EQ(presents.count, 0);
  expect_entry(17, 10, 20, 30, PC_NOCOLLAPSE);
  for (uint8_t b : picture) ASSERT_EQ(b, 5);
}

// Lines on a 640 x 480 picture with a guard row above and below and guard
// columns at both ends of each row.
class Lines : public Fresh {
 protected:
  static const int32_t PITCH = 660;  // 10 guard bytes either side
  std::vector<uint8_t> memory = std::vector<uint8_t>(PITCH * 482, 1);
  uint8_t *start = memory.data() + PITCH + 10;

  // The bytes other than 1, as (x, y) on the picture.
  std::set<std::pair<int32_t, int32_t>> painted() {
    std::set<std::pair<int32_t, int32_t>> out;
    for (size_t i = 0; i < memory.size(); i++) {
      if (memory[i] != 1) {
        out.insert({(int32_t)(i % PITCH) - 10, (int32_t)(i / PITCH) - 1});
      }
    }
    return out;
  }
  std::set<std::pair<int32_t, int32_t>> row(int32_t y, int32_t from,
                                            int32_t to) {
    std::set<std::pair<int32_t, int32_t>> out;
    for (int32_t x = from; x <= to; x++) out.insert({x, y});
    return out;
  }
  std::set<std::pair<int32_t, int32_t>> column(int32_t x, int32_t from,
                                               int32_t to) {
    std::set<std::pair<int32_t, int32_t>> out;
    for (int32_t y = from; y <= to; y++) out.insert({x, y});
    return out;
  }
  void clear() { std::fill(memory.begin(), memory.end(), 1); }
};

TEST_F(Lines, HorizontalLinesAreClipped) {
  const struct {
    int32_t x1, x2, y;
    std::set<std::pair<int32_t, int32_t>> want;
  } cases[] = {
      {700, -50, 10, row(10, 0, 639)},
      {0, 10, 480, {}},
      {640, 700, 5, {}},
      {5, 5, 5, row(5, 5, 5)},
      {-9, -1, 3, {}},
      {0, 10, -1, {}},
      {639, 630, 479, row(479, 630, 639)},
      {3, 6, 0, row(0, 3, 6)},
      {INT32_MIN, INT32_MAX, 7, row(7, 0, 639)},
  };
  for (const auto &c : cases) {
    clear();
    hline_clipped(c.x1, c.x2, c.y, 0x1200, start, PITCH);
    EXPECT_EQ(painted(), c.want) << c.x1 << ".." << c.x2 << " row " << c.y;
  }
  // The colour's low byte is what is written.
  EXPECT_EQ(start[7 * PITCH + 639], 0);
  hline_clipped(0, 3, 0, 0x1234, start, PITCH);
  EXPECT_EQ(start[2], 0x34);
}

TEST_F(Lines, VerticalLinesAreClipped) {
  const struct {
    int32_t y1, y2, x;
    std::set<std::pair<int32_t, int32_t>> want;
  } cases[] = {
      {500, -3, 7, column(7, 0, 479)},
      {0, 10, -1, {}},
      {0, 10, 640, {}},
      {-20, -1, 3, {}},
      {480, 900, 3, {}},
      {4, 4, 639, column(639, 4, 4)},
      {479, 470, 0, column(0, 470, 479)},
  };
  for (const auto &c : cases) {
    clear();
    vline_clipped(c.y1, c.y2, c.x, 0x22, start, PITCH);
    EXPECT_EQ(painted(), c.want) << c.y1 << ".." << c.y2 << " column " << c.x;
  }
}

TEST_F(Lines, NullPicturesAreLeftAlone) {
  hline_clipped(0, 639, 0, 0, nullptr, PITCH);
  vline_clipped(0, 479, 0, 0, nullptr, PITCH);
  EXPECT_EQ(plot_pixel(3, 3, 0, nullptr, PITCH), 1);
  for (int32_t type = 2; type <= 5; type++) {
    screen_transition(type, nullptr, PITCH);
  }
  EXPECT_EQ(random_state, 1u);  // not even the scatter ran
}

// The closing types paint every pixel of the screen with 0, a step each
// 12 ms, shown as they go when drawn into the locked primary.
TEST_F(Palette, ClosingTypesCoverTheScreen) {
  const struct {
    int32_t type;
    int steps;
  } cases[] = {{TRANSITION_CLOSE_COLUMNS, 160},
               {TRANSITION_CLOSE_ROWS, 120},
               {TRANSITION_CLOSE_BOTH, 160}};
  for (const auto &c : cases) {
    surface_fill(primary_surface, 0xAA);
    ASSERT_TRUE(lock_primary());
    presents = Presents{};
    const uint32_t before = headless_now();
    screen_transition(c.type, primary_lock_ptr, primary_lock_pitch);
    EXPECT_GE(headless_now() - before, (uint32_t)c.steps * 12) << c.type;
    expect_steps_shown(c.steps);
    for (int32_t y = 0; y < 480; y++) {
      for (int32_t x = 0; x < 640; x++) {
        ASSERT_EQ(primary_lock_ptr[y * primary_lock_pitch + x], 0)
            << "type " << c.type << " left " << x << "," << y;
      }
    }
    unlock_primary();
  }
}

TEST_F(Palette, CloseBothOnAFlatDisplayDoesNothing) {
  display_width = 8;
  display_height = 1;
  std::vector<uint8_t> picture(8, 0xAA);
  screen_transition(TRANSITION_CLOSE_BOTH, picture.data(), 8);
  for (uint8_t b : picture) EXPECT_EQ(b, 0xAA);
  // Two rows are enough for it to run.
  display_height = 2;
  picture.assign(16, 0xAA);
  screen_transition(TRANSITION_CLOSE_BOTH, picture.data(), 8);
  for (uint8_t b : picture) EXPECT_EQ(b, 0);
}

// The scatter takes the row from the first draw and the column from the
// second, 4 x w x h + 1 times.
TEST_F(Palette, ScatterPlotsRowThenColumnFromTheGenerator) {
  display_width = 24;
  display_height = 10;
  std::vector<uint8_t> picture(24 * 10, 0xAA);
  std::vector<uint8_t> expected(picture);
  uint32_t state = 1;
  auto draw = [&state]() {
    state = state * 214013u + 2531011u;
    return (int32_t)((state >> 16) & 0x7FFF);
  };
  for (int n = 0; n <= 4 * 24 * 10; n++) {
    const int32_t y = draw() % 10;
    const int32_t x = draw() % 24;
    expected[y * 24 + x] = 0;
  }
  screen_transition(TRANSITION_SCATTER, picture.data(), 24);
  EXPECT_EQ(picture, expected);
  EXPECT_EQ(random_state, state);
  EXPECT_EQ(presents.count, 0);  // not the screen, nothing to show
}

}  // namespace
