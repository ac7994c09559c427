#include "assets/palette.h"

#include <math.h>

namespace {

// Fills count entries from first with colours spread evenly along the stops.
void fill_ramp(Rgb *palette, Ramp ramp, const Rgb *stops, int32_t stop_count) {
  for (int32_t i = 0; i < ramp.count; i++) {
    const float t = ramp.count > 1 ? (float)i / (float)(ramp.count - 1) : 0.0f;
    const float pos = t * (float)(stop_count - 1);
    int32_t s = (int32_t)pos;
    if (s >= stop_count - 1) s = stop_count - 2;
    const float f = pos - (float)s;
    const Rgb a = stops[s], b = stops[s + 1];
    palette[ramp.first + i] = {
        (uint8_t)lroundf((float)a.r + f * (float)(b.r - a.r)),
        (uint8_t)lroundf((float)a.g + f * (float)(b.g - a.g)),
        (uint8_t)lroundf((float)a.b + f * (float)(b.b - a.b))};
  }
}

float clamp01(float t) { return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t); }

}  // namespace

void palette_build(Rgb palette[256]) {
  for (int32_t i = 0; i < 256; i++) palette[i] = {0, 0, 0};

  const Rgb grey[] = {{14, 14, 18}, {128, 128, 136}, {236, 236, 240}};
  const Rgb ball[] = {{70, 10, 4},    {165, 30, 8},    {230, 85, 14},
                      {255, 150, 36}, {255, 210, 100}, {255, 248, 220}};
  const Rgb paddle1[] = {{0, 28, 48},
                         {0, 96, 140},
                         {30, 180, 220},
                         {140, 235, 255},
                         {230, 252, 255}};
  const Rgb paddle2[] = {{48, 0, 24},
                         {140, 16, 72},
                         {225, 60, 140},
                         {255, 150, 205},
                         {255, 232, 246}};
  const Rgb floor[] = {{5, 9, 22}, {14, 26, 52}, {28, 50, 90}, {60, 90, 140}};
  const Rgb line[] = {{36, 54, 92}, {100, 140, 200}, {214, 232, 255}};
  const Rgb wall[] = {
      {16, 18, 26}, {62, 70, 92}, {146, 156, 178}, {232, 236, 246}};
  const Rgb goal1[] = {{4, 22, 32}, {14, 70, 92}};
  const Rgb goal2[] = {{32, 4, 14}, {92, 20, 44}};
  const Rgb gold[] = {{56, 26, 0},
                      {140, 80, 8},
                      {222, 160, 36},
                      {255, 222, 110},
                      {255, 250, 222}};
  const Rgb fire[] = {{16, 0, 2},    {90, 4, 0},     {186, 36, 0},
                      {246, 112, 8}, {255, 196, 56}, {255, 244, 190}};
  const Rgb sky[] = {
      {4, 2, 14}, {18, 8, 40}, {48, 12, 62}, {98, 20, 54}, {150, 36, 30}};
  const Rgb ember[] = {{28, 0, 0}, {110, 14, 4}, {196, 48, 10}};
  const Rgb text[] = {{40, 48, 68}, {150, 168, 200}, {236, 242, 252}};

  fill_ramp(palette, RAMP_GREY, grey, 3);
  fill_ramp(palette, RAMP_BALL, ball, 6);
  fill_ramp(palette, RAMP_PADDLE1, paddle1, 5);
  fill_ramp(palette, RAMP_PADDLE2, paddle2, 5);
  fill_ramp(palette, RAMP_FLOOR, floor, 4);
  fill_ramp(palette, RAMP_LINE, line, 3);
  fill_ramp(palette, RAMP_WALL, wall, 4);
  fill_ramp(palette, RAMP_GOAL1, goal1, 2);
  fill_ramp(palette, RAMP_GOAL2, goal2, 2);
  palette[PAL_MESSAGE] = {255, 204, 51};  // warm gold, clear on the court
  fill_ramp(palette, RAMP_GOLD, gold, 5);
  fill_ramp(palette, RAMP_FIRE, fire, 6);
  fill_ramp(palette, RAMP_SKY, sky, 5);
  fill_ramp(palette, RAMP_EMBER, ember, 3);
  fill_ramp(palette, RAMP_TEXT, text, 3);
  palette[PAL_WHITE] = {255, 255, 255};
}

uint8_t shade(Ramp ramp, float t) {
  const int32_t i = (int32_t)lroundf(clamp01(t) * (float)(ramp.count - 1));
  return (uint8_t)(ramp.first + i);
}

uint8_t shade_dither(Ramp ramp, float t, int32_t x, int32_t y) {
  static const uint8_t bayer[4][4] = {
      {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
  const float pos = clamp01(t) * (float)(ramp.count - 1);
  int32_t i = (int32_t)pos;
  const float threshold = ((float)bayer[y & 3][x & 3] + 0.5f) / 16.0f;
  if (pos - (float)i > threshold && i < ramp.count - 1) i++;
  return (uint8_t)(ramp.first + i);
}
