// The generated pictures and sounds, read here with a reader of our own (not
// the game's loader), and the screenshot tool's PNG writer and key script.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <zlib.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "screenshot/capture.h"
#include "screenshot/png_write.h"
#include "support.h"

namespace {

std::vector<uint8_t> read_file(const std::string &name) {
  std::vector<uint8_t> data;
  FILE *file = fopen((std::string(QF_RUN_DIR) + "/" + name).c_str(), "rb");
  if (!file) return data;
  uint8_t chunk[4096];
  size_t n;
  while ((n = fread(chunk, 1, sizeof chunk, file)) > 0) {
    data.insert(data.end(), chunk, chunk + n);
  }
  fclose(file);
  return data;
}

uint32_t u16(const std::vector<uint8_t> &d, size_t at) {
  return d[at] | (uint32_t)d[at + 1] << 8;
}
uint32_t u32(const std::vector<uint8_t> &d, size_t at) {
  return u16(d, at) | u16(d, at + 2) << 16;
}
uint32_t u32be(const uint8_t *p) {
  return (uint32_t)p[0] << 24 | (uint32_t)p[1] << 16 | (uint32_t)p[2] << 8 |
         p[3];
}

struct Rgb {
  int r, g, b;
};

float luma(Rgb c) { return 0.299f * c.r + 0.587f * c.g + 0.114f * c.b; }

// An 8-bit BMP as the files are meant to be: headers checked by the test that
// reads it, rows turned top-down.
struct Picture {
  std::vector<uint8_t> file;
  int32_t width = 0, height = 0;
  Rgb palette[256];
  std::vector<uint8_t> pixels;  // top row first

  int at(int32_t x, int32_t y) const { return pixels[(size_t)y * width + x]; }
};

// The form the game's loader needs: it takes the pixels to be the last
// biSizeImage bytes, rows packed with no filler, bottom row first.
void check_bmp_form(const std::string &name, Picture *out) {
  SCOPED_TRACE(name);
  Picture &p = *out;
  p.file = read_file(name);
  ASSERT_GE(p.file.size(), 54u + 1024u) << "missing or short";
  const std::vector<uint8_t> &f = p.file;
  EXPECT_EQ(f[0], 'B');
  EXPECT_EQ(f[1], 'M');
  EXPECT_EQ(u32(f, 2), f.size());
  EXPECT_EQ(u32(f, 14), 40u);
  p.width = (int32_t)u32(f, 18);
  p.height = (int32_t)u32(f, 22);
  ASSERT_GT(p.width, 0);
  ASSERT_GT(p.height, 0) << "rows must be stored bottom-up";
  EXPECT_EQ(u16(f, 26), 1u);
  ASSERT_EQ(u16(f, 28), 8u);
  EXPECT_EQ(u32(f, 30), 0u) << "compressed";
  EXPECT_EQ(p.width % 4, 0) << "rows would need filler bytes";
  const uint32_t image_bytes = u32(f, 34);
  ASSERT_EQ(image_bytes, (uint32_t)p.width * (uint32_t)p.height);
  EXPECT_EQ(u32(f, 10) + image_bytes, f.size())
      << "the pixels are not the end of the file";
  ASSERT_GE(f.size(), 54u + 1024u + image_bytes);
  for (int i = 0; i < 256; i++) {
    p.palette[i] = {f[54 + 4 * i + 2], f[54 + 4 * i + 1], f[54 + 4 * i]};
  }
  const uint8_t *rows = f.data() + f.size() - image_bytes;
  p.pixels.resize(image_bytes);
  for (int32_t y = 0; y < p.height; y++) {
    memcpy(&p.pixels[(size_t)y * p.width],
           rows + (size_t)(p.height - 1 - y) * p.width, (size_t)p.width);
  }
}

// The 1-pixel line around a w by h cell whose first pixel is (x, y).
void expect_framed(const Picture &p, int32_t x, int32_t y, int32_t w,
                   int32_t h) {
  for (int32_t i = x - 1; i <= x + w; i++) {
    EXPECT_NE(p.at(i, y - 1), 0) << "top line at x " << i;
    EXPECT_NE(p.at(i, y + h), 0) << "bottom line at x " << i;
  }
  for (int32_t j = y - 1; j <= y + h; j++) {
    EXPECT_NE(p.at(x - 1, j), 0) << "left line at y " << j;
    EXPECT_NE(p.at(x + w, j), 0) << "right line at y " << j;
  }
}

// A sprite as the game shows it: its cell less the last column and row.
// Index 0 is transparent, so a hole in a row of the shape would show the
// court through it.
void expect_solid_rows(const Picture &p, int32_t x, int32_t y, int32_t w,
                       int32_t h) {
  for (int32_t j = y; j < y + h; j++) {
    int32_t first = -1, last = -1;
    for (int32_t i = x; i < x + w; i++) {
      if (p.at(i, j) == 0) continue;
      if (first < 0) first = i;
      last = i;
    }
    ASSERT_GE(first, 0) << "empty row " << j;
    for (int32_t i = first; i <= last; i++) {
      EXPECT_NE(p.at(i, j), 0)
          << "transparent hole at (" << i << ", " << j << ")";
    }
  }
}

// The indices a region of a picture uses.
std::set<int> indices_in(const Picture &p, int32_t x, int32_t y, int32_t w,
                         int32_t h) {
  std::set<int> used;
  for (int32_t j = y; j < y + h; j++) {
    for (int32_t i = x; i < x + w; i++) used.insert(p.at(i, j));
  }
  return used;
}

class AssetPictures : public ::testing::Test {
 protected:
  void SetUp() override {
    check_bmp_form("BALL3D8BIG.BMP", &ball);
    check_bmp_form("PADDLES3D8.BMP", &paddles);
    check_bmp_form("BACK8.BMP", &back);
    check_bmp_form("TITLE8.BMP", &title);
    ASSERT_FALSE(HasFatalFailure());
  }
  Picture ball, paddles, back, title;
};

TEST_F(AssetPictures, AreLargeEnoughForTheirCellsAndShareOnePalette) {
  EXPECT_GE(ball.width, 13);
  EXPECT_GE(ball.height, 13);
  EXPECT_GE(paddles.width, 133);
  EXPECT_GE(paddles.height, 10);
  EXPECT_EQ(back.width, 640);
  EXPECT_EQ(back.height, 480);
  EXPECT_GE(title.width, 620);
  EXPECT_GE(title.height, 460);
  // Only the ball's palette is installed; the others must show the same.
  for (const Picture *p : {&paddles, &back, &title}) {
    for (int i = 0; i < 256; i++) {
      EXPECT_EQ(p->palette[i].r, ball.palette[i].r) << i;
      EXPECT_EQ(p->palette[i].g, ball.palette[i].g) << i;
      EXPECT_EQ(p->palette[i].b, ball.palette[i].b) << i;
    }
  }
}

TEST_F(AssetPictures, PaletteHasBlackAtZeroAndBrightTextColours) {
  const Rgb *pal = ball.palette;
  EXPECT_EQ(pal[0].r + pal[0].g + pal[0].b, 0);
  bool white = false;
  for (int i = 0; i < 256; i++) {
    white |= pal[i].r == 255 && pal[i].g == 255 && pal[i].b == 255;
  }
  EXPECT_TRUE(white) << "the score lines are drawn in pure white";

  // The messages in colour 144 are drawn over the court at (230, 235) and
  // (270, 235); the score lines in white at y = 1. Screen (x, y) shows
  // pixel (x + 1, y + 1) of the court's file.
  const float message = luma(pal[144]);
  EXPECT_GT(message, 150.0f);
  for (int32_t y = 235; y < 247; y++) {
    for (int32_t x = 230; x < 370; x++) {
      EXPECT_LT(luma(pal[back.at(x + 1, y + 1)]), message - 80.0f)
          << "message hard to read at (" << x << ", " << y << ")";
    }
  }
  for (int32_t y = 1; y < 12; y++) {
    for (int32_t x : {20, 60, 100, 545, 580, 619}) {
      EXPECT_LT(luma(pal[back.at(x + 1, y + 1)]), 110.0f)
          << "score hard to read at (" << x << ", " << y << ")";
    }
  }
}

TEST_F(AssetPictures, BallCellIsFramedRoundAndSolid) {
  expect_framed(ball, 1, 1, 11, 11);
  // Shown: 10 x 10 from (1, 1). The unseen last column and row stay clear.
  for (int32_t k = 1; k <= 11; k++) {
    EXPECT_EQ(ball.at(11, k), 0);
    EXPECT_EQ(ball.at(k, 11), 0);
  }
  for (int32_t x : {1, 10}) {
    for (int32_t y : {1, 10}) EXPECT_EQ(ball.at(x, y), 0) << x << "," << y;
  }
  EXPECT_NE(ball.at(5, 5), 0);
  EXPECT_NE(ball.at(6, 6), 0);
  expect_solid_rows(ball, 1, 1, 10, 10);
  // Round: the shape (not its shading) is the same mirrored either way and
  // reaches all four sides of the 10 x 10.
  for (int32_t y = 1; y <= 10; y++) {
    for (int32_t x = 1; x <= 10; x++) {
      EXPECT_EQ(ball.at(x, y) != 0, ball.at(11 - x, y) != 0) << x << "," << y;
      EXPECT_EQ(ball.at(x, y) != 0, ball.at(x, 11 - y) != 0) << x << "," << y;
    }
  }
  EXPECT_NE(ball.at(1, 5), 0);
  EXPECT_NE(ball.at(5, 1), 0);
}

TEST_F(AssetPictures, PaddleCellsAreFramedWhereTheGameCutsThem) {
  // Paddle 1: cell (0, 0) of 66 x 8 cells, from (1, 1). Paddle 2: cell (1, 0)
  // of 65 x 8 cells, from (67, 1). Paddle 1's unseen last column is the line
  // on paddle 2's left.
  expect_framed(paddles, 1, 1, 65, 8);
  expect_framed(paddles, 67, 1, 65, 8);
  for (int32_t x = 1; x <= 65; x++) EXPECT_EQ(paddles.at(x, 8), 0);
  for (int32_t x = 67; x <= 131; x++) EXPECT_EQ(paddles.at(x, 8), 0);
  for (int32_t y = 1; y <= 8; y++) EXPECT_EQ(paddles.at(131, y), 0);

  expect_solid_rows(paddles, 1, 1, 65, 7);
  expect_solid_rows(paddles, 67, 1, 64, 7);
  // Whole width at mid-height: the bat is as long as the rules take it.
  for (int32_t x = 1; x <= 65; x++) EXPECT_NE(paddles.at(x, 4), 0);
  for (int32_t x = 67; x <= 130; x++) EXPECT_NE(paddles.at(x, 4), 0);

  // The two players are told apart by colour.
  const std::set<int> one = indices_in(paddles, 1, 1, 65, 7);
  const std::set<int> two = indices_in(paddles, 67, 1, 64, 7);
  for (int i : one) {
    if (i != 0) {
      EXPECT_EQ(two.count(i), 0u) << "both paddles use " << i;
    }
  }
}

TEST_F(AssetPictures, BackgroundAndTitleCellsStartAtOneOne) {
  // The grid line above and left of each cell; the cells are what shows.
  for (int32_t x = 0; x < 640; x++) EXPECT_NE(back.at(x, 0), 0) << x;
  for (int32_t y = 0; y < 480; y++) EXPECT_NE(back.at(0, y), 0) << y;
  for (int32_t x = 0; x < 620; x++) EXPECT_NE(title.at(x, 0), 0) << x;
  for (int32_t y = 0; y < 460; y++) EXPECT_NE(title.at(0, y), 0) << y;
  // Pictures, not plain fills.
  EXPECT_GT(indices_in(back, 1, 1, 639, 479).size(), 40u);
  EXPECT_GT(indices_in(title, 1, 1, 619, 459).size(), 60u);
}

// A RIFF WAVE file of 8-bit unsigned mono PCM at 11025 Hz, as the sound
// table plays every file.
struct Sound {
  std::vector<uint8_t> samples;
  float seconds() const { return (float)samples.size() / 11025.0f; }
};

void check_wav(const std::string &name, Sound *out) {
  SCOPED_TRACE(name);
  const std::vector<uint8_t> f = read_file(name);
  ASSERT_GE(f.size(), 44u) << "missing or short";
  EXPECT_EQ(memcmp(f.data(), "RIFF", 4), 0);
  EXPECT_EQ(u32(f, 4), f.size() - 8);
  EXPECT_EQ(memcmp(f.data() + 8, "WAVE", 4), 0);
  EXPECT_EQ(memcmp(f.data() + 12, "fmt ", 4), 0);
  EXPECT_EQ(u32(f, 16), 16u);
  EXPECT_EQ(u16(f, 20), 1u) << "not PCM";
  EXPECT_EQ(u16(f, 22), 1u) << "not mono";
  EXPECT_EQ(u32(f, 24), 11025u);
  EXPECT_EQ(u32(f, 28), 11025u);
  EXPECT_EQ(u16(f, 32), 1u);
  EXPECT_EQ(u16(f, 34), 8u);
  ASSERT_EQ(memcmp(f.data() + 36, "data", 4), 0);
  const uint32_t size = u32(f, 40);
  // RIFF pads an odd chunk with one byte.
  ASSERT_EQ(44u + size + (size & 1), f.size());
  out->samples.assign(f.begin() + 44, f.begin() + 44 + size);
}

TEST(AssetSounds, AreShortQuietEnoughAndStartAndEndInSilence) {
  struct Expected {
    const char *name;
    float shortest, longest;  // seconds
  };
  const Expected expected[] = {{"BOING.WAV", 0.08f, 0.12f},
                               {"BUZZER.WAV", 0.4f, 0.6f},
                               {"SPIKE.WAV", 0.8f, 1.2f},
                               {"FIRE.WAV", 0.5f, 1.0f}};
  for (const Expected &e : expected) {
    SCOPED_TRACE(e.name);
    Sound s;
    check_wav(e.name, &s);
    ASSERT_FALSE(HasFatalFailure());
    EXPECT_GE(s.seconds(), e.shortest);
    EXPECT_LE(s.seconds(), e.longest);
    int peak = 0;
    for (uint8_t v : s.samples) peak = std::max(peak, std::abs((int)v - 128));
    EXPECT_GE(peak, 60) << "hardly audible";
    EXPECT_LE(peak, 110) << "too loud: it would clip when mixed";
    // A jump from or to silence is heard as a click.
    EXPECT_LE(std::abs((int)s.samples.front() - 128), 2);
    EXPECT_LE(std::abs((int)s.samples.back() - 128), 2);
  }
}

// A PNG read back: its chunks, whose CRCs must hold, and the inflated rows.
struct Png {
  uint32_t width = 0, height = 0;
  int depth = 0, colour_type = 0, interlace = -1;
  std::vector<uint8_t> plte, idat, rows;
  std::vector<std::string> order;
};

void read_png(const std::vector<uint8_t> &f, Png *out) {
  static const uint8_t signature[8] = {0x89, 'P',  'N',  'G',
                                       '\r', '\n', 0x1A, '\n'};
  ASSERT_GE(f.size(), 8u);
  ASSERT_EQ(memcmp(f.data(), signature, 8), 0);
  size_t at = 8;
  while (at + 12 <= f.size()) {
    const uint32_t length = u32be(&f[at]);
    ASSERT_LE(at + 12 + length, f.size());
    const std::string type((const char *)&f[at + 4], 4);
    const uLong crc = crc32(0L, &f[at + 4], length + 4);
    EXPECT_EQ(u32be(&f[at + 8 + length]), (uint32_t)crc) << type;
    const uint8_t *data = &f[at + 8];
    if (type == "IHDR") {
      out->width = u32be(data);
      out->height = u32be(data + 4);
      out->depth = data[8];
      out->colour_type = data[9];
      out->interlace = data[12];
    } else if (type == "PLTE") {
      out->plte.assign(data, data + length);
    } else if (type == "IDAT") {
      out->idat.insert(out->idat.end(), data, data + length);
    }
    out->order.push_back(type);
    at += 12 + length;
  }
  EXPECT_EQ(at, f.size());
  uLongf size = (uLongf)((out->width + 1) * out->height);
  out->rows.resize(size);
  ASSERT_EQ(uncompress(out->rows.data(), &size, out->idat.data(),
                       (uLong)out->idat.size()),
            Z_OK);
  ASSERT_EQ(size, (uLongf)((out->width + 1) * out->height));
}

TEST(ScreenshotPng, ReadsBackAsThePaletteIndicesAndColours) {
  const int32_t w = 7, h = 3;
  uint8_t pixels[w * h];
  for (int i = 0; i < w * h; i++) pixels[i] = (uint8_t)(i * 9 % 200);
  pixels[4] = 200;  // the highest index used
  uint8_t palette[1024];
  for (int i = 0; i < 1024; i++) palette[i] = (uint8_t)(i * 7 + 3);

  Png png;
  read_png(png_encode_indexed(pixels, w, h, palette), &png);
  ASSERT_FALSE(HasFatalFailure());
  EXPECT_EQ(png.width, (uint32_t)w);
  EXPECT_EQ(png.height, (uint32_t)h);
  EXPECT_EQ(png.depth, 8);
  EXPECT_EQ(png.colour_type, 3);
  EXPECT_EQ(png.interlace, 0);
  const std::vector<std::string> order = {"IHDR", "PLTE", "IDAT", "IEND"};
  EXPECT_EQ(png.order, order);
  // Colours up to the highest index used, red, green, blue, without the
  // flag byte.
  ASSERT_EQ(png.plte.size(), 201u * 3u);
  for (int i = 0; i <= 200; i++) {
    EXPECT_EQ(png.plte[3 * i], palette[4 * i]);
    EXPECT_EQ(png.plte[3 * i + 1], palette[4 * i + 1]);
    EXPECT_EQ(png.plte[3 * i + 2], palette[4 * i + 2]);
  }
  for (int32_t y = 0; y < h; y++) {
    EXPECT_EQ(png.rows[(size_t)y * (w + 1)], 0) << "filter of row " << y;
    for (int32_t x = 0; x < w; x++) {
      EXPECT_EQ(png.rows[(size_t)y * (w + 1) + 1 + x], pixels[y * w + x]);
    }
  }
  EXPECT_TRUE(png_encode_indexed(pixels, 0, h, palette).empty());
  EXPECT_TRUE(png_encode_indexed(nullptr, w, h, palette).empty());
}

// How many pixels of a shot hold one of the indices, away from what the
// background uses: the sprite's own colours.
int count_of(const Shot &shot, const std::set<int> &wanted) {
  int n = 0;
  for (uint8_t p : shot.pixels) n += wanted.count(p) ? 1 : 0;
  return n;
}

class ScreenshotScript : public AssetPictures {
 protected:
  void SetUp() override {
    AssetPictures::SetUp();
    reset_everything();
  }
  void TearDown() override { reset_everything(); }
};

TEST_F(ScreenshotScript, KeepsTheTitleAndAServedRallyThenQuits) {
  const Capture c = capture_run(QF_RUN_DIR);
  ASSERT_EQ(c.ended, 1) << "the script did not end the game";
  EXPECT_EQ(c.exit_status, 0);
  ASSERT_EQ(c.title_taken, 1);
  ASSERT_EQ(c.court_taken, 1);
  ASSERT_EQ(c.title.width, 640);
  ASSERT_EQ(c.title.height, 480);

  // The title picture whole at (20, 20), in the full colours of the palette:
  // not a frame of a fade, not the loading screen.
  int differ = 0;
  for (int32_t y = 0; y < 459 && 20 + y < 480; y++) {
    for (int32_t x = 0; x < 619 && 20 + x < 640; x++) {
      differ += c.title.pixels[(size_t)(20 + y) * 640 + 20 + x] !=
                title.at(1 + x, 1 + y);
    }
  }
  EXPECT_EQ(differ, 0);
  for (const Shot *shot : {&c.title, &c.court}) {
    for (int i = 0; i < 256; i++) {
      EXPECT_EQ(shot->palette[4 * i], ball.palette[i].r) << i;
      EXPECT_EQ(shot->palette[4 * i + 1], ball.palette[i].g) << i;
      EXPECT_EQ(shot->palette[4 * i + 2], ball.palette[i].b) << i;
    }
  }

  // The court in play: mostly the background, both paddles and the ball on
  // it, and no serve prompt (drawn in colour 144) any more.
  ASSERT_EQ(c.court.pixels.size(), (size_t)640 * 480);
  int background = 0;
  for (int32_t y = 0; y < 479; y++) {
    for (int32_t x = 0; x < 639; x++) {
      background +=
          c.court.pixels[(size_t)y * 640 + x] == back.at(x + 1, y + 1);
    }
  }
  EXPECT_GT(background, 639 * 479 * 9 / 10);
  const std::set<int> court = indices_in(back, 1, 1, 639, 479);
  std::set<int> ball_own, one_own, two_own;
  for (int i : indices_in(ball, 1, 1, 10, 10)) {
    if (i && !court.count(i)) ball_own.insert(i);
  }
  for (int i : indices_in(paddles, 1, 1, 65, 7)) {
    if (i && !court.count(i)) one_own.insert(i);
  }
  for (int i : indices_in(paddles, 67, 1, 64, 7)) {
    if (i && !court.count(i)) two_own.insert(i);
  }
  EXPECT_GT(count_of(c.court, ball_own), 40);
  EXPECT_GT(count_of(c.court, one_own), 200);
  EXPECT_GT(count_of(c.court, two_own), 200);
  EXPECT_EQ(count_of(c.court, {144}), 0);
}

}  // namespace
