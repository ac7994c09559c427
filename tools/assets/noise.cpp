#include "assets/noise.h"

#include <math.h>

float value_noise(float x, float y, float scale, uint32_t seed) {
  const float fx = x / scale, fy = y / scale;
  const int32_t x0 = (int32_t)floorf(fx), y0 = (int32_t)floorf(fy);
  float tx = fx - (float)x0, ty = fy - (float)y0;
  tx = tx * tx * (3.0f - 2.0f * tx);
  ty = ty * ty * (3.0f - 2.0f * ty);
  const float a = hash_unit(x0, y0, seed), b = hash_unit(x0 + 1, y0, seed);
  const float c = hash_unit(x0, y0 + 1, seed),
              d = hash_unit(x0 + 1, y0 + 1, seed);
  const float top = a + (b - a) * tx, bottom = c + (d - c) * tx;
  return top + (bottom - top) * ty;
}
