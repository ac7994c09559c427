// The BMP loader on files written byte by byte: the well-formed pictures it
// reads as they are, and untrusted files that it must refuse or read right
// without going outside its buffers (the sanitizer build watches that).
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "engine/display/bmp.h"
#include "support.h"

namespace {

typedef std::vector<uint8_t> Bytes;

void put16(Bytes &b, size_t at, uint32_t v) {
  b[at] = (uint8_t)v;
  b[at + 1] = (uint8_t)(v >> 8);
}

void put32(Bytes &b, size_t at, uint32_t v) {
  put16(b, at, v);
  put16(b, at + 2, v >> 16);
}

// Offsets of the header fields.
enum {
  kType = 0,
  kOffBits = 10,
  kInfoSize = 14,
  kWidth = 18,
  kHeight = 22,
  kBitCount = 28,
  kCompression = 30,
  kSizeImage = 34,
  kClrUsed = 46,
  kTable = 54
};

// A BMP file: headers, for 8-bit files a colour table whose entry i is
// (blue i, green 2i, red 3i), then `pixels` as stored (bottom row first).
Bytes bmp_file(int bits, int32_t width, int32_t height, const Bytes &pixels) {
  const size_t table = bits == 8 ? 1024 : 0;
  Bytes b(kTable + table);
  b[0] = 'B';
  b[1] = 'M';
  put32(b, 2, (uint32_t)(b.size() + pixels.size()));
  put32(b, kOffBits, (uint32_t)b.size());
  put32(b, kInfoSize, 40);
  put32(b, kWidth, (uint32_t)width);
  put32(b, kHeight, (uint32_t)height);
  put16(b, 26, 1);
  put16(b, kBitCount, (uint32_t)bits);
  put32(b, kSizeImage, (uint32_t)pixels.size());
  for (size_t i = 0; i < table / 4; i++) {
    b[kTable + 4 * i] = (uint8_t)i;
    b[kTable + 4 * i + 1] = (uint8_t)(2 * i);
    b[kTable + 4 * i + 2] = (uint8_t)(3 * i);
  }
  b.insert(b.end(), pixels.begin(), pixels.end());
  return b;
}

class Bmp : public ::testing::Test {
 protected:
  std::string dir;
  BitmapFile bitmap;

  void SetUp() override {
    char pattern[] = "/tmp/qf_bmp_XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir = pattern;
    memset(&bitmap, 0, sizeof bitmap);
  }
  void TearDown() override {
    bmp_unload(&bitmap);
    unlink((dir + "/PICTURE.BMP").c_str());
    rmdir(dir.c_str());
  }

  std::string write(const Bytes &bytes) {
    const std::string path = dir + "/PICTURE.BMP";
    FILE *f = fopen(path.c_str(), "wb");
    fwrite(bytes.data(), 1, bytes.size(), f);
    fclose(f);
    return path;
  }

  int32_t load(const Bytes &bytes) {
    return bmp_load(&bitmap, write(bytes).c_str());
  }

  Bytes buffer(size_t n) const {
    return Bytes(bitmap.buffer, bitmap.buffer + n);
  }
};

TEST_F(Bmp, EightBitFileGivesItsPaletteAndTopDownRows) {
  const Bytes stored = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};  // 3 rows of 4
  Bytes file = bmp_file(8, 4, 3, stored);
  file[kTable + 4 * 5] = 0x10;
  file[kTable + 4 * 5 + 1] = 0x20;
  file[kTable + 4 * 5 + 2] = 0x30;
  ASSERT_EQ(load(file), 1);
  const PALETTEENTRY &e = bitmap.palette[5];
  EXPECT_EQ(e.peRed, 0x30);
  EXPECT_EQ(e.peGreen, 0x20);
  EXPECT_EQ(e.peBlue, 0x10);
  for (int i = 0; i < 256; i++) {
    ASSERT_EQ(bitmap.palette[i].peFlags, PC_NOCOLLAPSE);
    if (i != 5) {
      ASSERT_EQ(bitmap.palette[i].peRed, (uint8_t)(3 * i));
    }
  }
  EXPECT_EQ(buffer(12), (Bytes{9, 10, 11, 12, 5, 6, 7, 8, 1, 2, 3, 4}));
  EXPECT_EQ(bitmap.info_header.biBitCount, 8);
  EXPECT_EQ(memcmp(&bitmap.file_header, file.data(), 14), 0);
}

TEST_F(Bmp, TwentyFourBitPixelsBecome555AndSixteenBitStayAsStored) {
  // Two rows of four: the bottom one first in the file.
  const Bytes stored = {255, 128, 8,   0, 0, 0, 0, 0, 0, 0,   0,   0,
                        8,   16,  248, 0, 0, 0, 0, 0, 0, 255, 255, 255};
  ASSERT_EQ(load(bmp_file(24, 4, 2, stored)), 1);
  EXPECT_EQ(bitmap.info_header.biBitCount, 16);
  const uint16_t *top = (const uint16_t *)bitmap.buffer;
  EXPECT_EQ(top[0], (31 << 10) | (2 << 5) | 1);  // blue 8, green 16, red 248
  EXPECT_EQ(top[3], 0x7FFF);
  EXPECT_EQ(top[4], 0x061F);  // blue 255, green 128, red 8
  EXPECT_EQ(top[5], 0);

  const Bytes pairs = {1, 2, 3, 4, 5, 6, 7, 8};  // two rows of two pixels
  const PALETTEENTRY kept = bitmap.palette[9];
  ASSERT_EQ(load(bmp_file(16, 2, 2, pairs)), 1);
  EXPECT_EQ(buffer(8), (Bytes{5, 6, 7, 8, 1, 2, 3, 4}));
  EXPECT_EQ(memcmp(&kept, &bitmap.palette[9], sizeof kept), 0);
}

TEST_F(Bmp, FlipRowsTurnsOneTwoAndThreeRows) {
  uint8_t one[] = {1, 2};
  EXPECT_EQ(bmp_flip_rows(one, 2, 1), 1);
  EXPECT_EQ(Bytes(one, one + 2), (Bytes{1, 2}));
  uint8_t two[] = {1, 2, 3, 4};
  EXPECT_EQ(bmp_flip_rows(two, 2, 2), 1);
  EXPECT_EQ(Bytes(two, two + 4), (Bytes{3, 4, 1, 2}));
  uint8_t three[] = {1, 2, 3, 4, 5, 6};
  EXPECT_EQ(bmp_flip_rows(three, 2, 3), 1);
  EXPECT_EQ(Bytes(three, three + 6), (Bytes{5, 6, 3, 4, 1, 2}));
}

TEST_F(Bmp, PixelsAreTheFilesLastSizeImageBytes) {
  // Four bytes after the pixel data move the picture by a row; bfOffBits
  // (pointing at the true start) is not looked at.
  Bytes file = bmp_file(8, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  file.insert(file.end(), {9, 9, 9, 9});
  ASSERT_EQ(load(file), 1);
  EXPECT_EQ(buffer(8), (Bytes{9, 9, 9, 9, 5, 6, 7, 8}));
}

TEST_F(Bmp, RefusesWhatItCannotOpenAndWhatIsNotABitmap) {
  ASSERT_EQ(load(bmp_file(8, 4, 1, {1, 2, 3, 4})), 1);
  uint8_t *before = bitmap.buffer;
  EXPECT_EQ(bmp_load(&bitmap, (dir + "/MISSING.BMP").c_str()), 0);
  Bytes file = bmp_file(8, 4, 1, {1, 2, 3, 4});
  file[0] = 'M';
  file[1] = 'B';
  EXPECT_EQ(load(file), 0);
  EXPECT_EQ(memcmp(&bitmap.file_header, file.data(), 14), 0);
  EXPECT_EQ(bitmap.buffer, before);
  EXPECT_EQ(bmp_unload(&bitmap), 1);
  EXPECT_EQ(bitmap.buffer, nullptr);
  EXPECT_EQ(bmp_unload(&bitmap), 1);
}

// Every file here is outside what the loader reads: each is refused and the
// record keeps what it held.
TEST_F(Bmp, RefusesMalformedFilesAndKeepsTheRecord) {
  const Bytes good = bmp_file(8, 4, 2, {1, 2, 3, 4, 5, 6, 7, 8});
  struct Case {
    const char *what;
    size_t at;
    int bytes;  // 2 or 4; 0 = cut the file to `at` bytes
    uint32_t value;
  };
  const Case cases[] = {
      {"cut inside the headers", 30, 0, 0},
      {"cut inside the colour table", 500, 0, 0},
      {"cut inside the pixels", good.size() - 1, 0, 0},
      {"run-length compressed", kCompression, 4, 1},
      {"top-down", kHeight, 4, (uint32_t)-2},
      {"zero width", kWidth, 4, 0},
      {"absurdly wide", kWidth, 4, 1u << 30},
      {"wide and tall", kWidth, 4, 16000},
      {"pixel data too small for the rows", kSizeImage, 4, 7},
      {"pixel data larger than the file", kSizeImage, 4, 0x7FFFFFF0},
      {"32 bits per pixel", kBitCount, 2, 32},
      {"older 12-byte info header", kInfoSize, 4, 12},
      {"more than 256 colours", kClrUsed, 4, 300},
  };
  ASSERT_EQ(load(good), 1);
  const BitmapFile before = bitmap;
  for (const Case &c : cases) {
    Bytes file = good;
    if (c.bytes == 0) file.resize(c.at);
    if (c.bytes == 2) put16(file, c.at, c.value);
    if (c.bytes == 4) put32(file, c.at, c.value);
    if (std::string(c.what) == "wide and tall") put32(file, kHeight, 16000);
    EXPECT_EQ(load(file), 0) << c.what;
    EXPECT_EQ(memcmp(&bitmap, &before, sizeof bitmap), 0) << c.what;
  }
}

// Files that most BMP writers make, though outside the packed form: rows
// padded to 4 bytes (with biSizeImage given or 0), a colour table of fewer
// than 256 entries, a longer info header.
TEST_F(Bmp, ReadsPaddedRowsShortTablesAndLongerHeaders) {
  const Bytes padded = {1, 2, 3, 0, 4, 5, 6, 0};  // two rows of three
  ASSERT_EQ(load(bmp_file(8, 3, 2, padded)), 1);
  EXPECT_EQ(buffer(6), (Bytes{4, 5, 6, 1, 2, 3}));
  Bytes unsized = bmp_file(8, 3, 2, padded);
  put32(unsized, kSizeImage, 0);
  ASSERT_EQ(load(unsized), 1);
  EXPECT_EQ(buffer(6), (Bytes{4, 5, 6, 1, 2, 3}));
  // One 24-bit pixel a row: 3 bytes and one of filler.
  ASSERT_EQ(load(bmp_file(24, 1, 2, {0, 0, 248, 0, 248, 0, 0, 0})), 1);
  EXPECT_EQ(buffer(4), (Bytes{0x1F, 0x00, 0x00, 0x7C}));

  // Two colours, then a header of 124 bytes: the table follows the header.
  Bytes small = bmp_file(8, 4, 1, {1, 1, 0, 0});
  put32(small, kClrUsed, 2);
  small.erase(small.begin() + kTable + 8, small.end() - 4);
  ASSERT_EQ(load(small), 1);
  EXPECT_EQ(bitmap.palette[1].peRed, 3);
  EXPECT_EQ(bitmap.palette[2].peRed, 0);
  EXPECT_EQ(bitmap.palette[255].peFlags, PC_NOCOLLAPSE);
  Bytes v5 = bmp_file(8, 4, 1, {7, 7, 7, 7});
  put32(v5, kInfoSize, 124);
  v5.insert(v5.begin() + kTable, 124 - 40, 0xEE);
  ASSERT_EQ(load(v5), 1);
  EXPECT_EQ(bitmap.palette[1].peRed, 3);
  EXPECT_EQ(buffer(4), (Bytes{7, 7, 7, 7}));
}

}  // namespace
