// Sharp scaling of the 8-bit frame to any size: the picture fills the
// largest rectangle of its own shape that fits the target, and each frame
// pixel becomes a block of whole target pixels; only the one row or column
// where two frame pixels meet is a blend of the two, weighted by how much of
// it each covers. Whole factors give exactly the nearest-neighbour picture.
// The tables behind it are made by present_scale_layout when a size changes;
// drawing allocates nothing. No SDL here, so tests and benchmarks run it.
#ifndef QUILLFIRE_PRESENT_SCALE_H
#define QUILLFIRE_PRESENT_SCALE_H

#include <stdint.h>

#include <vector>

#include "platform/sdl/present_convert.h"

// Weights of a blend are in 256ths, of the second of the two pixels.
const int32_t SCALE_WEIGHT_ONE = 256;

struct PresentScale {
  PresentFit fit;  // scale: the whole factor, or 0 when it is not whole
  int32_t frame_width;
  int32_t frame_height;
  int32_t sharp;  // 1: the blended seams below are used; 0: fit.scale or
                  // nearest neighbour (a target smaller than the frame)
  // Per frame column: how many target pixels are that column's colour alone,
  // then the weight of the next column in the seam pixel after them (0: no
  // seam pixel).
  std::vector<int32_t> column_run;
  std::vector<uint16_t> column_seam;
  std::vector<uint16_t> seam_lanes;  // each column's seam weight four times
  // One frame row's colours, then its seam pixels, on the way to a wide row;
  // and for each pixel of a wide row, which of them it is.
  std::vector<uint32_t> colours;
  std::vector<uint16_t> pick;
  // Per target row: the frame row it starts in and the weight of the row
  // after it (0: that row alone).
  std::vector<int32_t> row_source;
  std::vector<uint16_t> row_weight;
  // Two frame rows, looked up and widened, and which rows they hold.
  std::vector<uint32_t> wide_rows;
  int32_t wide_row_of[2];
};

// The largest rectangle of the frame's shape that fits the target, centred.
// scale is the factor when it is a whole number, 0 otherwise.
PresentFit present_fit_shape(int32_t frame_width, int32_t frame_height,
                             int32_t target_width, int32_t target_height);

// Works out the place and the tables for a frame of frame_width by
// frame_height in a target of target_width by target_height. With
// `whole_only` the picture keeps a whole factor (present_fit). Sizes must be
// positive.
void present_scale_layout(PresentScale *scale, int32_t frame_width,
                          int32_t frame_height, int32_t target_width,
                          int32_t target_height, int32_t whole_only);

// Draws the frame through `lut` into 32-bit pixels at `dest`, the top left
// of scale->fit, rows `dest_pitch` bytes apart. The frame's size must be the
// one given to the layout.
void present_scale_draw(PresentScale *scale, const uint8_t *pixels,
                        int32_t pitch, const uint32_t lut[256], uint8_t *dest,
                        int32_t dest_pitch);

// The same for the target rows that show frame rows first_row up to (not
// including) end_row, seams with the rows beside them included; the rest of
// `dest` is left alone. Gives the target rows drawn as [*target_top,
// *target_end), both 0 when there were none. A frame that changed in a few
// rows is shown by drawing just those (0 <= first_row <= end_row <=
// frame height).
void present_scale_draw_rows(PresentScale *scale, const uint8_t *pixels,
                             int32_t pitch, const uint32_t lut[256],
                             uint8_t *dest, int32_t dest_pitch,
                             int32_t first_row, int32_t end_row,
                             int32_t *target_top, int32_t *target_end);

// a and b mixed per byte, `weight` 256ths of b, rounded: what the seams hold.
inline uint32_t present_blend(uint32_t a, uint32_t b, uint32_t weight) {
  const uint32_t keep = SCALE_WEIGHT_ONE - weight;
  const uint32_t even =
      (((a & 0x00FF00FFu) * keep + (b & 0x00FF00FFu) * weight + 0x00800080u) >>
       8) &
      0x00FF00FFu;
  const uint32_t odd = (((a >> 8) & 0x00FF00FFu) * keep +
                        ((b >> 8) & 0x00FF00FFu) * weight + 0x00800080u) &
                       0xFF00FF00u;
  return even | odd;
}

#endif
