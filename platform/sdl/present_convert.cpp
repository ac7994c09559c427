#include "platform/sdl/present_convert.h"

#include <stddef.h>
#include <string.h>

namespace {

// Four lookups are loaded before their four stores: the compiler cannot
// tell that the stores leave the frame and the table alone, and would
// otherwise wait on each store before the next load.
void lookup_row(const uint8_t *from, int32_t width, const uint32_t lut[256],
                uint32_t *to) {
  int32_t x = 0;
  for (; x + 4 <= width; x += 4) {
    const uint32_t a = lut[from[x]], b = lut[from[x + 1]];
    const uint32_t c = lut[from[x + 2]], d = lut[from[x + 3]];
    to[x] = a;
    to[x + 1] = b;
    to[x + 2] = c;
    to[x + 3] = d;
  }
  for (; x < width; x++) to[x] = lut[from[x]];
}

void lookup_row_doubled(const uint8_t *from, int32_t width,
                        const uint32_t lut[256], uint32_t *to) {
  int32_t x = 0;
  for (; x + 4 <= width; x += 4, to += 8) {
    const uint32_t a = lut[from[x]], b = lut[from[x + 1]];
    const uint32_t c = lut[from[x + 2]], d = lut[from[x + 3]];
    to[0] = to[1] = a;
    to[2] = to[3] = b;
    to[4] = to[5] = c;
    to[6] = to[7] = d;
  }
  for (; x < width; x++, to += 2) to[0] = to[1] = lut[from[x]];
}

}  // namespace

PresentFit present_fit(int32_t frame_width, int32_t frame_height,
                       int32_t target_width, int32_t target_height) {
  PresentFit fit;
  const int32_t across = target_width / frame_width;
  const int32_t down = target_height / frame_height;
  fit.scale = across < down ? across : down;
  if (fit.scale >= 1) {
    fit.width = frame_width * fit.scale;
    fit.height = frame_height * fit.scale;
  } else if ((int64_t)target_width * frame_height <=
             (int64_t)target_height * frame_width) {
    // Narrower than the frame's shape: full width, bars above and below.
    fit.width = target_width;
    fit.height = (int32_t)((int64_t)target_width * frame_height / frame_width);
  } else {
    fit.height = target_height;
    fit.width = (int32_t)((int64_t)target_height * frame_width / frame_height);
  }
  if (fit.width < 1) fit.width = 1;
  if (fit.height < 1) fit.height = 1;
  fit.left = (target_width - fit.width) / 2;
  fit.top = (target_height - fit.height) / 2;
  return fit;
}

void present_convert_scaled(const uint8_t *pixels, int32_t pitch, int32_t width,
                            int32_t height, const uint32_t lut[256],
                            int32_t scale, uint8_t *dest, int32_t dest_pitch) {
  const size_t row_bytes = (size_t)width * scale * 4;
  for (int32_t y = 0; y < height; y++) {
    const uint8_t *from = pixels + (ptrdiff_t)y * pitch;
    uint8_t *first = dest + (ptrdiff_t)y * scale * dest_pitch;
    uint32_t *to = (uint32_t *)first;
    switch (scale) {
      case 1:
        lookup_row(from, width, lut, to);
        break;
      case 2:
        lookup_row_doubled(from, width, lut, to);
        break;
      default:
        for (int32_t x = 0; x < width; x++) {
          const uint32_t c = lut[from[x]];
          for (int32_t k = 0; k < scale; k++) *to++ = c;
        }
        break;
    }
    for (int32_t k = 1; k < scale; k++) {
      memcpy(first + (ptrdiff_t)k * dest_pitch, first, row_bytes);
    }
  }
}

void present_convert_any(const uint8_t *pixels, int32_t pitch, int32_t width,
                         int32_t height, const uint32_t lut[256], uint8_t *dest,
                         int32_t dest_pitch, int32_t dest_width,
                         int32_t dest_height, int32_t bytes_per_pixel) {
  for (int32_t y = 0; y < dest_height; y++) {
    const int32_t sy = (int32_t)((int64_t)y * height / dest_height);
    const uint8_t *from = pixels + (ptrdiff_t)sy * pitch;
    uint8_t *to = dest + (ptrdiff_t)y * dest_pitch;
    for (int32_t x = 0; x < dest_width; x++) {
      const uint32_t c = lut[from[(int64_t)x * width / dest_width]];
      for (int32_t b = 0; b < bytes_per_pixel; b++) {
        *to++ = (uint8_t)(c >> (8 * b));
      }
    }
  }
}
