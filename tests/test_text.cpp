// Text on surfaces in our font, matched to the screen's palette, and the
// debug log.
#include <stdio.h>
#include <string.h>

#include <set>
#include <string>

#include "engine/display/display.h"
#include "engine/display/font.h"
#include "engine/display/log.h"
#include "engine/display/text.h"
#include "support.h"

namespace {

using Text = FreshDisplay;

// The screen in and around the cells of `text` at (x, y): `ink` where the font
// has a pixel, `paper` everywhere else. Only the screen's part of the cells is
// looked at.
void expect_text(const char *text, int32_t x, int32_t y, uint8_t ink,
                 uint8_t paper) {
  const uint8_t *screen = headless_last_frame(nullptr, nullptr);
  const int32_t n = (int32_t)strlen(text);
  int inked = 0;
  for (int32_t row = -2; row < FONT_CELL_HEIGHT + 2; row++) {
    for (int32_t col = -2; col < n * FONT_CELL_WIDTH + 2; col++) {
      if (x + col < 0 || y + row < 0) continue;
      bool on = false;
      if (row >= 0 && row < FONT_CELL_HEIGHT && col >= 0 &&
          col < n * FONT_CELL_WIDTH) {
        const uint8_t *glyph = font_glyph(text[col / FONT_CELL_WIDTH]);
        on = (glyph[row] >> (col % FONT_CELL_WIDTH)) & 1;
      }
      inked += on;
      ASSERT_EQ(screen[(y + row) * 640 + x + col], on ? ink : paper)
          << "'" << text << "' at column " << col << ", row " << row;
    }
  }
  EXPECT_GT(inked, 0);
}

// Text reaches the screen at once, cells 6 pixels apart, only the glyphs
// painted over the old picture, in the entry nearest its colour in the palette
// shown at the time.
TEST_F(Text, LandsAtItsPlaceInTheNearestColourOfThePaletteShown) {
  surface_fill(primary_surface, 200);
  // (251, 1, 0) is nearest to entry 63, (252, 0, 0).
  EXPECT_EQ(text_draw_rgb("Hi 9", 30, 40, RGB(251, 1, 0), primary_surface), 1);
  expect_text("Hi 9", 30, 40, 63, 200);
  // Entry 192 is black like entry 0, which is the first match.
  EXPECT_EQ(text_draw_index("A", 10, 10, 192, primary_surface), 1);
  expect_text("A", 10, 10, 0, 200);
  EXPECT_EQ(text_draw_index("B", 10, 10, 256, primary_surface), 0);
  EXPECT_EQ(text_draw_index("B", 10, 10, -1, primary_surface), 0);
  const PALETTEENTRY white = {255, 255, 255, PC_NOCOLLAPSE};
  dd_palette_set_entries(palette_object, 10, 1, &white);
  text_draw_rgb("W", 20, 20, RGB(255, 255, 255), primary_surface);
  expect_text("W", 20, 20, 10, 200);
}

// Cells hanging over every edge, places far outside, and empty text: only
// what is on the surface is drawn. A locked surface, or none, refuses.
TEST_F(Text, IsClippedToTheSurface) {
  surface_fill(primary_surface, 9);
  const int32_t places[][2] = {
      {-3, -4},       {636, 475},     {-20, 200},       {300, 477},
      {INT32_MIN, 0}, {0, INT32_MAX}, {INT32_MAX, 100}, {100, INT32_MIN}};
  for (const auto &p : places) {
    EXPECT_EQ(
        text_draw_rgb("W@W@W", p[0], p[1], RGB(252, 0, 0), primary_surface), 1);
  }
  EXPECT_EQ(text_draw_rgb("", 1, 1, RGB(252, 0, 0), primary_surface), 1);
  expect_text("W@W@W", -3, -4, 63, 9);  // the corner, the empty text in it
  DDSurface *tiny = nullptr;            // smaller than one cell
  ASSERT_EQ(dd_create_surface(ddraw_object, 3, 2, 0, &tiny), DD_OK);
  EXPECT_EQ(text_draw_rgb("M", -1, -1, RGB(252, 0, 0), tiny), 1);
  dd_release_surface(tiny);
  lock_back();
  EXPECT_EQ(text_draw_rgb("x", 10, 10, RGB(252, 0, 0), back_surface), 0);
  unlock_back();
  EXPECT_EQ(text_draw_rgb("x", 10, 10, RGB(252, 0, 0), nullptr), 0);
}

TEST(Font, EveryPrintableCharacterHasItsOwnVisibleGlyph) {
  std::set<std::string> seen;
  for (int c = FONT_FIRST_CHAR; c <= FONT_LAST_CHAR; c++) {
    const std::string rows((const char *)font_glyph((unsigned char)c),
                           FONT_CELL_HEIGHT);
    EXPECT_EQ(rows == std::string(FONT_CELL_HEIGHT, '\0'), c == ' ') << c;
    EXPECT_TRUE(seen.insert(rows).second) << "'" << (char)c << "' repeats";
  }
  EXPECT_EQ(memcmp(font_glyph(200), font_glyph(' '), FONT_CELL_HEIGHT), 0);
}

TEST(Log, WritesTheMessageOnceFormattedAndCutTo79Characters) {
  EXPECT_EQ(log_write("\nCreate BOB %d", 4), 0);  // no stream
  log_stream = tmpfile();
  ASSERT_NE(log_stream, nullptr);
  EXPECT_EQ(log_write(nullptr), 0);
  EXPECT_EQ(log_write("\nCreate BOB %d", 4), 1);
  EXPECT_EQ(log_write("%s!", std::string(200, 'x').c_str()), 1);
  EXPECT_EQ(log_write("%s", "100%d %s %n"), 1);
  rewind(log_stream);
  char logged[512] = {0};
  EXPECT_GT(fread(logged, 1, sizeof logged - 1, log_stream), 0u);
  fclose(log_stream);
  log_stream = nullptr;
  EXPECT_EQ(logged, "\nCreate BOB 4" + std::string(79, 'x') + "100%d %s %n");
}

}  // namespace
