// The ball and the two paddles. The game shows a sprite without its last
// column and row, so each shape lies in the cell less its last column and
// row, which stay index 0. Index 0 is transparent, so it is used only
// outside the shapes, never inside.
#include <math.h>

#include "assets/palette.h"
#include "assets/pictures.h"

namespace {

// Light from the upper left, a little in front.
const float LIGHT_X = -0.48f, LIGHT_Y = -0.62f, LIGHT_Z = 0.62f;

// A shaded sphere of 10 x 10 pixels: a glowing ember, dark red at the rim,
// orange, yellow and a white gleam where the light strikes.
Canvas ball_cell() {
  Canvas cell = canvas_make(BALL_SIZE, BALL_SIZE, PAL_BLACK);
  const int32_t shown = BALL_SIZE - 1;
  const float centre = (float)(shown - 1) / 2.0f;
  const float radius = (float)shown / 2.0f;
  for (int32_t y = 0; y < shown; y++) {
    for (int32_t x = 0; x < shown; x++) {
      const float dx = ((float)x - centre) / radius;
      const float dy = ((float)y - centre) / radius;
      const float d2 = dx * dx + dy * dy;
      if (d2 > 1.0f) continue;
      const float dz = sqrtf(1.0f - d2);
      const float diffuse =
          fmaxf(0.0f, dx * LIGHT_X + dy * LIGHT_Y + dz * LIGHT_Z);
      // Mirror of the light about the normal, seen from the front.
      const float reflect = 2.0f * diffuse * dz - LIGHT_Z;
      const float gleam = powf(fmaxf(0.0f, reflect), 12.0f);
      const float t = 0.12f + 0.7f * diffuse + 0.5f * gleam;
      // The darkest shade of the ramp is still a colour, never index 0.
      canvas_put(cell, x, y, shade(RAMP_BALL, t));
    }
  }
  return cell;
}

// A bevelled bar with cut corners: a light top edge, a glossy face lit from
// above, a dark lower edge, darker ends, and three grooves that split it in
// quarters.
Canvas paddle_cell(int32_t width, Ramp ramp) {
  Canvas cell = canvas_make(width, PADDLE_HEIGHT, PAL_BLACK);
  const int32_t w = width - 1, h = PADDLE_HEIGHT - 1;
  const float face[] = {0.92f, 0.78f, 0.64f, 0.56f, 0.48f, 0.30f, 0.14f};
  for (int32_t y = 0; y < h; y++) {
    for (int32_t x = 0; x < w; x++) {
      const bool corner = (x == 0 || x == w - 1) && (y == 0 || y == h - 1);
      if (corner) continue;
      float t = face[y];
      if (x == 0 || x == 1) t -= 0.2f;
      if (x == w - 1 || x == w - 2) t -= 0.26f;
      const bool groove = x == w / 4 || x == w / 2 || x == 3 * w / 4;
      if (groove && y > 0 && y < h - 1) t -= 0.22f;
      canvas_put(cell, x, y, shade(ramp, fmaxf(t, 0.06f)));
    }
  }
  return cell;
}

}  // namespace

Canvas sheet_with_cell(const Canvas &cell, int32_t sheet_width,
                       int32_t sheet_height) {
  Canvas sheet = canvas_make(sheet_width, sheet_height, PAL_BLACK);
  canvas_paste(sheet, cell, 1, 1);
  canvas_cell_frame(sheet, 1, 1, cell.width, cell.height, CELL_LINE);
  return sheet;
}

Canvas picture_ball_sheet() {
  return sheet_with_cell(ball_cell(), 16, BALL_SIZE + 2);
}

// Player 1 (bottom) in cyan, player 2 (top) in magenta. Cell (0, 0) of the
// 66-wide grid and cell (1, 0) of the 65-wide grid meet: paddle 1's last,
// unseen column is the line that closes paddle 2's cell on the left.
Canvas picture_paddle_sheet() {
  Canvas sheet = canvas_make(136, PADDLE_HEIGHT + 2, PAL_BLACK);
  canvas_paste(sheet, paddle_cell(PADDLE1_WIDTH, RAMP_PADDLE1), 1, 1);
  canvas_paste(sheet, paddle_cell(PADDLE2_WIDTH, RAMP_PADDLE2), PADDLE2_X, 1);
  canvas_cell_frame(sheet, 1, 1, PADDLE1_WIDTH - 1, PADDLE_HEIGHT, CELL_LINE);
  canvas_cell_frame(sheet, PADDLE2_X, 1, PADDLE2_WIDTH, PADDLE_HEIGHT,
                    CELL_LINE);
  return sheet;
}
