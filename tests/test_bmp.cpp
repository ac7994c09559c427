// The BMP loader on files written byte by byte: the well-formed pictures it
// reads as they are, and untrusted files that it must refuse or read right
// without going outside its buffers (the sanitizer build watches that).
#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/display/bmp.h"
#include "support.h"

namespace {

typedef std::vector<uint8_t> Bytes;

// Offsets of the header fields, all written as 32 bits (biBitCount's upper
// neighbour, biCompression, is 0 in every file here).
const size_t WIDTH = 18, HEIGHT = 22, BIT_COUNT = 28, COMPRESSION = 30,
             SIZE_IMAGE = 34, CLR_USED = 46, INFO_SIZE = 14, TABLE = 54;

void put(Bytes &b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; i++) b[at + i] = (uint8_t)(v >> (8 * i));
}

Bytes with(Bytes b, size_t at, uint32_t v) {
  put(b, at, v);
  return b;
}

Bytes cut(Bytes b, size_t n) {
  b.resize(n);
  return b;
}

// A BMP file: headers, for 8-bit files a colour table whose entry i is
// (blue i, green 2i, red 3i), then `pixels` as stored (bottom row first).
Bytes bmp_file(int bits, int32_t width, int32_t height, const Bytes &pixels) {
  const size_t table = bits == 8 ? 1024 : 0;
  Bytes b(TABLE + table);
  b[0] = 'B';
  b[1] = 'M';
  put(b, 2, (uint32_t)(b.size() + pixels.size()));
  put(b, 10, (uint32_t)b.size());  // bfOffBits
  put(b, INFO_SIZE, 40);
  put(b, WIDTH, (uint32_t)width);
  put(b, HEIGHT, (uint32_t)height);
  put(b, 26, 1);  // one plane
  put(b, BIT_COUNT, (uint32_t)bits);
  put(b, SIZE_IMAGE, (uint32_t)pixels.size());
  for (uint32_t i = 0; i < table / 4; i++) {
    put(b, TABLE + 4 * i, i | (2 * i & 255) << 8 | (3 * i & 255) << 16);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

class Bmp : public ::testing::Test {
 protected:
  const std::string path =
      ::testing::TempDir() + "qf_bmp_" + std::to_string(getpid()) + ".bmp";
  BitmapFile bitmap = {};

  void TearDown() override {
    bmp_unload(&bitmap);
    remove(path.c_str());
  }
  int32_t load(const Bytes &bytes) {
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return bmp_load(&bitmap, path.c_str());
  }
  Bytes buffer(size_t n) const {
    return Bytes(bitmap.buffer, bitmap.buffer + n);
  }
};

TEST_F(Bmp, RefusesWhatItCannotOpenAndWhatIsNotABitmap) {
  ASSERT_EQ(load(bmp_file(8, 4, 1, {1, 2, 3, 4})), 1);
  uint8_t *before = bitmap.buffer;
  EXPECT_EQ(bmp_load(&bitmap, (path + ".missing").c_str()), 0);
  Bytes file = bmp_file(8, 4, 1, {1, 2, 3, 4});
  std::swap(file[0], file[1]);  // "MB"
  EXPECT_EQ(load(file), 0);
  EXPECT_EQ(memcmp(&bitmap.file_header, file.data(), 14), 0);
  EXPECT_EQ(bitmap.buffer, before);
  EXPECT_EQ(bmp_unload(&bitmap), 1);
  EXPECT_EQ(bitmap.buffer, nullptr);  // so that unloading again is harmless
}

// Untrusted files: each is either refused, the record keeping what it held,
// or read as the picture most BMP writers mean by it, rows top-down, its file
// header kept and entry 1 of the colour table (blue 1, green 2, red 3) read
// into the palette.
TEST_F(Bmp, UntrustedFilesAreRefusedOrReadWithinBounds) {
  const Bytes good = bmp_file(8, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  const Bytes padded = bmp_file(8, 3, 2, {1, 2, 3, 0, 4, 5, 6, 0});
  // Blue 255, green 128, red 8 below white, each row padded.
  const Bytes rgb = bmp_file(24, 1, 2, {255, 128, 8, 0, 255, 255, 255, 0});
  const Bytes hicolour = bmp_file(16, 2, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  // 300 colours, the file long enough to hold them.
  Bytes many = with(good, CLR_USED, 300);
  many.insert(many.begin() + TABLE, 4 * (300 - 256), 0);
  // Bytes after the pixel data: the pixels are the file's last biSizeImage
  // bytes, wherever bfOffBits points.
  Bytes trailing = good;
  trailing.insert(trailing.end(), {9, 9, 9, 9});
  // Two colours in the table; a 124-byte info header, the table after it.
  Bytes two_colours = with(bmp_file(8, 4, 1, {1, 1, 0, 0}), CLR_USED, 2);
  two_colours.erase(two_colours.begin() + TABLE + 8, two_colours.end() - 4);
  Bytes v5 = with(bmp_file(8, 4, 1, {7, 7, 7, 7}), INFO_SIZE, 124);
  v5.insert(v5.begin() + TABLE, 124 - 40, 0xEE);
  const struct {
    const char *what;
    Bytes file;
    Bytes picture;  // none: refused
  } cases[] = {
      {"cut inside the headers", cut(good, 30), {}},
      {"cut inside the colour table", cut(good, 500), {}},
      {"cut inside the pixels", cut(good, good.size() - 1), {}},
      {"run-length compressed", with(good, COMPRESSION, 1), {}},
      {"top-down", with(good, HEIGHT, (uint32_t)-2), {}},
      {"zero width", with(good, WIDTH, 0), {}},
      {"absurdly wide: 3 GB rows", with(rgb, WIDTH, 1u << 30), {}},
      {"wide and tall", with(with(good, WIDTH, 16000), HEIGHT, 16000), {}},
      {"pixel data too small for the rows", with(good, SIZE_IMAGE, 7), {}},
      {"pixels past the file's end", with(good, SIZE_IMAGE, 0x7FFFFFF0), {}},
      {"32 bits per pixel", with(good, BIT_COUNT, 32), {}},
      {"older 12-byte info header", with(good, INFO_SIZE, 12), {}},
      {"more than 256 colours", many, {}},
      {"three rows, bottom first",
       bmp_file(8, 4, 3, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}),
       {9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}},
      {"rows padded to 4 bytes", padded, {4, 5, 6, 1, 2, 3}},
      {"padded, size 0", with(padded, SIZE_IMAGE, 0), {4, 5, 6, 1, 2, 3}},
      {"24-bit to 5-5-5, top bit clear", rgb, {0xFF, 0x7F, 0x1F, 0x06}},
      {"16-bit, as stored", hicolour, {5, 6, 7, 8, 1, 2, 3, 4}},
      {"four bytes after the pixels", trailing, {9, 9, 9, 9, 5, 6, 7, 8}},
      {"longer info header", v5, {7, 7, 7, 7}},
      {"two colours (the last case)", two_colours, {1, 1, 0, 0}},
  };
  for (const auto &c : cases) {
    ASSERT_EQ(load(good), 1);
    const BitmapFile before = bitmap;
    EXPECT_EQ(load(c.file), c.picture.empty() ? 0 : 1) << c.what;
    if (c.picture.empty()) {
      EXPECT_EQ(memcmp(&bitmap, &before, sizeof bitmap), 0) << c.what;
    } else {
      EXPECT_EQ(buffer(c.picture.size()), c.picture) << c.what;
      const PALETTEENTRY &e = bitmap.palette[1];
      EXPECT_EQ((Bytes{e.peRed, e.peGreen, e.peBlue, e.peFlags}),
                (Bytes{3, 2, 1, PC_NOCOLLAPSE}))
          << c.what;
      EXPECT_EQ(memcmp(&bitmap.file_header, c.file.data(), 14), 0) << c.what;
      if (c.file[BIT_COUNT] == 24) {
        EXPECT_EQ(bitmap.info_header.biBitCount, 16) << c.what;
      }
    }
  }
  // Entries the short table of the last case lacks are black, not left over.
  EXPECT_EQ(bitmap.palette[2].peRed, 0);
}

}  // namespace
