// The title picture: a night sky over a wall of fire, the name in big gold
// letters, and the keys. The game draws it at (20, 20) on a black screen and
// it reaches the screen's right and bottom edges, so its last 20 columns and
// rows are left black: the picture then sits in the middle of the screen.
#include <math.h>

#include "assets/font_big.h"
#include "assets/font_small.h"
#include "assets/noise.h"
#include "assets/palette.h"
#include "assets/pictures.h"

namespace {

const int32_t MARGIN = 20;
const int32_t W = TITLE_WIDTH - MARGIN, H = TITLE_HEIGHT - MARGIN;
const int32_t FIRE_HEIGHT = 140;  // flames rise from the bottom this far

void draw_sky(Canvas &c, const BigText &name) {
  for (int32_t y = 0; y < H; y++) {
    for (int32_t x = 0; x < W; x++) {
      const float haze = value_noise((float)x, (float)y, 70.0f, 5u) - 0.5f;
      float t = 0.05f + 0.85f * powf((float)y / (float)H, 1.6f) + 0.12f * haze;
      // A warm glow around the name.
      float nx, ny;
      const float d = big_text_distance(name, (float)x, (float)y, &nx, &ny);
      if (d < 60.0f) t += 0.22f * (1.0f - d / 60.0f);
      canvas_put(c, x, y, shade_dither(RAMP_SKY, t, x, y));
    }
  }
  // Stars in the upper half, a few of them bright crosses.
  for (int32_t y = 2; y < H / 2; y++) {
    for (int32_t x = 2; x < W - 2; x++) {
      const float h = hash_unit(x, y, 77u);
      if (h > 0.9975f) {
        canvas_put(c, x, y,
                   shade(RAMP_GREY, 0.6f + 0.4f * hash_unit(x, y, 78u)));
      }
      if (h > 0.99985f) {
        canvas_put(c, x - 1, y, shade(RAMP_GREY, 0.45f));
        canvas_put(c, x + 1, y, shade(RAMP_GREY, 0.45f));
        canvas_put(c, x, y - 1, shade(RAMP_GREY, 0.45f));
        canvas_put(c, x, y + 1, shade(RAMP_GREY, 0.45f));
        canvas_put(c, x, y, PAL_WHITE);
      }
    }
  }
}

// Flames: each column burns to its own height, and the heat is broken up by
// noise stretched upward so that it rises in tongues.
float flame_noise(float x, float y) {
  return 0.5f * value_noise(x, y, 26.0f, 31u) +
         0.3f * value_noise(x, y, 12.0f, 32u) +
         0.2f * value_noise(x, y, 5.0f, 33u);
}

void draw_fire(Canvas &c) {
  for (int32_t y = H - FIRE_HEIGHT; y < H; y++) {
    const float above = (float)(H - 1 - y);  // pixels above the bottom
    for (int32_t x = 0; x < W; x++) {
      const float reach =
          50.0f + 80.0f * value_noise((float)x, 0.0f, 48.0f, 8u);
      // Squashing y makes the noise's features tall and thin.
      const float sway =
          10.0f * (value_noise((float)x, above, 30.0f, 34u) - 0.5f);
      const float n = flame_noise((float)x + sway, above * 0.45f);
      const float heat = 1.0f - above / (reach * (0.35f + 1.1f * n));
      if (heat <= 0.0f) continue;
      const float t = 0.22f + 0.85f * powf(heat, 0.8f);
      canvas_put(c, x, y, shade_dither(RAMP_FIRE, t, x, y));
    }
  }
}

// A key cap: a raised grey square with the key's label on it.
void draw_key(Canvas &c, int32_t x, int32_t y, const char *label) {
  const int32_t size = 28;
  for (int32_t j = 0; j < size; j++) {
    for (int32_t i = 0; i < size; i++) {
      const bool corner =
          (i == 0 || i == size - 1) && (j == 0 || j == size - 1);
      if (corner) continue;
      float t = 0.62f;
      if (i < 2 || j < 2) t = 0.9f;
      if (i >= size - 2 || j >= size - 3) t = 0.28f;
      if (i == 0 || j == 0 || i == size - 1 || j == size - 1) t *= 0.7f;
      canvas_put(c, x + i, y + j, shade(RAMP_GREY, t));
    }
  }
  const TextStyle ink = {2, RAMP_GREY, 0.05f, 0.0f, 0};
  small_text_centred(c, label, x + size / 2, y + 6, ink);
}

void draw_frame(Canvas &c) {
  for (int32_t k = 0; k < 3; k++) {
    const float t = k == 1 ? 0.85f : 0.35f;
    const int32_t a = 4 + k;
    for (int32_t x = a; x < W - a; x++) {
      canvas_put(c, x, a, shade(RAMP_GOLD, t));
      canvas_put(c, x, H - 1 - a, shade(RAMP_GOLD, t));
    }
    for (int32_t y = a; y < H - a; y++) {
      canvas_put(c, a, y, shade(RAMP_GOLD, t));
      canvas_put(c, W - 1 - a, y, shade(RAMP_GOLD, t));
    }
  }
}

}  // namespace

Canvas picture_title() {
  Canvas art = canvas_make(W, H, PAL_BLACK);
  const BigText name =
      big_text_layout("QUILLFIRE", (float)W / 2.0f, 28.0f, 11.5f, 7.0f, 0.16f);
  draw_sky(art, name);
  draw_fire(art);
  big_text_draw(art, name);

  const TextStyle small = {1, RAMP_TEXT, 0.85f, 0.6f, PAL_BLACK};
  const TextStyle label = {2, RAMP_TEXT, 1.0f, 0.62f, PAL_BLACK};
  const TextStyle tagline = {1, RAMP_GOLD, 0.9f, 0.6f, PAL_BLACK};
  small_text_centred(art, "A PADDLE-AND-BALL DUEL FOR ONE OR TWO", W / 2, 134,
                     tagline);

  const char *keys[] = {"1", "2", "Q"};
  const char *choices[] = {"ONE PLAYER AGAINST THE COMPUTER", "TWO PLAYERS",
                           "QUIT"};
  const int32_t block = 28 + 16 + small_text_width(choices[0], 2);
  const int32_t left = (W - block) / 2;
  for (int32_t i = 0; i < 3; i++) {
    const int32_t y = 158 + 38 * i;
    draw_key(art, left, y, keys[i]);
    small_text_draw(art, choices[i], left + 44, y + 7, label);
  }

  small_text_centred(art,
                     "PLAYER 1, BOTTOM: < > ARROWS      PLAYER 2, TOP: Z X",
                     W / 2, 278, small);
  small_text_centred(art, "SPACE SERVES      ESC LEAVES THE MATCH", W / 2, 292,
                     small);
  draw_frame(art);
  Canvas cell = canvas_make(TITLE_WIDTH, TITLE_HEIGHT, PAL_BLACK);
  canvas_paste(cell, art, 0, 0);
  return sheet_with_cell(cell, TITLE_WIDTH + 1, TITLE_HEIGHT + 1);
}
