// The court, in screen coordinates: the picture's cell starts at (1, 1) of
// the file and is drawn at (0, 0), so file pixel (x + 1, y + 1) shows at
// screen (x, y). Its marks follow the rules of play: the ball bounces off the
// walls at x = 22 and x = 618, paddles move between x = 22 and x = 620, the
// top goal is above y = 20 and the bottom one below the bottom paddle.
#include <math.h>

#include "assets/noise.h"
#include "assets/palette.h"
#include "assets/pictures.h"

namespace {

const int32_t LEFT_WALL_END = 21;      // the left wall covers x 0..21
const int32_t RIGHT_WALL_START = 620;  // the right one x 620..638
const int32_t TOP_GOAL_LINE = 18;      // rows 18 and 19
const int32_t BOTTOM_GOAL_LINE = 459;  // rows 459 and 460
const int32_t CENTRE_X = 320, CENTRE_Y = 239;
// The messages of the game ("Press SPACE to continue" at (230, 235)) fall
// inside the centre circle, which is kept dark and plain for them.
const float CENTRE_RADIUS = 96.0f;
const float CREASE_RADIUS = 64.0f;
// Rows at the top kept plain for the white score lines at y = 1.
const int32_t SCORE_ROWS = 13;

float floor_shade(int32_t x, int32_t y) {
  const float cloud = value_noise((float)x, (float)y, 56.0f, 11u) - 0.5f;
  const float grain = value_noise((float)x, (float)y, 7.0f, 23u) - 0.5f;
  // Broad boards across the court, every other one a touch lighter.
  const float board = ((y / 40) & 1) ? 0.02f : 0.0f;
  const float dx = ((float)x - CENTRE_X) / 300.0f;
  const float dy = ((float)y - CENTRE_Y) / 240.0f;
  const float vignette = 0.14f * (dx * dx + dy * dy);
  float t = 0.34f + 0.10f * cloud + 0.04f * grain + board - vignette;
  // The walls cast a short shadow on the floor.
  const int32_t from_wall = x - LEFT_WALL_END < RIGHT_WALL_START - 1 - x
                                ? x - LEFT_WALL_END
                                : RIGHT_WALL_START - 1 - x;
  if (from_wall < 5) t -= 0.03f * (float)(5 - from_wall);
  return t;
}

void draw_floor(Canvas &c) {
  for (int32_t y = TOP_GOAL_LINE + 2; y < BOTTOM_GOAL_LINE; y++) {
    for (int32_t x = LEFT_WALL_END + 1; x < RIGHT_WALL_START; x++) {
      float t = floor_shade(x, y);
      const float cx = (float)(x - CENTRE_X), cy = (float)(y - CENTRE_Y);
      if (sqrtf(cx * cx + cy * cy) < CENTRE_RADIUS) t -= 0.1f;
      canvas_put(c, x, y, shade_dither(RAMP_FLOOR, t, x, y));
    }
  }
}

// Goal areas behind the goal lines, tinted in the colour of the side that
// defends them, plain where the scores are written.
void draw_goal_areas(Canvas &c) {
  for (int32_t y = 0; y < TOP_GOAL_LINE; y++) {
    const float t =
        y < SCORE_ROWS ? 0.2f : 0.2f + 0.12f * (float)(y - SCORE_ROWS);
    for (int32_t x = LEFT_WALL_END + 1; x < RIGHT_WALL_START; x++) {
      canvas_put(c, x, y, shade_dither(RAMP_GOAL2, t, x, y));
    }
  }
  for (int32_t y = BOTTOM_GOAL_LINE + 2; y < BACK_HEIGHT; y++) {
    const float t = 0.75f - 0.045f * (float)(y - BOTTOM_GOAL_LINE - 2);
    for (int32_t x = LEFT_WALL_END + 1; x < RIGHT_WALL_START; x++) {
      canvas_put(c, x, y, shade_dither(RAMP_GOAL1, t, x, y));
    }
  }
  for (int32_t x = LEFT_WALL_END + 1; x < RIGHT_WALL_START; x++) {
    canvas_put(c, x, TOP_GOAL_LINE, shade(RAMP_PADDLE2, 0.55f));
    canvas_put(c, x, TOP_GOAL_LINE + 1, shade(RAMP_PADDLE2, 0.3f));
    canvas_put(c, x, BOTTOM_GOAL_LINE, shade(RAMP_PADDLE1, 0.3f));
    canvas_put(c, x, BOTTOM_GOAL_LINE + 1, shade(RAMP_PADDLE1, 0.55f));
  }
}

// A ring drawn where the distance from the centre is within half a pixel of
// the radius, with a faint glow beside it.
void draw_ring(Canvas &c, float cx, float cy, float radius, Ramp ramp,
               float strength, int32_t y_min, int32_t y_max) {
  for (int32_t y = y_min; y <= y_max; y++) {
    for (int32_t x = LEFT_WALL_END + 1; x < RIGHT_WALL_START; x++) {
      const float dx = (float)x - cx, dy = (float)y - cy;
      const float off = fabsf(sqrtf(dx * dx + dy * dy) - radius);
      if (off < 0.6f) {
        canvas_put(c, x, y, shade(ramp, strength));
      } else if (off < 1.6f) {
        canvas_put(c, x, y, shade_dither(ramp, strength * 0.45f, x, y));
      }
    }
  }
}

void draw_marks(Canvas &c) {
  // Centre line, dashed, outside the centre circle.
  for (int32_t x = LEFT_WALL_END + 1; x < RIGHT_WALL_START; x++) {
    if (fabsf((float)(x - CENTRE_X)) < CENTRE_RADIUS + 4.0f) continue;
    if ((x - LEFT_WALL_END) % 20 >= 12) continue;
    canvas_put(c, x, CENTRE_Y, shade(RAMP_LINE, 0.5f));
    canvas_put(c, x, CENTRE_Y + 1, shade(RAMP_LINE, 0.22f));
  }
  // No centre spot: the serve prompt and the winner's message are written
  // across the middle of the circle and should read cleanly.
  draw_ring(c, CENTRE_X, CENTRE_Y, CENTRE_RADIUS, RAMP_LINE, 0.5f,
            CENTRE_Y - 100, CENTRE_Y + 100);
  // The creases in front of the goals, in the defenders' colours.
  draw_ring(c, CENTRE_X, TOP_GOAL_LINE + 1, CREASE_RADIUS, RAMP_PADDLE2, 0.4f,
            TOP_GOAL_LINE + 2, TOP_GOAL_LINE + 70);
  draw_ring(c, CENTRE_X, BOTTOM_GOAL_LINE, CREASE_RADIUS, RAMP_PADDLE1, 0.4f,
            BOTTOM_GOAL_LINE - 70, BOTTOM_GOAL_LINE - 1);
  // Side lines just inside the walls.
  for (int32_t y = TOP_GOAL_LINE + 2; y < BOTTOM_GOAL_LINE; y++) {
    canvas_put(c, LEFT_WALL_END + 6, y, shade(RAMP_LINE, 0.3f));
    canvas_put(c, RIGHT_WALL_START - 7, y, shade(RAMP_LINE, 0.3f));
  }
}

// Steel walls: rounded across their width, brightest toward the court, with
// seams and rivets; a dark cap at the top under the score lines.
void draw_wall(Canvas &c, int32_t x0, int32_t x1, bool left) {
  const float span = (float)(x1 - x0);
  for (int32_t y = 0; y < BACK_HEIGHT; y++) {
    const bool seam = y % 60 == 59;
    const bool cap = y < SCORE_ROWS + 5;
    for (int32_t x = x0; x <= x1; x++) {
      const float u = ((float)(x - x0) + 0.5f) / (span + 1.0f);  // 0..1 across
      const float inward = left ? u : 1.0f - u;
      float t = 0.3f + 0.45f * sinf(3.14159265f * (0.15f + 0.7f * inward));
      t += 0.2f * inward * inward;
      if (x == (left ? x1 : x0)) t = 0.95f;  // the edge that meets the ball
      if (x == (left ? x0 : x1)) t = 0.12f;  // the outer edge
      if (seam) t *= 0.35f;
      if (y % 60 == 0) t = fminf(1.0f, t + 0.15f);
      if (cap) t *= 0.45f;
      canvas_put(c, x, y, shade(RAMP_WALL, t));
    }
    // Rivets, two per panel.
    const int32_t rivet_x = (x0 + x1) / 2;
    if (!cap && (y % 60 == 14 || y % 60 == 44)) {
      canvas_put(c, rivet_x, y, shade(RAMP_WALL, 1.0f));
      canvas_put(c, rivet_x + 1, y, shade(RAMP_WALL, 0.7f));
      canvas_put(c, rivet_x, y + 1, shade(RAMP_WALL, 0.6f));
      canvas_put(c, rivet_x + 1, y + 1, shade(RAMP_WALL, 0.1f));
    }
  }
}

}  // namespace

Canvas picture_court() {
  Canvas cell = canvas_make(BACK_WIDTH, BACK_HEIGHT, PAL_BLACK);
  draw_floor(cell);
  draw_marks(cell);
  draw_goal_areas(cell);
  draw_wall(cell, 0, LEFT_WALL_END, true);
  draw_wall(cell, RIGHT_WALL_START, BACK_WIDTH - 1, false);
  return sheet_with_cell(cell, BACK_WIDTH + 1, BACK_HEIGHT + 1);
}
