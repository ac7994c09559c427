#include "assets/icon.h"

#include <math.h>

#include "assets/palette.h"

namespace {

// Everything is placed in units of the icon's side, so each size is drawn
// from the same shapes rather than scaled from another size.
const float CORNER = 0.16f;  // radius of the rounded corners
const float BALL_X = 0.58f, BALL_Y = 0.47f, BALL_R = 0.15f;
const float TRAIL_DX = -0.62f, TRAIL_DY = 0.52f;  // towards the bottom left
const float TRAIL_LENGTH = 0.42f;
const float PADDLE_H = 0.085f;
const float PADDLE1_X = 0.36f, PADDLE1_Y = 0.80f;  // bottom, cyan
const float PADDLE2_X = 0.14f, PADDLE2_Y = 0.12f;  // top, magenta
const float PADDLE_W = 0.50f;
const float LIGHT_X = -0.48f, LIGHT_Y = -0.62f, LIGHT_Z = 0.62f;

int inside_rounded_square(float u, float v) {
  const float cu = fminf(fmaxf(u, CORNER), 1.0f - CORNER);
  const float cv = fminf(fmaxf(v, CORNER), 1.0f - CORNER);
  return (u - cu) * (u - cu) + (v - cv) * (v - cv) <= CORNER * CORNER;
}

// The shade of the sky behind everything: dark at the top, a red glow low.
uint8_t sky(float v, int32_t x, int32_t y) {
  return shade_dither(RAMP_SKY, 0.1f + 0.55f * v * v, x, y);
}

// The flame behind the ball, brightest next to it and narrowing away.
int flame(float u, float v, uint8_t *index, int32_t x, int32_t y) {
  const float len = sqrtf(TRAIL_DX * TRAIL_DX + TRAIL_DY * TRAIL_DY);
  const float ax = TRAIL_DX / len, ay = TRAIL_DY / len;
  const float du = u - BALL_X, dv = v - BALL_Y;
  const float along = du * ax + dv * ay;  // distance down the trail
  const float across = fabsf(du * -ay + dv * ax);
  if (along < 0.0f || along > TRAIL_LENGTH) return 0;
  const float f = along / TRAIL_LENGTH;
  const float half_width = BALL_R * (1.0f - f) * 0.95f;
  if (across > half_width) return 0;
  const float heat = (1.0f - f) * (1.0f - 0.6f * across / half_width);
  *index = shade_dither(RAMP_FIRE, 0.2f + 0.8f * heat, x, y);
  return 1;
}

int ball(float u, float v, uint8_t *index) {
  const float dx = (u - BALL_X) / BALL_R, dy = (v - BALL_Y) / BALL_R;
  const float d2 = dx * dx + dy * dy;
  if (d2 > 1.0f) return 0;
  const float dz = sqrtf(1.0f - d2);
  const float diffuse = fmaxf(0.0f, dx * LIGHT_X + dy * LIGHT_Y + dz * LIGHT_Z);
  const float gleam = powf(fmaxf(0.0f, 2.0f * diffuse * dz - LIGHT_Z), 12.0f);
  *index = shade(RAMP_BALL, 0.12f + 0.7f * diffuse + 0.5f * gleam);
  return 1;
}

// A bar lit from above: light top, dark bottom.
int paddle(float u, float v, float left, float top, Ramp ramp, uint8_t *index) {
  if (u < left || u > left + PADDLE_W || v < top || v > top + PADDLE_H) {
    return 0;
  }
  const float t = (v - top) / PADDLE_H;
  *index = shade(ramp, 0.95f - 0.8f * t);
  return 1;
}

}  // namespace

Canvas picture_icon(int32_t size) {
  Canvas icon = canvas_make(size, size, PAL_BLACK);
  for (int32_t y = 0; y < size; y++) {
    for (int32_t x = 0; x < size; x++) {
      // The pixel's centre, in units of the side.
      const float u = ((float)x + 0.5f) / (float)size;
      const float v = ((float)y + 0.5f) / (float)size;
      if (!inside_rounded_square(u, v)) continue;
      uint8_t index = sky(v, x, y);
      if (!ball(u, v, &index) && !flame(u, v, &index, x, y) &&
          !paddle(u, v, PADDLE1_X, PADDLE1_Y, RAMP_PADDLE1, &index)) {
        paddle(u, v, PADDLE2_X, PADDLE2_Y, RAMP_PADDLE2, &index);
      }
      canvas_put(icon, x, y, index);
    }
  }
  return icon;
}
