// Bitmap images: cut from a picture, copied into locked memory whole or with
// index 0 left out, kept on the screen.
#include <vector>

#include "engine/display/display.h"
#include "engine/display/image.h"
#include "sheet.h"
#include "support.h"

namespace {

using Bytes = std::vector<uint8_t>;

class Image : public Fresh {
 protected:
  void TearDown() override { image_destroy(&image); }

  // True when the image holds the picture's pixels from (left, top) on.
  bool holds(int32_t left, int32_t top) {
    for (int32_t i = 0; i < image.width * image.height; i++) {
      const int32_t x = i % image.width, y = i / image.width;
      if (image.buffer[i] != sheet_value(left + x, top + y)) return false;
    }
    return true;
  }

  BitmapImage image{};
};

// Sizes that can't be held are refused, leaving no buffer to load into. Made,
// an image draws nothing until loaded, then holds the cell or the pixels it
// was given; cells outside the picture are refused as the BOBs' are (the same
// lookup). Destroy gives the buffer back, once.
TEST_F(Image, MadeOnlyAtSizesItCanHoldAndLoadedFromInsideThePicture) {
  Sheet picture(33, 12);  // exactly cells (0..2, 0..1) of 10 x 5
  const int32_t bad[][2] = {{0, 5}, {5, 0}, {-4, 5}, {-4, -5}, {70000, 70000}};
  for (const auto &b : bad) {
    image.buffer = (uint8_t *)&image;  // must not survive a refusal
    EXPECT_EQ(image_create(&image, 0, 0, b[0], b[1]), 0) << b[0] << "x" << b[1];
    EXPECT_EQ(image.buffer, nullptr);
    EXPECT_EQ(image_load(&image, &picture.file, 0, 0, 0), 0);
  }
  ASSERT_EQ(image_create(&image, 3, 4, 10, 5), 1);
  Bytes dest(640 * 480, 9);
  EXPECT_EQ(image_draw(&image, dest.data(), 640, 1), 0);  // not loaded yet
  EXPECT_EQ(dest, Bytes(640 * 480, 9));
  ASSERT_EQ(image_load(&image, &picture.file, 3, 7, 1), 1);
  EXPECT_TRUE(holds(3, 7));
  ASSERT_EQ(image_load(&image, &picture.file, 2, 1, 0), 1);
  EXPECT_TRUE(holds(23, 7));  // cell (2, 1)
  EXPECT_EQ(image_load(&image, &picture.file, 3, 0, 0), 0);
  EXPECT_EQ(image_load(nullptr, &picture.file, 0, 0, 0), 0);
  EXPECT_TRUE(holds(23, 7));
  EXPECT_EQ(image_destroy(&image), 1);
  EXPECT_EQ(image.buffer, nullptr);
  EXPECT_EQ(image_destroy(&image), 0);
  EXPECT_EQ(image_destroy(nullptr), 0);
}

// With a 16 x 8 display, drawn into 8 rows of 20 bytes (any byte written
// below would land past the buffer), the image is cut to the screen on every
// side and drawn whole where it fits; drawn transparent, its 0s leave the 1s
// that were there.
TEST_F(Image, DrawingIsKeptOnTheScreen) {
  display_width = 16;
  display_height = 8;
  const int32_t pitch = 20;  // wider than the screen
  Sheet picture(6, 4);
  picture.pixels[0] = picture.pixels[2] = 0;
  picture.pixels[1] = 7;
  picture.pixels[3] = 9;
  ASSERT_EQ(image_create(&image, 0, 0, 6, 4), 1);
  ASSERT_EQ(image_load(&image, &picture.file, 0, 0, 1), 1);
  const int32_t MIN = INT32_MIN, MAX = INT32_MAX;
  const int32_t places[][2] = {{0, 0}, {10, 4},  {-3, 2},  {13, 2},   {5, -2},
                               {5, 6}, {-4, -3}, {12, 6},  {-6, 0},   {16, 0},
                               {0, 8}, {MIN, 0}, {0, MAX}, {MAX, MAX}};
  for (int32_t transparent : {0, 1}) {
    for (const auto &p : places) {
      Bytes dest(pitch * 8, 1);
      image.x = p[0];
      image.y = p[1];
      ASSERT_EQ(image_draw(&image, dest.data(), pitch, transparent), 1);
      for (int32_t i = 0; i < pitch * 8; i++) {
        const int64_t x = (int64_t)(i % pitch) - p[0];
        const int64_t y = (int64_t)(i / pitch) - p[1];
        const bool drawn = i % pitch < 16 && x >= 0 && x < 6 && y >= 0 && y < 4;
        const uint8_t v = drawn ? picture.pixels[y * 6 + x] : 1;
        ASSERT_EQ(dest[i], transparent && v == 0 ? 1 : v)
            << "transparent " << transparent << ", image at " << p[0] << ","
            << p[1] << ", byte " << i;
      }
    }
  }
}

}  // namespace
