// Bitmap images: cut from a picture, copied into locked memory whole or with
// index 0 left out, kept on the screen.
#include <vector>

#include "engine/display/display.h"
#include "engine/display/image.h"
#include "sheet.h"
#include "support.h"

namespace {

class Image : public Fresh {
 protected:
  void TearDown() override { image_destroy(&image); }

  // A destination of exactly `rows` rows, `pitch` bytes apart, filled with
  // `fill`.
  std::vector<uint8_t> surface(int32_t pitch, int32_t rows, uint8_t fill) {
    return std::vector<uint8_t>((size_t)pitch * rows, fill);
  }

  BitmapImage image{};
};

TEST_F(Image, NewImageIsBlankAndNotDrawnUntilLoaded) {
  ASSERT_EQ(image_create(&image, 3, 4, 5, 6), 1);
  EXPECT_EQ(image.byte_count, 30);
  EXPECT_EQ(image.state, 1);
  EXPECT_EQ(image.flags, 0);
  for (int32_t i = 0; i < 30; i++) ASSERT_EQ(image.buffer[i], 0);
  std::vector<uint8_t> dest = surface(640, 480, 9);
  EXPECT_EQ(image_draw(&image, dest.data(), 640, 0), 0);
  EXPECT_EQ(image_draw(&image, dest.data(), 640, 1), 0);
  for (uint8_t b : dest) ASSERT_EQ(b, 9);
}

TEST_F(Image, CreateRefusesSizesItCannotHold) {
  const struct {
    int32_t w, h;
  } cases[] = {{0, 5}, {5, 0}, {-4, 5}, {-4, -5}, {70000, 70000}};
  for (const auto &c : cases) {
    image.buffer = (uint8_t *)&image;  // must not survive a refusal
    EXPECT_EQ(image_create(&image, 0, 0, c.w, c.h), 0) << c.w << "x" << c.h;
    EXPECT_EQ(image.buffer, nullptr);
  }
  EXPECT_EQ(image_destroy(&image), 0);
}

TEST_F(Image, LoadTakesTheCellOrThePixel) {
  Sheet picture(40, 20);
  ASSERT_EQ(image_create(&image, 0, 0, 10, 5), 1);
  image.flags = 0x01;
  // Cell (2, 1) of 10 x 5 cells starts at picture pixel (23, 7).
  ASSERT_EQ(image_load(&image, &picture.file, 2, 1, 0), 1);
  EXPECT_EQ(image.flags, 0x01 | IMAGE_FILLED);
  for (int32_t y = 0; y < 5; y++) {
    for (int32_t x = 0; x < 10; x++) {
      ASSERT_EQ(image.buffer[y * 10 + x], sheet_value(23 + x, 7 + y));
    }
  }
  ASSERT_EQ(image_load(&image, &picture.file, 0, 0, 1), 1);
  for (int32_t y = 0; y < 5; y++) {
    for (int32_t x = 0; x < 10; x++) {
      ASSERT_EQ(image.buffer[y * 10 + x], sheet_value(x, y));
    }
  }
}

TEST_F(Image, LoadRefusesASourceOutsideThePicture) {
  Sheet picture(23, 13);  // room for cells (0..1, 0..1) of 10 x 5 and no more
  ASSERT_EQ(image_create(&image, 0, 0, 10, 5), 1);
  EXPECT_EQ(image_load(&image, &picture.file, 1, 1, 0), 1);
  image.flags = 0;
  EXPECT_EQ(image_load(nullptr, &picture.file, 0, 0, 0), 0);
  EXPECT_EQ(image_load(&image, nullptr, 0, 0, 0), 0);
  EXPECT_EQ(image_load(&image, &picture.file, 2, 0, 0), 0);
  EXPECT_EQ(image_load(&image, &picture.file, 0, 2, 0), 0);
  EXPECT_EQ(image_load(&image, &picture.file, 14, 0, 1), 0);
  EXPECT_EQ(image_load(&image, &picture.file, -1, 0, 1), 0);
  EXPECT_EQ(image_load(&image, &picture.file, 0, -1, 1), 0);
  picture.file.info_header.biBitCount = 4;
  EXPECT_EQ(image_load(&image, &picture.file, 0, 0, 0), 0);
  picture.file.info_header.biBitCount = 8;
  picture.file.buffer = nullptr;
  EXPECT_EQ(image_load(&image, &picture.file, 0, 0, 0), 0);
  EXPECT_EQ(image.flags, 0);

  // A record whose creation failed has nothing to load into or draw from.
  BitmapImage failed{};
  EXPECT_EQ(image_create(&failed, 0, 0, 0, 0), 0);
  picture.file.buffer = picture.pixels.data();
  EXPECT_EQ(image_load(&failed, &picture.file, 0, 0, 0), 0);
  failed.flags = IMAGE_FILLED;
  std::vector<uint8_t> dest = surface(640, 480, 9);
  EXPECT_EQ(image_draw(&failed, dest.data(), 640, 0), 0);
}

// The game's two pictures: the background and the title, cut from cell (0, 0)
// of 640 x 480 pictures and drawn opaque onto the locked surfaces.
TEST_F(Image, BackgroundAndTitleDrawWhole) {
  open_window_display_keyboard();
  Sheet picture(640, 480);
  ASSERT_EQ(image_create(&image, 0, 0, 639, 479), 1);
  ASSERT_EQ(image_load(&image, &picture.file, 0, 0, 0), 1);
  surface_fill(back_surface, 0);
  ASSERT_TRUE(lock_back());
  ASSERT_EQ(image_draw(&image, back_lock_ptr, back_lock_pitch, 0), 1);
  for (int32_t y = 0; y < 480; y++) {
    for (int32_t x = 0; x < 640; x++) {
      const uint8_t want =
          (x < 639 && y < 479) ? sheet_value(x + 1, y + 1) : (uint8_t)0;
      ASSERT_EQ(back_lock_ptr[y * back_lock_pitch + x], want) << x << "," << y;
    }
  }
  unlock_back();
  image_destroy(&image);

  ASSERT_EQ(image_create(&image, 0, 0, 619, 459), 1);
  ASSERT_EQ(image_load(&image, &picture.file, 0, 0, 0), 1);
  image.x = image.y = 20;
  ASSERT_TRUE(lock_primary());
  ASSERT_EQ(image_draw(&image, primary_lock_ptr, primary_lock_pitch, 0), 1);
  ASSERT_EQ(unlock_primary(), 1);
  int32_t w, h;
  const uint8_t *shown = headless_last_frame(&w, &h);
  ASSERT_TRUE(shown);
  for (int32_t y = 0; y < 480; y++) {
    for (int32_t x = 0; x < 640; x++) {
      const bool inside = x >= 20 && x < 639 && y >= 20 && y < 479;
      const uint8_t want = inside ? sheet_value(x - 19, y - 19) : (uint8_t)0;
      ASSERT_EQ(shown[y * w + x], want) << x << "," << y;
    }
  }
}

TEST_F(Image, TransparentSkipsZeroAndRowsFollowThePitch) {
  ASSERT_EQ(image_create(&image, 2, 1, 4, 2), 1);
  const uint8_t rows[8] = {0, 7, 0, 9, 5, 0, 0, 6};
  Sheet picture(4, 2);
  picture.pixels.assign(rows, rows + 8);
  picture.file.buffer = picture.pixels.data();
  ASSERT_EQ(image_load(&image, &picture.file, 0, 0, 1), 1);

  const int32_t pitch = 700;  // wider than the screen
  for (int32_t transparent : {1, 0}) {
    std::vector<uint8_t> dest = surface(pitch, 480, 1);
    ASSERT_EQ(image_draw(&image, dest.data(), pitch, transparent), 1);
    for (int32_t y = 0; y < 4; y++) {
      for (int32_t x = 0; x < 10; x++) {
        uint8_t want = 1;
        if (x >= 2 && x < 6 && y >= 1 && y < 3) {
          const uint8_t v = rows[(y - 1) * 4 + (x - 2)];
          want = (transparent && v == 0) ? 1 : v;
        }
        ASSERT_EQ(dest[y * pitch + x], want)
            << "transparent " << transparent << " at " << x << "," << y;
      }
    }
    size_t changed = 0;
    for (uint8_t b : dest) changed += b != 1;
    EXPECT_EQ(changed, transparent ? 4u : 8u);
  }
}

// A rectangle that would leave the screen is cut to it, on every side: with
// a 16 x 8 display and a destination of exactly that size, any byte written
// outside would land past the buffer.
TEST_F(Image, DrawingIsKeptOnTheScreen) {
  display_width = 16;
  display_height = 8;
  Sheet picture(6, 4);
  ASSERT_EQ(image_create(&image, 0, 0, 6, 4), 1);
  ASSERT_EQ(image_load(&image, &picture.file, 0, 0, 1), 1);
  const struct {
    int32_t x, y;
  } places[] = {{-3, 2},        {13, 2},        {5, -2},
                {5, 6},         {-4, -3},       {12, 6},
                {-6, 0},        {16, 0},        {0, 8},
                {INT32_MIN, 0}, {0, INT32_MAX}, {INT32_MAX, INT32_MAX}};
  for (int32_t transparent : {0, 1}) {
    for (const auto &p : places) {
      std::vector<uint8_t> dest = surface(16, 8, 0);
      image.x = p.x;
      image.y = p.y;
      ASSERT_EQ(image_draw(&image, dest.data(), 16, transparent), 1);
      for (int32_t y = 0; y < 8; y++) {
        for (int32_t x = 0; x < 16; x++) {
          const int64_t ix = (int64_t)x - p.x, iy = (int64_t)y - p.y;
          const bool inside = ix >= 0 && ix < 6 && iy >= 0 && iy < 4;
          const uint8_t want =
              inside ? sheet_value((int32_t)ix, (int32_t)iy) : (uint8_t)0;
          ASSERT_EQ(dest[y * 16 + x], want)
              << "image at " << p.x << "," << p.y << " pixel " << x << "," << y;
        }
      }
    }
  }
  // A pitch narrower than the display: the rows can't be wider than it.
  std::vector<uint8_t> narrow = surface(10, 8, 0);
  image.x = 7;
  image.y = 0;
  ASSERT_EQ(image_draw(&image, narrow.data(), 10, 0), 1);
  for (int32_t y = 0; y < 4; y++) {
    EXPECT_EQ(narrow[y * 10], 0) << y;  // nothing runs on into the next row
    for (int32_t x = 7; x < 10; x++) {
      EXPECT_EQ(narrow[y * 10 + x], sheet_value(x - 7, y));
    }
  }
}

TEST_F(Image, DestroyClearsEveryFieldOnce) {
  Sheet picture(8, 8);
  ASSERT_EQ(image_create(&image, 4, 5, 3, 3), 1);
  ASSERT_EQ(image_load(&image, &picture.file, 0, 0, 0), 1);
  EXPECT_EQ(image_destroy(&image), 1);
  EXPECT_EQ(image.state, 0);
  EXPECT_EQ(image.flags, 0);
  EXPECT_EQ(image.x, 0);
  EXPECT_EQ(image.y, 0);
  EXPECT_EQ(image.width, 0);
  EXPECT_EQ(image.height, 0);
  EXPECT_EQ(image.byte_count, 0);
  EXPECT_EQ(image.buffer, nullptr);
  EXPECT_EQ(image_destroy(&image), 0);
  EXPECT_EQ(image_destroy(nullptr), 0);
}

}  // namespace
