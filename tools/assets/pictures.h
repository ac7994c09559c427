// The game's four pictures, drawn in code, all in the colours of palette.h.
#ifndef QUILLFIRE_TOOLS_PICTURES_H
#define QUILLFIRE_TOOLS_PICTURES_H

#include <stdint.h>

#include "assets/canvas.h"

// Where the game cuts its sprites and pictures: each cell starts at (1, 1),
// framed by a 1-pixel line. The paddles share one sheet: the bottom
// player's 66-wide cell (0, 0) and the top player's 65-wide cell (1, 0),
// which starts at x = 67.
const int32_t BALL_SIZE = 11;
const int32_t PADDLE1_WIDTH = 66;
const int32_t PADDLE2_WIDTH = 65;
const int32_t PADDLE_HEIGHT = 8;
const int32_t PADDLE2_X = 67;
const int32_t BACK_WIDTH = 639;
const int32_t BACK_HEIGHT = 479;
const int32_t TITLE_WIDTH = 619;
const int32_t TITLE_HEIGHT = 459;

// The colour of the lines between cells.
const uint8_t CELL_LINE = 8;

// The whole files' pictures; every width is a multiple of 4 so that the rows
// need no filler bytes.
Canvas picture_ball_sheet();    // 16 x 13
Canvas picture_paddle_sheet();  // 136 x 10
Canvas picture_court();         // 640 x 480
Canvas picture_title();         // 620 x 460

// Puts a cell's picture at (1, 1) of a sheet of the given size, framed.
Canvas sheet_with_cell(const Canvas &cell, int32_t sheet_width,
                       int32_t sheet_height);

#endif
