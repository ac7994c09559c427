// Bitmap images: pixels in ordinary memory, cut from a loaded picture and
// copied straight into a locked surface.
#include "engine/display/image.h"

#include <stdlib.h>
#include <string.h>

#include "engine/display/display.h"

namespace {

// The image's pixels as the record describes them: a buffer that holds at
// least width x height bytes, or false.
bool has_pixels(const BitmapImage *image) {
  return image->buffer && image->width > 0 && image->height > 0 &&
         (int64_t)image->width * image->height <= image->byte_count;
}

}  // namespace

int32_t image_create(BitmapImage *image, int32_t x, int32_t y, int32_t width,
                     int32_t height) {
  // No pixels to hold, or more than a byte count can say: nothing is made.
  const int64_t bytes = (int64_t)width * height;
  if (width <= 0 || height <= 0 || bytes > INT32_MAX) {
    image->buffer = nullptr;
    return 0;
  }
  image->buffer = (uint8_t *)calloc((size_t)bytes, 1);
  if (!image->buffer) return 0;
  image->x = x;
  image->y = y;
  image->width = width;
  image->height = height;
  image->byte_count = (int32_t)bytes;
  image->state = 1;
  image->flags = 0;
  return 1;
}

int32_t image_load(BitmapImage *image, const BitmapFile *bitmap, int32_t cx,
                   int32_t cy, int32_t mode) {
  if (!image || !has_pixels(image)) return 0;
  const uint8_t *source =
      bmp_cell(bitmap, image->width, image->height, cx, cy, mode);
  if (!source) return 0;
  const int32_t picture_width = bitmap->info_header.biWidth;
  for (int32_t row = 0; row < image->height; row++) {
    memcpy(image->buffer + (ptrdiff_t)row * image->width,
           source + (ptrdiff_t)row * picture_width, (size_t)image->width);
  }
  image->flags |= IMAGE_FILLED;
  return 1;
}

// The destination is only a start address and a pitch, so its size is not
// known here. Every surface drawn on is one of the display's two, so the
// image is clipped to display_width x display_height (and to the pitch, should
// it be narrower): a part that would land off the screen is left out, and an
// image wholly off it draws nothing. The game's background (639 x 479 at 0, 0)
// and title (619 x 459 at 20, 20) lie inside and draw whole.
int32_t image_draw(BitmapImage *image, uint8_t *dest, int32_t pitch,
                   int32_t transparent) {
  if (!(image->flags & IMAGE_FILLED)) return 0;
  if (!has_pixels(image) || !dest || pitch <= 0) return 0;

  const int64_t screen_width = display_width < pitch ? display_width : pitch;
  const int64_t left = image->x < 0 ? 0 : image->x;
  const int64_t top = image->y < 0 ? 0 : image->y;
  int64_t right = (int64_t)image->x + image->width;
  int64_t bottom = (int64_t)image->y + image->height;
  if (right > screen_width) right = screen_width;
  if (bottom > display_height) bottom = display_height;
  if (left >= right || top >= bottom) return 1;

  const size_t columns = (size_t)(right - left);
  const uint8_t *from =
      image->buffer + (top - image->y) * image->width + (left - image->x);
  uint8_t *to = dest + top * pitch + left;
  for (int64_t row = top; row < bottom; row++) {
    if (!transparent) {
      memcpy(to, from, columns);
    } else {
      for (size_t i = 0; i < columns; i++) {
        if (from[i] != 0) to[i] = from[i];
      }
    }
    from += image->width;
    to += pitch;
  }
  return 1;
}

int32_t image_destroy(BitmapImage *image) {
  if (!image || !image->buffer) return 0;
  free(image->buffer);
  memset(image, 0, sizeof *image);
  return 1;
}
